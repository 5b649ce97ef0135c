#include "run/file_pass.h"

#include "base/byte_string.h"
#include "base/failure.h"
#include "base/platform.h"
#include "filter/first_line.h"
#include "filter/programme_filter.h"
#include "time/time_zone.h"

#include <optional>
#include <utility>

namespace zelvane {

namespace {

// The code the run ends with when the output would be the source itself: it
// is what a sharing violation gives where the system enforces share modes.
constexpr std::int32_t kSharingViolation = 32;
constexpr std::int32_t kAccessDenied = 5;
// The file layer's own codes for a source that the pass refuses.
constexpr std::int32_t kCompressedSource = 103;
constexpr std::int32_t kNotReplaceable = 107;

// True when `name` ends in ".gz" in any case: such a destination is written
// gzip-compressed.
bool IsCompressedName(std::string_view name) {
  return name.size() >= 3 && Lower(name.substr(name.size() - 3)) == ".gz";
}

// Copies the listing from `reader` to `output`: the first line with its
// declaration, every further line through the filter with `options`, whose
// encoding the first line decides.
void CopyListing(LineReader& reader, LineWriter& output, FilterOptions options) {
  // An empty source (or one that starts with a Ctrl-Z) gives an empty output,
  // without a declaration.
  if (reader.AtEnd()) return;
  // The first bytes, the first line among them, decide the encoding of a
  // listing that declares none. They are looked at before the first line is
  // read, so that nothing but the reader's buffer holds them.
  const bool headIsUtf8 = LooksLikeUtf8(reader.Peek(kEncodingLookAhead));
  // The filter's line cleaning needs the encoding from the second line on.
  options.encoding = WriteFirstLine(reader.ReadLine(), headIsUtf8, output);
  ProgrammeFilter filter(output, options);
  // The reader notes each line's "<" and "&" as it finds the line's end, so
  // the filter never scans a line's bytes a second time.
  LineMarks marks;
  while (!reader.AtEnd()) {
    const std::string_view line = reader.ReadLine(marks);
    filter.FilterLine(line, ScanMarkedLine(line, marks));
  }
  // A programme that the input leaves open is written all the same.
  filter.Finish();
}

}  // namespace

int RunFilePass(const RunSettings& settings, const DateTimeSeparators& separators,
                LineWriter& console, LineWriter* standardOutput) {
  // An unknown zone ends the run before any file is touched.
  std::optional<TimeZone> zone;
  if (settings.tz) zone.emplace(settings.tzname);
  FilterOptions options;
  options.cet = settings.cet;
  options.cetoffset = settings.cetoffset;
  options.zone = zone ? &*zone : nullptr;
  options.kenmerk = settings.kenmerk;
  options.talpa = settings.talpa;
  options.tba = settings.tba;
  options.separators = separators;

  const bool fromStandardInput = settings.source == kStandardStream;
  const bool toStandardOutput = settings.destination == kStandardStream;
  if (!fromStandardInput && !platform::IsExistingFile(settings.source)) {
    console.WriteLine("");
    console.WriteLine("Error: Source file does not exist");
    // A missing source is a failed run: a scheduled job must be able to tell
    // that nothing was written.
    return 1;
  }
  // Both names "-" is a pipeline: nothing on disk to replace.
  const bool replaceSource = settings.source == settings.destination && !toStandardOutput;

  // The source is opened and examined before the output is created, so that
  // a source that cannot be read leaves an existing destination untouched
  // and creates nothing.
  ByteSource source(fromStandardInput ? platform::StandardInput()
                                      : platform::OpenForReading(settings.source));
  // Only a file can be replaced: a device or a pipe of the same name would
  // become a regular file.
  if (replaceSource && !platform::IsRegularFile(source.file())) {
    throw EInOutError(kNotReplaceable,
                      Concat("The source ", settings.source,
                             " is no regular file and cannot be replaced"),
                      FailurePosition::kSourceNotReplaceable);
  }
  // The product's own reports name the file concerned.
  const std::string shown = fromStandardInput ? "on standard input" : settings.source;
  const Compression compression = source.Sniff();
  if (compression == Compression::kGzip) {
    source.Decompress(shown);
  } else if (compression != Compression::kNone) {
    throw EInOutError(kCompressedSource,
                      Concat("The source ", shown, " is compressed with ",
                             CompressionName(compression), ": decompress it first"),
                      FailurePosition::kSourceCompressed);
  }

  std::string target;  // the file that the working file replaces
  std::string outputName = settings.destination;
  platform::File outputFile;
  bool working = false;  // the output goes through the working file
  LineWriter* pipe = standardOutput != nullptr ? standardOutput : &console;
  if (toStandardOutput) {
    // Standard output appended to the source itself would read its own
    // output without end.
    if (platform::IsSameOpenFile(source.file(), pipe->file())) {
      throw EInOutError(kSharingViolation, FailurePosition::kOutputIsSource);
    }
  } else if (replaceSource) {
    // When the source is a symbolic link, the file it points to is replaced
    // and the link stays. The working file lies beside that file, so that the
    // final rename never crosses a file system.
    target = platform::FinalName(settings.source);
    outputName = WorkingFileName(target);
    // A source that is itself named like a working file would be removed below.
    if (outputName == target || platform::IsSameEntry(outputName, target)) {
      throw EInOutError(kSharingViolation, FailurePosition::kWorkingFileIsSource);
    }
    outputFile = platform::CreateWorkingFile(outputName);
    if (!outputFile.valid()) {
      throw EInOutError(kAccessDenied, FailurePosition::kWorkingFileRefused);
    }
    working = true;
  } else {
    const platform::EntryKind kind = platform::KindOf(settings.destination);
    // A read-only destination is refused, as opening it for writing would
    // refuse it: it is not replaced behind its owner's back.
    if (kind == platform::EntryKind::kRegular) {
      platform::RequireWritable(settings.destination, source.file());
    }
    // A device or a pipe is written as it is; a file, or a name where none
    // stands yet, receives the result only when the run succeeds.
    if (kind != platform::EntryKind::kOther) {
      target = platform::FinalName(settings.destination);
      outputName = WorkingFileName(target);
      // Never remove the destination itself, or the source, as a leftover.
      const bool clash = outputName == target || platform::IsSameEntry(outputName, target) ||
                         (!fromStandardInput && platform::IsSameEntry(outputName, settings.source));
      if (!clash) outputFile = platform::CreateWorkingFile(outputName);
      working = outputFile.valid();
      // A directory that refuses the working file while the destination may
      // be written gets the destination written in place, as it always was.
      if (!working && !clash && kind == platform::EntryKind::kAbsent) {
        throw EInOutError(kAccessDenied, FailurePosition::kDirectoryRefused);
      }
    }
    if (!working) {
      outputName = settings.destination;
      // Creating the destination would empty it before it is read when it is
      // the source under another name (a hard link, a symbolic link, "./x").
      if (platform::CreatingWouldEmpty(source.file(), settings.destination)) {
        throw EInOutError(kSharingViolation, FailurePosition::kDestinationIsSource);
      }
      outputFile = platform::CreateForWriting(settings.destination);
    }
  }
  if (working) {
    // The result keeps the mode, and where possible the owner, of the file
    // it replaces; a new file gets the mode that new files get.
    if (platform::KindOf(target) == platform::EntryKind::kRegular) {
      platform::CopyAttributes(target, outputFile);
    } else {
      platform::GiveDefaultMode(outputFile);
    }
  }

  LineReader reader(std::move(source));
  std::optional<LineWriter> file;
  if (!toStandardOutput) {
    file.emplace(ByteSink(std::move(outputFile), IsCompressedName(settings.destination)));
  }
  LineWriter& output = toStandardOutput ? *pipe : *file;
  if (working) output.FlushToDiskAsItGoes();
  try {
    CopyListing(reader, output, options);
    reader.Close();
    if (toStandardOutput) {
      // Standard output stays open: the console may still need it.
      output.Flush();
    } else if (working) {
      // The working file must be complete on disk before it takes the
      // destination's place: a crash after the rename must not leave the
      // listing empty. One atomic, checked rename: the destination's name
      // denotes either the old listing or the new one, never a part.
      output.Finish();
      platform::FlushToDisk(output.file());
      platform::CommitWorkingFile(output.file(), outputName, target);
    } else {
      output.Close();
    }
  } catch (...) {
    // A failed run leaves the destination as it was and the output with the
    // whole 128-byte blocks of what had been written.
    output.PassOnWholeBlocks();
    throw;
  }
  return 0;
}

std::string WorkingFileName(std::string_view destination) {
  // The extension runs from the last full stop to the end, unless a
  // directory separator or a drive colon stands after that full stop:
  // "dir.d/listing" has none.
  const std::size_t dot = destination.rfind('.');
  const bool hasExtension =
      dot != std::string_view::npos &&
      destination.find_first_of("/\\:", dot + 1) == std::string_view::npos;
  return Concat(hasExtension ? destination.substr(0, dot) : destination, ".~tm");
}

}  // namespace zelvane
