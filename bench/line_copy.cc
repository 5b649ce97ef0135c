// Reads a listing and writes every line back unchanged, through the
// program's own LineReader and LineWriter and with nothing in between: what
// any pass that goes line by line costs before it looks at a line.
// compare_with_cp.sh times it beside cp and zelvane.
//
//   line_copy SOURCE DESTINATION

#include "base/failure.h"
#include "base/line_io.h"
#include "base/platform.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: line_copy SOURCE DESTINATION\n", stderr);
    return 2;
  }
  try {
    zelvane::LineReader reader(zelvane::platform::OpenForReading(argv[1]),
                               zelvane::ByteScanner('<', '&'));
    zelvane::LineWriter writer(zelvane::platform::CreateForWriting(argv[2]), false);
    while (!reader.AtEnd()) writer.WriteLine(reader.ReadLine());
    writer.Close();
    reader.Close();
  } catch (const zelvane::Exception& failure) {
    std::fprintf(stderr, "line_copy: %s\n", failure.what());
    return 1;
  }
  return 0;
}
