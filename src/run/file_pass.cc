#include "run/file_pass.h"

#include "base/byte_string.h"
#include "base/failure.h"
#include "base/platform.h"
#include "filter/element_lines.h"
#include "filter/first_line.h"
#include "filter/programme_filter.h"
#include "run/destination.h"
#include "time/time_zone.h"

#include <optional>
#include <utility>

namespace zelvane {

namespace {

// The source, open and examined: decompressed when it is gzip data. Raises
// for a source that cannot be read, one compressed otherwise, and one that
// is to be replaced but is no regular file.
ByteSource OpenSource(const RunSettings& settings) {
  const bool fromStandardInput = settings.source == kStandardStream;
  const std::string shown = fromStandardInput ? "on standard input" : settings.source;
  ByteSource source(fromStandardInput ? platform::StandardInput()
                                      : platform::OpenForReading(settings.source));
  // Only a file can be replaced: a device or a pipe of the same name would
  // become a regular file.
  if (!fromStandardInput && settings.source == settings.destination &&
      !platform::IsRegularFile(source.file())) {
    throw EInOutError(failure_code::kNotReplaceable,
                      Concat("The source ", shown, " is no regular file and cannot be replaced"),
                      FailurePosition::kSourceNotReplaceable);
  }
  const Compression compression = source.Sniff();
  if (compression == Compression::kGzip) {
    source.Decompress(shown);
  } else if (compression != Compression::kNone) {
    throw EInOutError(failure_code::kCompressedSource,
                      Concat("The source ", shown, " is compressed with ",
                             CompressionName(compression), ": decompress it first"),
                      FailurePosition::kSourceCompressed);
  }
  return source;
}

// Copies the listing from `reader` to `output`: the first element line with
// its declaration, every further one through the filter with `options` and
// the `zone` of --tz (null without), in the encoding that the first line
// decides.
void CopyListing(LineReader& reader, LineWriter& output, const FilterOptions& options,
                 const TimeZone* zone) {
  ElementLineSplitter lines(reader);
  // An empty source (or one that starts with a Ctrl-Z) gives an empty output,
  // without a declaration.
  if (lines.AtEnd()) return;
  // The first bytes, the first line among them, decide the encoding of a
  // listing that declares none. They are looked at before the first line is
  // read, so that nothing but the reader's buffer holds them.
  const bool headIsUtf8 = LooksLikeUtf8(reader.Peek(kEncodingLookAhead));
  // The filter's line cleaning needs the encoding from the second line on.
  const ListingEncoding encoding = WriteFirstLine(lines.ReadLine(), headIsUtf8, output);
  ProgrammeFilter filter(output, options, encoding, zone);
  // The reader notes each line's "<" and "&" as it finds the line's end, so
  // the filter never scans a line's bytes a second time.
  std::string_view line;
  LineScan scan;
  while (lines.Next(line, scan)) filter.FilterLine(line, scan);
  // A programme that the input leaves open is written all the same.
  filter.Finish();
}

}  // namespace

int RunFilePass(const RunSettings& settings, LineWriter& console, LineWriter* standardOutput) {
  // An unknown zone ends the run before any file is touched.
  std::optional<TimeZone> zone;
  if (settings.filter.tz) zone.emplace(settings.filter.tzname);
  if (settings.source != kStandardStream && !platform::IsExistingFile(settings.source)) {
    console.WriteLine("");
    console.WriteLine("Error: Source file does not exist");
    // A missing source is a failed run: a scheduled job must be able to tell
    // that nothing was written.
    return 1;
  }
  // The source is opened and examined before the destination is chosen, so
  // that a source that cannot be read leaves an existing destination
  // untouched and creates nothing.
  ByteSource source = OpenSource(settings);
  Destination destination(settings.destination, settings.source, source.file(),
                          standardOutput != nullptr ? *standardOutput : console);
  LineReader reader(std::move(source), MarkupScanner());
  try {
    CopyListing(reader, destination.writer(), settings.filter, zone ? &*zone : nullptr);
    reader.Close();
    destination.Commit();
  } catch (...) {
    // A failed run leaves the destination as it was, and what was written
    // directly with the whole 128-byte blocks of it.
    destination.Abandon();
    throw;
  }
  return 0;
}

}  // namespace zelvane
