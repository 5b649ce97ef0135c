#pragma once

#include <string>
#include <string_view>

#include "filter/run_settings.h"

namespace zelvane {

// The cleaned form of `line`: paragraph and line-break markup replaced by
// blanks, then stray ampersands escaped and numeric character references
// decoded for `encoding`. Pure; cannot fail.
std::string CleanLine(std::string_view line, ListingEncoding encoding);

// As CleanLine, appending the result to `out` (no allocation once `out` has
// grown to the longest line).
void AppendCleanLine(std::string_view line, ListingEncoding encoding, std::string& out);

}  // namespace zelvane
