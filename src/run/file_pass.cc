#include "run/file_pass.h"

#include "base/byte_string.h"
#include "base/failure.h"
#include "base/platform.h"
#include "filter/element_lines.h"
#include "filter/programme_filter.h"
#include "time/time_zone.h"

#include <optional>
#include <utility>

namespace zelvane {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
constexpr std::string_view kEncodingAttribute = " encoding=\"ISO-8859-1\"";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

bool StartsWithByteOrderMark(std::string_view line) {
  return line.substr(0, kByteOrderMark.size()) == kByteOrderMark;
}

// Where the value of the first `encoding` that optional blanks and "=" follow
// begins (after the blanks behind the "="), in `lower`, the lower-cased line;
// npos when the line declares no encoding. XML allows blanks around the "=",
// so `encoding = "UTF-8"` declares an encoding as well.
std::size_t FindEncodingValue(std::string_view lower) {
  constexpr std::string_view kEncoding = "encoding";
  for (std::size_t at = lower.find(kEncoding); at != std::string_view::npos;
       at = lower.find(kEncoding, at + 1)) {
    const std::size_t equals = SkipBlanks(lower, at + kEncoding.size());
    if (equals < lower.size() && lower[equals] == '=') return SkipBlanks(lower, equals + 1);
  }
  return std::string_view::npos;
}

// True when `text` (the first line after any byte-order mark) opens an XML
// declaration.
bool IsXmlDeclaration(std::string_view text) {
  constexpr std::string_view kOpen = "<?xml";
  return text.size() > kOpen.size() && text.substr(0, kOpen.size()) == kOpen &&
         (IsBlank(text[kOpen.size()]) || text[kOpen.size()] == '?');
}

// Where an encoding goes into the declaration `text`: right after the closing
// quote of its version value, or right after "<?xml" when it has none.
std::size_t EncodingInsertPoint(std::string_view text) {
  constexpr std::size_t kAfterOpen = 5;
  constexpr std::string_view kVersion = "version";
  std::size_t at = SkipBlanks(text, kAfterOpen);
  if (text.substr(at, kVersion.size()) != kVersion) return kAfterOpen;
  at = SkipBlanks(text, at + kVersion.size());
  if (at >= text.size() || text[at] != '=') return kAfterOpen;
  at = SkipBlanks(text, at + 1);
  if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return kAfterOpen;
  const std::size_t close = text.find(text[at], at + 1);
  return close == std::string_view::npos ? kAfterOpen : close + 1;
}

// Copies the listing from `reader` to `output`: the first element line with
// its declaration, every further one through the filter with `options`,
// whose encoding the first line decides.
void CopyListing(LineReader& reader, LineWriter& output, FilterOptions options) {
  ElementLineSplitter lines(reader);
  // An empty source (or one that starts with a Ctrl-Z) gives an empty output,
  // without a declaration.
  if (lines.AtEnd()) return;
  // The first bytes, the first line among them, decide the encoding of a
  // listing that declares none. They are looked at before the first line is
  // read, so that nothing but the reader's buffer holds them.
  const bool headIsUtf8 = LooksLikeUtf8(reader.Peek(kEncodingLookAhead));
  // The filter's line cleaning needs the encoding from the second line on.
  options.encoding = WriteFirstLine(lines.ReadLine(), headIsUtf8, output);
  ProgrammeFilter filter(output, options);
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
  if (settings.tz) zone.emplace(settings.tzname);
  FilterOptions options;
  options.cet = settings.cet;
  options.cetoffset = settings.cetoffset;
  options.zone = zone ? &*zone : nullptr;
  options.kenmerk = settings.kenmerk;
  options.talpa = settings.talpa;
  options.tba = settings.tba;
  const platform::LocaleSeparators separators = platform::ReadLocaleSeparators();
  options.separators = DateTimeSeparators{separators.date, separators.time, separators.decimal};

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
    throw EInOutError(kNotReplaceable, "The source is no regular file and cannot be replaced",
                      FailurePosition::kSourceNotReplaceable);
  }
  const Compression compression = source.Sniff();
  if (compression == Compression::kGzip) {
    source.Decompress();
  } else if (compression != Compression::kNone) {
    throw EInOutError(kCompressedSource,
                      Concat("The source is compressed with ", CompressionName(compression),
                             ": decompress it first"),
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

ListingEncoding WriteFirstLine(std::string_view line, bool headIsUtf8, LineWriter& output) {
  if (FindEncodingValue(Lower(line)) != std::string_view::npos ||
      StartsWithByteOrderMark(line)) {
    output.WriteLine(line);
    return DetectEncoding(line);
  }
  if (headIsUtf8) {
    output.WriteLine(line);
    return ListingEncoding::kUtf8;
  }
  // A second declaration would not be well-formed: a declaration without an
  // encoding takes it in.
  if (IsXmlDeclaration(line)) {
    std::string amended(line);
    amended.insert(EncodingInsertPoint(line), kEncodingAttribute);
    output.WriteLine(amended);
  } else {
    output.WriteLine(kDeclaration);
    output.WriteLine(line);
  }
  return ListingEncoding::kLatin1;
}

bool LooksLikeUtf8(std::string_view head) {
  bool anyHighByte = false;
  std::size_t at = 0;
  while (at < head.size()) {
    const auto lead = static_cast<unsigned char>(head[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    anyHighByte = true;
    // The well-formed sequences: no overlong form, no surrogate, nothing
    // beyond U+10FFFF. The lead byte bounds the second byte of some.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (at + k == head.size()) return true;  // cut off by the end of the head
      const auto next = static_cast<unsigned char>(head[at + k]);
      if (next < low || next > high) return false;
      low = 0x80;
      high = 0xBF;
    }
    at += length;
  }
  return anyHighByte;
}

ListingEncoding DetectEncoding(std::string_view firstLine) {
  if (StartsWithByteOrderMark(firstLine)) return ListingEncoding::kUtf8;
  const std::string lower = Lower(firstLine);
  const std::size_t value = FindEncodingValue(lower);
  if (value == std::string_view::npos) return ListingEncoding::kLatin1;
  const std::string_view rest = std::string_view(lower).substr(value);
  if (rest.empty() || (rest.front() != '"' && rest.front() != '\'')) {
    return ListingEncoding::kOtherSingleByte;
  }
  const std::size_t close = rest.find(rest.front(), 1);
  if (close == std::string_view::npos) return ListingEncoding::kOtherSingleByte;
  const std::string_view name = rest.substr(1, close - 1);
  if (name == "utf-8" || name == "utf8") return ListingEncoding::kUtf8;
  if (name == "iso-8859-1" || name == "latin1") return ListingEncoding::kLatin1;
  return ListingEncoding::kOtherSingleByte;
}

}  // namespace zelvane
