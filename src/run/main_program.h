#pragma once

#include <string>
#include <vector>

#include "base/line_io.h"
#include "time/calendar.h"

namespace zelvane {

// The whole run after start-up: usage or help text, version, settings report
// (left out by a quiet run that has both names), file pass. The console lines
// go to `standardOutput`, or to `standardError` when the listing itself goes
// to standard output. `separators` are the locale's, for the report of an
// invalid time stamp. Returns the exit status; a failure raises.
int RunProgram(const std::vector<std::string>& words, const DateTimeSeparators& separators,
               LineWriter& standardOutput, LineWriter& standardError);

// The program's entry point: start-up, the run, and the one failure report.
int Main(int argc, char** argv);

}  // namespace zelvane
