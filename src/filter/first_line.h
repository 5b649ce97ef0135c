#pragma once

#include <cstddef>
#include <string_view>

#include "base/line_io.h"
#include "filter/filter_options.h"

namespace zelvane {

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
