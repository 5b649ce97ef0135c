#pragma once

#include "base/line_io.h"
#include "run/destination.h"
#include "run/run_settings.h"

namespace zelvane {

// Filters `settings.source` into `settings.destination` with
// `settings.filter`; the destination receives the result only when the pass
// succeeds (see Destination), and a source and destination of one name
// replace the source. The zone of --tz is looked up first: an unknown zone
// raises EConvertError before any file is touched. A missing source is reported on `console` and gives exit status 1; a
// completed pass gives 0. A failed file operation raises EInOutError (code
// 32 when the output would be the source itself). A source "-" is standard
// input; a destination "-" is written to `standardOutput` (`console` when
// none is given); both "-" is a pipeline, never a replacement.
int RunFilePass(const RunSettings& settings, LineWriter& console,
                LineWriter* standardOutput = nullptr);

}  // namespace zelvane
