#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/line_io.h"
#include "filter/run_settings.h"

namespace zelvane {

// The filter's state from one line to the next, for one pass.
struct FilterState {
  bool inProgramme = false;
  bool dropProgramme = false;
  std::string cleaned;  // scratch space for the cleaned line
};

// Decides the fate of one line after the first: gathers the lines of each
// programme, rewrites its time stamps, drops or writes it at its closing
// line, and writes every other line at once, each through CleanLine.
// Raises EConvertError for an invalid time stamp and EInOutError when a
// write fails.
void FilterLine(std::string_view line, LineWriter& writer, const RunSettings& settings,
                FilterState& state);

}  // namespace zelvane
