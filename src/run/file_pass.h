#pragma once

#include <string>
#include <string_view>

#include "base/line_io.h"
#include "filter/run_settings.h"

namespace zelvane {

// Filters `settings.source` into `settings.destination` (through a working
// file that replaces the source when both are the same). Sets
// `replaceSource` and `encoding`. Messages go to `console`. Returns the exit
// status; a failure raises.
int RunFilePass(RunSettings& settings, LineWriter& console);

// The working file beside `destination`: its extension replaced by ".~tm".
std::string WorkingFileName(std::string_view destination);

// The encoding that the listing's first line declares.
ListingEncoding DetectEncoding(std::string_view firstLine);

}  // namespace zelvane
