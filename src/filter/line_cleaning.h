#pragma once

#include <string>
#include <string_view>

#include "base/byte_buffer.h"
#include "base/line_io.h"
#include "filter/line_scan.h"
#include "filter/filter_options.h"

namespace zelvane {

// The cleaned form of `line`: paragraph and line-break markup replaced by
// blanks, then stray ampersands escaped and numeric character references
// decoded for `encoding` (references that the listing's encoding cannot hold
// are kept). The result is well-formed wherever the line was. Linear in the
// length of `line`; cannot fail.
std::string CleanLine(std::string_view line, ListingEncoding encoding);

// Cleans the lines of one pass, as CleanLine does, in buffers of its own that
// grow to the longest line cleaned and are then reused, so that no line costs
// an allocation.
class LineCleaner {
 public:
  // A long line whose ampersands are repaired goes to a writer in pieces of
  // about this many bytes, so that memory never holds its cleaned copy whole.
  static constexpr std::size_t kPieceSize = std::size_t{1} << 20;

  explicit LineCleaner(ListingEncoding encoding) : encoding_(encoding) {}
  LineCleaner(const LineCleaner&) = delete;
  LineCleaner& operator=(const LineCleaner&) = delete;

  // The cleaned `line`, whose ScanLine answers are `scan`: `line` itself when
  // cleaning changes nothing (the common case), otherwise a view of this
  // cleaner's buffer that stays valid until its next call.
  std::string_view Clean(std::string_view line, const LineScan& scan) {
    return scan.MayNeedCleaning() ? CleanMarked(line, scan) : line;
  }

  // Writes `line` cleaned to `writer` as one line, as WriteLine with the
  // result of Clean would, in pieces of about `pieceSize` bytes.
  void Write(std::string_view line, const LineScan& scan, LineWriter& writer,
             std::size_t pieceSize = kPieceSize) {
    if (scan.MayNeedCleaning()) {
      WriteMarked(line, scan, writer, pieceSize);
    } else {
      writer.WriteLine(line);
    }
  }

 private:
  // Clean for a line that may need cleaning.
  std::string_view CleanMarked(std::string_view line, const LineScan& scan);
  // Write for a line that may need cleaning.
  void WriteMarked(std::string_view line, const LineScan& scan, LineWriter& writer,
                   std::size_t pieceSize);
  std::string_view WithoutMarkup(std::string_view line, const LineScan& scan);

  ListingEncoding encoding_;
  ByteBuffer markupFree_;  // the line after the markup passes, when they change it
  ByteBuffer cleaned_;     // the line after the ampersand repair
};

}  // namespace zelvane
