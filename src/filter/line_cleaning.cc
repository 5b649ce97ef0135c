#include "filter/line_cleaning.h"

namespace zelvane {

// Placeholder until the cleaning rules land: lines pass unchanged.
void AppendCleanLine(std::string_view line, ListingEncoding, std::string& out) {
  out.append(line);
}

std::string CleanLine(std::string_view line, ListingEncoding encoding) {
  std::string out;
  AppendCleanLine(line, encoding, out);
  return out;
}

}  // namespace zelvane
