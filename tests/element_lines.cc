// Writes the element lines of a listing, each followed by one LF, to
// standard output: what the filter and the first-line rules are given. For
// comparing the cutting of lines with a model of it. With --check, writes
// nothing and fails when the scan given with an element line is not what
// the line's own scan and classification say.
//
//   element_lines [--check] [--block BYTES] SOURCE
//
// --block reads BYTES at a time, so that lines come in pieces.

#include "base/failure.h"
#include "base/line_io.h"
#include "base/platform.h"
#include "filter/element_lines.h"
#include "filter/line_rules.h"
#include "filter/line_scan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// True when `given`, the splitter's scan of `line`, says what a scan and
// classification of the line's own bytes say.
bool SameScan(std::string_view line, const zelvane::LineScan& given) {
  const zelvane::LineScan own = zelvane::ScanLine(line);
  if (given.openingAt != own.openingAt || given.ampersand != own.ampersand ||
      given.tagMarkup != own.tagMarkup) {
    return false;
  }
  const zelvane::LineKind kind = zelvane::ClassifyLine(line, own.headTagStarts);
  const zelvane::LineKind givenKind =
      given.kindKnown ? given.kind : zelvane::ClassifyLine(line, given.headTagStarts);
  return kind.lineClass == givenKind.lineClass && kind.at == givenKind.at &&
         kind.demoted == givenKind.demoted && kind.demotedElements == givenKind.demotedElements;
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  std::size_t block = zelvane::LineReader::kReadBlock;
  int at = 1;
  for (; at + 1 < argc; ++at) {
    if (std::strcmp(argv[at], "--check") == 0) {
      check = true;
    } else if (std::strcmp(argv[at], "--block") == 0 && at + 2 < argc) {
      block = std::strtoul(argv[++at], nullptr, 10);
    } else {
      break;
    }
  }
  if (at + 1 != argc) {
    std::fputs("usage: element_lines [--check] [--block BYTES] SOURCE\n", stderr);
    return 2;
  }
  try {
    zelvane::LineReader reader(zelvane::platform::OpenForReading(argv[at]),
                               zelvane::MarkupScanner(), block);
    zelvane::ElementLineSplitter lines(reader);
    zelvane::LineWriter out(zelvane::platform::StandardOutput(), false);
    std::string_view line;
    zelvane::LineScan scan;
    std::string text;
    while (lines.Next(line, scan)) {
      if (check) {
        if (!SameScan(line, scan)) {
          std::fprintf(stderr, "element_lines: wrong scan for %.*s\n",
                       static_cast<int>(line.size()), line.data());
          return 1;
        }
        continue;
      }
      text.assign(line);
      text.push_back('\n');
      out.WriteLineStart(text);
    }
    out.Flush();
  } catch (const zelvane::Exception& failure) {
    std::fprintf(stderr, "element_lines: %s\n", failure.what());
    return 1;
  }
  return 0;
}
