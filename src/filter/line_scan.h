#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/line_marks.h"

namespace zelvane {

// The text that opens a programme's line.
inline constexpr std::string_view kProgrammeOpening = "<programme ";

// What a line inside a programme is.
enum class LineClass : std::uint8_t { kTitle, kSubTitle, kDesc, kKenmerken, kClosing, kFurther };

// What ClassifyLine tells of a line.
struct LineKind {
  // Where the start text of the named element or the closing tag stands: its
  // first place in the line.
  std::uint32_t at = 0;
  LineClass lineClass = LineClass::kFurther;
  // A named element line whose end tag does not follow on the same line: a
  // further line, since its element runs on over the lines below, among
  // which it has to keep its place.
  bool demoted = false;
};

// What the filter needs to know of a line before deciding its fate, found in
// one pass over its bytes: where a programme opens, and whether cleaning can
// change anything.
struct LineScan {
  // The first kProgrammeOpening in the line, or npos.
  std::size_t openingAt = std::string_view::npos;
  // Bit i is set when byte i of the line is a "<", for the first 32 bytes.
  std::uint32_t headTagStarts = 0;
  // Some "<" is followed by "p>", "/p>" or "br" (any case): tag markup may
  // stand here.
  bool tagMarkup = false;
  // The line holds an "&".
  bool ampersand = false;
  // What ClassifyLine says of the line, where it is known already.
  bool kindKnown = false;
  LineKind kind;

  // Cleaning leaves a line as it is unless it has one of these.
  bool MayNeedCleaning() const { return tagMarkup || ampersand; }
};

// The first position at or after `from` where the byte `first` is followed
// by the letter `secondLower` in either case, or npos; sixteen positions at
// a time where the processor allows. `secondLower` is a lower-case ASCII
// letter.
std::size_t FindPairFolded(std::string_view text, std::size_t from, char first, char secondLower);

// Scans `line` sixteen bytes at a time where the processor allows.
LineScan ScanLine(std::string_view line);

// ScanMarkedLine for a line with a "<", or incomplete marks.
LineScan ScanMarkedTags(std::string_view line, const LineMarks& marks);

// The same answers for a line whose "<" and "&" the reader noted in `marks`,
// looking only at the bytes after each "<" (all of them, unless the marks are
// incomplete).
inline LineScan ScanMarkedLine(std::string_view line, const LineMarks& marks) {
  if (!marks.complete || marks.tags != 0) return ScanMarkedTags(line, marks);
  LineScan scan;
  scan.ampersand = marks.ampersand;
  scan.headTagStarts = marks.headTagStarts;
  return scan;
}

// The same answers, byte by byte (the reference for tests, and the code on
// processors without vector instructions).
LineScan ScanLineBytewise(std::string_view line);

}  // namespace zelvane
