#include "run/file_pass.h"

#include "base/platform.h"
#include "filter/programme_assembly.h"

namespace zelvane {

// Placeholder until the file pass lands.
int RunFilePass(RunSettings&, LineWriter&) { return 0; }

std::string WorkingFileName(std::string_view destination) {
  return std::string(destination) + ".~tm";
}

ListingEncoding DetectEncoding(std::string_view) { return ListingEncoding::kLatin1; }

}  // namespace zelvane
