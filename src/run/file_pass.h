#pragma once

#include <string>
#include <string_view>

#include "base/line_io.h"
#include "run/run_settings.h"
#include "time/calendar.h"

namespace zelvane {

// The name that stands for a standard stream: standard input as the source,
// standard output as the destination. "./-" names a file.
inline constexpr std::string_view kStandardStream = "-";

// Filters `settings.source` into `settings.destination` (through a working
// file that replaces the source when both are the same); an invalid time
// stamp's report is written with the locale's `separators`. The zone of --tz is
// looked up first: an unknown zone raises EConvertError before any file is
// touched. A missing source is reported on `console`
// and gives exit status 1; a completed pass gives 0. A failed file operation
// raises EInOutError (code 32 when the output would be the source itself),
// leaving the output with the whole 128-byte blocks written so far. A source
// "-" is standard input; a destination "-" is written to `standardOutput`
// (`console` when none is given); both "-" is a pipeline, never a replacement.
int RunFilePass(const RunSettings& settings, const DateTimeSeparators& separators,
                LineWriter& console, LineWriter* standardOutput = nullptr);

// The working file beside `destination`: its extension (from the last full
// stop, when no "/", "\\" or ":" follows it) replaced by ".~tm".
std::string WorkingFileName(std::string_view destination);

}  // namespace zelvane
