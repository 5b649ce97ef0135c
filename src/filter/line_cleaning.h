#pragma once

#include <string>
#include <string_view>

#include "base/byte_buffer.h"
#include "base/line_io.h"
#include "filter/line_scan.h"
#include "filter/run_settings.h"

namespace zelvane {

// The cleaned form of `line`: paragraph and line-break markup replaced by
// blanks, then stray ampersands escaped and numeric character references
// decoded for `encoding` (references that the listing's encoding cannot hold
// are kept). The result is well-formed wherever the line was. Linear in the
// length of `line`; pure; cannot fail.
std::string CleanLine(std::string_view line, ListingEncoding encoding);

// As CleanLine, without copying: the result is `line` itself when cleaning
// changes nothing (the common case), otherwise a view of `scratch` or of
// storage of this thread that the next call may reuse.
std::string_view CleanLineView(std::string_view line, ListingEncoding encoding,
                               ByteBuffer& scratch);

// As CleanLineView, for a line whose ScanLine answers are known already.
std::string_view CleanLineView(std::string_view line, const LineScan& scan,
                               ListingEncoding encoding, ByteBuffer& scratch);

// Writes `line` cleaned to `writer` as one line, as WriteLine with the
// result of CleanLineView would. A long line whose ampersands are repaired
// goes out in pieces of about `pieceSize` bytes, so that memory never holds
// its cleaned copy whole.
inline constexpr std::size_t kCleanPieceSize = std::size_t{1} << 20;
void WriteCleanLine(std::string_view line, const LineScan& scan, ListingEncoding encoding,
                    ByteBuffer& scratch, LineWriter& writer,
                    std::size_t pieceSize = kCleanPieceSize);

// As CleanLine, appending the result to `out` (no allocation once `out` has
// grown to the longest line). `line` must not view the bytes of `out`.
void AppendCleanLine(std::string_view line, ListingEncoding encoding, std::string& out);

}  // namespace zelvane
