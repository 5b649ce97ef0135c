// Writes the element lines of a listing, each followed by one LF, to
// standard output: what the filter and the first-line rules are given. For
// comparing the cutting of lines with a model of it.
//
//   element_lines SOURCE

#include "base/failure.h"
#include "base/line_io.h"
#include "base/platform.h"
#include "filter/element_lines.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: element_lines SOURCE\n", stderr);
    return 2;
  }
  try {
    zelvane::LineReader reader(zelvane::platform::OpenForReading(argv[1]));
    zelvane::ElementLineSplitter lines(reader);
    zelvane::LineWriter out(zelvane::platform::StandardOutput(), false);
    std::string text;
    while (!lines.AtEnd()) {
      text.assign(lines.ReadLine());
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
