#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvane {

// What a scan notes about a line while it searches for the line's end, so
// that the bytes of a line are looked at once: where the scanner's `tag`
// bytes stand among its first 32 bytes, how many it holds, and whether its
// `flag` byte is among them.
struct LineMarks {
  // False when the marks do not describe the line: a lone CR was taken out
  // of it, or it is a piece of a longer line. The line must then be looked
  // at on its own.
  bool complete = true;
  bool flagged = false;
  // Bit i is set when byte i of the line is a tag byte, for the first 32.
  std::uint32_t headTags = 0;
  // The number of tag bytes in the line.
  std::uint32_t tags = 0;

  void Clear() {
    complete = true;
    flagged = false;
    headTags = 0;
    tags = 0;
  }
};

// The vector instructions a scan uses: none, 16 bytes at a time with SSE2,
// which every x86-64 processor has, or 32 with AVX2.
enum class VectorLevel : std::uint8_t { kNone, kSse2, kAvx2 };

// The best level the processor offers.
VectorLevel BestVectorLevel();

// The byte searches of the reading, at a vector level chosen once, where the
// scanner is made, each with a bytewise twin at kNone that the others are
// tested against.
class ByteScanner {
 public:
  // Notes `tag` and `flag` in the lines it scans, with `level`, or the best
  // below it that the processor offers.
  ByteScanner(char tag, char flag, VectorLevel level = BestVectorLevel());

  // Looks at the bytes from `from` up to `to` of a line that begins at
  // `lineBegin`, noting them in `marks`, and returns the first LF among
  // them, or `to`.
  const char* ToLineEnd(const char* lineBegin, const char* from, const char* to,
                        LineMarks& marks) const {
    return functions_->toLineEnd(*this, lineBegin, from, to, marks);
  }

  // The first `target` in [`from`, `to`) that stands outside a stretch
  // quoted by '"' or "'", or `to`. `quote` is the quote open at `from`, 0
  // for none, and becomes the quote open where the search stopped.
  const char* OutsideQuotes(const char* from, const char* to, char target, char& quote) const {
    return functions_->outsideQuotes(from, to, target, quote);
  }

  // The first `a` or `b` in [`from`, `to`), or `to`.
  const char* Either(const char* from, const char* to, char a, char b) const {
    return functions_->either(from, to, a, b);
  }

  char tag() const { return tag_; }
  char flag() const { return flag_; }
  VectorLevel level() const { return level_; }

  // The searches of one level.
  struct Functions {
    const char* (*toLineEnd)(const ByteScanner&, const char*, const char*, const char*,
                             LineMarks&);
    const char* (*outsideQuotes)(const char*, const char*, char, char&);
    const char* (*either)(const char*, const char*, char, char);
  };

 private:
  ByteScanner(char tag, char flag, VectorLevel asked, VectorLevel usable);

  const Functions* functions_;
  char tag_;
  char flag_;
  VectorLevel level_;
};

}  // namespace zelvane
