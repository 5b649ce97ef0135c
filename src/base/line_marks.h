#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvane {

// What the line reader notes about a line while it searches for the line's
// end, so that the bytes of a line are looked at once: where its first "<"
// stand, how many it holds, and whether an "&" is among its bytes.
struct LineMarks {
  // False when the marks do not describe the line: a lone CR was taken out
  // of it, or it is a piece of a longer line. The line must then be looked
  // at on its own.
  bool complete = true;
  bool ampersand = false;
  // Bit i is set when byte i of the line is a "<", for the first 32 bytes.
  std::uint32_t headTagStarts = 0;
  // The number of "<" in the line.
  std::uint32_t tags = 0;

  void Clear() {
    complete = true;
    ampersand = false;
    headTagStarts = 0;
    tags = 0;
  }
};

// Looks at the bytes from `from` up to `to` of a line that begins at
// `lineBegin`, noting them in `marks`, and returns the position of the first
// LF or Ctrl-Z among them, or `to`. 32 or 16 bytes at a time where the
// processor allows (AVX2, SSE2).
const char* ScanToLineEnd(const char* lineBegin, const char* from, const char* to,
                          LineMarks& marks);

// As ScanToLineEnd, in blocks of at most `blockBytes` (32, 16, or 1 for byte
// by byte), so that tests can hold every path against the bytewise one.
const char* ScanToLineEndInBlocks(std::size_t blockBytes, const char* lineBegin,
                                  const char* from, const char* to, LineMarks& marks);

// The same, byte by byte (the reference for tests, and the code on
// processors without vector instructions).
const char* ScanToLineEndBytewise(const char* lineBegin, const char* from, const char* to,
                                  LineMarks& marks);

// The first `target` in [`from`, `to`) that stands outside a stretch quoted
// by '"' or "'", or `to`. `quote` is the quote open at `from`, 0 for none,
// and becomes the quote open where the search stopped. Sixteen bytes at a
// time where the processor allows.
const char* FindOutsideQuotes(const char* from, const char* to, char target, char& quote);

// The first `a` or `b` in [`from`, `to`), or `to`: a memchr of two bytes.
const char* FindEither(const char* from, const char* to, char a, char b);

// The same, byte by byte (the reference for tests).
const char* FindEitherBytewise(const char* from, const char* to, char a, char b);

// The same, byte by byte (the reference for tests).
const char* FindOutsideQuotesBytewise(const char* from, const char* to, char target,
                                      char& quote);

}  // namespace zelvane
