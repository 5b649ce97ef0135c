#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/line_io.h"
#include "run/run_settings.h"

namespace zelvane {

// The words of a command line given as one string, word 0 (the program)
// included. Bytes 1 to 32 separate words; double quotes group bytes into a
// word and are dropped; an empty pair "" on its own yields no word.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The run settings from the words (word 0 is never used), with the locale's
// `separators` for the report of an invalid time stamp. Options match by
// prefix without regard to case; no word is ever rejected.
RunSettings ParseArguments(const std::vector<std::string>& words,
                           const DateTimeSeparators& separators = DateTimeSeparators());

// `value` with one apostrophe stripped at each end; nothing else is cut, so
// a long name is never shortened into another one.
std::string UnquoteValue(std::string_view value);

// The 18 lines of the usage text.
void PrintUsage(LineWriter& console);

// The help text: every option, the exit statuses and where to read more.
void PrintHelp(LineWriter& console);

// The report of the settings.
void PrintSettings(const RunSettings& settings, LineWriter& console);

}  // namespace zelvane
