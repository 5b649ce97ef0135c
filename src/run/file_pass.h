#pragma once

#include <string>
#include <string_view>

#include "base/line_io.h"
#include "filter/filter_options.h"
#include "run/run_settings.h"

namespace zelvane {

// The name that stands for a standard stream: standard input as the source,
// standard output as the destination. "./-" names a file.
inline constexpr std::string_view kStandardStream = "-";

// Filters `settings.source` into `settings.destination` (through a working
// file that replaces the source when both are the same). The zone of --tz is
// looked up first: an unknown zone raises EConvertError before any file is
// touched. A missing source is reported on `console`
// and gives exit status 1; a completed pass gives 0. A failed file operation
// raises EInOutError (code 32 when the output would be the source itself),
// leaving the output with the whole 128-byte blocks written so far. A source
// "-" is standard input; a destination "-" is written to `standardOutput`
// (`console` when none is given); both "-" is a pipeline, never a replacement.
int RunFilePass(const RunSettings& settings, LineWriter& console,
                LineWriter* standardOutput = nullptr);

// The working file beside `destination`: its extension (from the last full
// stop, when no "/", "\\" or ":" follows it) replaced by ".~tm".
std::string WorkingFileName(std::string_view destination);

// The encoding that the listing's first line declares.
ListingEncoding DetectEncoding(std::string_view firstLine);

// How many leading bytes of a listing decide whether a listing that declares
// no encoding is UTF-8.
inline constexpr std::size_t kEncodingLookAhead = 64 * 1024;

// True when `head` holds a byte from 0x80 on and every such byte belongs to
// a well-formed UTF-8 sequence; a sequence cut off by the end of `head` counts
// as well-formed.
bool LooksLikeUtf8(std::string_view head);

// Writes the listing's first line so that the output declares its encoding
// exactly once, and returns the encoding the listing is read in. A line that
// declares an encoding, or stands behind a UTF-8 byte-order mark, goes out
// unchanged, and so does one whose listing is UTF-8 by `headIsUtf8` (what
// LooksLikeUtf8 says of the first kEncodingLookAhead bytes): UTF-8 is what XML
// reads without a declaration. Any other line gets ISO-8859-1, inside its
// own XML declaration when it is one.
ListingEncoding WriteFirstLine(std::string_view line, bool headIsUtf8, LineWriter& output);

}  // namespace zelvane
