#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/byte_scan.h"
#include "filter/markup.h"

namespace zelvane {

// What a line inside a programme is: one of the named elements, in the
// order in which a line is tested for them, the closing line, or a further
// line.
enum class LineClass : std::uint8_t { kTitle, kSubTitle, kDesc, kKenmerken, kClosing, kFurther };

// The bit of the named element `element` in LineKind::demotedElements.
constexpr std::uint8_t ElementBit(LineClass element) {
  return static_cast<std::uint8_t>(1u << static_cast<unsigned>(element));
}

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
  // For a demoted line, the ElementBit of each named element whose start
  // text stands in its head: the one at `at`, and any other there.
  std::uint8_t demotedElements = 0;
};

// What the filter needs to know of a line before deciding its fate, found in
// one pass over its bytes: where a programme opens, and whether cleaning can
// change anything.
struct LineScan {
  // The first kProgrammeOpening in the line, or npos.
  std::size_t openingAt = std::string_view::npos;
  // Bit i is set when byte i of the line is a "<", for the first 32 bytes.
  std::uint32_t headTagStarts = 0;
  // Some tag markup (TagMarkupLength) stands in the line.
  bool tagMarkup = false;
  // The line holds an "&".
  bool ampersand = false;
  // What ClassifyLine says of the line, where it is known already.
  bool kindKnown = false;
  LineKind kind;

  // Cleaning leaves a line as it is unless it has one of these.
  bool MayNeedCleaning() const { return tagMarkup || ampersand; }
};

// The scanner of the reading: it notes the "<" and "&" of each line, at the
// vector level `level` or the best below it.
ByteScanner MarkupScanner(VectorLevel level = BestVectorLevel());

// ScanMarkedLine for a line with a "<", or incomplete marks.
LineScan ScanMarkedTags(std::string_view line, const LineMarks& marks);

// The answers for a line whose "<" and "&" the reader noted in `marks`,
// looking only at the bytes after each "<" (unless the marks are
// incomplete).
inline LineScan ScanMarkedLine(std::string_view line, const LineMarks& marks) {
  if (!marks.complete || marks.tags != 0) return ScanMarkedTags(line, marks);
  LineScan scan;
  scan.ampersand = marks.flagged;
  scan.headTagStarts = marks.headTags;
  return scan;
}

// The same answers for any text, looked at with `scanner`.
LineScan ScanLine(std::string_view text, const ByteScanner& scanner);
LineScan ScanLine(std::string_view text);

}  // namespace zelvane
