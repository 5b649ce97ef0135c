#include "filter/line_scan.h"

#include <bit>
#include <cstdint>

namespace zelvane {

ByteScanner MarkupScanner(VectorLevel level) { return ByteScanner('<', '&', level); }

LineScan ScanMarkedTags(std::string_view line, const LineMarks& marks) {
  if (!marks.complete) return ScanLine(line);
  LineScan scan;
  scan.ampersand = marks.flagged;
  scan.headTagStarts = marks.headTags;
  // Only a "<" can open a programme or start tag markup; a line holds few.
  const auto note = [&](std::size_t at) {
    if (scan.openingAt == std::string_view::npos && OpensProgrammeAt(line, at)) {
      scan.openingAt = at;
    }
    if (!scan.tagMarkup && TagMarkupLength(line, at) != 0) scan.tagMarkup = true;
  };
  std::uint32_t head = 0;
  for (std::uint32_t bits = marks.headTags; bits != 0; bits &= bits - 1) {
    note(static_cast<std::size_t>(std::countr_zero(bits)));
    ++head;
  }
  if (head == marks.tags) return scan;
  for (std::size_t at = line.find('<', 32); at != std::string_view::npos;
       at = line.find('<', at + 1)) {
    note(at);
  }
  return scan;
}

LineScan ScanLine(std::string_view text, const ByteScanner& scanner) {
  LineMarks marks;
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  // Line feeds hold nothing the scan looks for: it goes on past them.
  for (const char* at = begin; (at = scanner.ToLineEnd(begin, at, end, marks)) != end; ++at) {
  }
  return ScanMarkedLine(text, marks);
}

LineScan ScanLine(std::string_view text) { return ScanLine(text, MarkupScanner()); }

}  // namespace zelvane
