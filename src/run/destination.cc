#include "run/destination.h"

#include "base/byte_string.h"
#include "base/failure.h"

#include <cstdint>
#include <memory>
#include <utility>

namespace zelvane {

namespace {

// The result is copied over a file in blocks of this size.
constexpr std::size_t kCopyBlock = 256 * 1024;

// True when `name` ends in ".gz" in any case: such a destination is written
// gzip-compressed.
bool IsCompressedName(std::string_view name) {
  return name.size() >= 3 && Lower(name.substr(name.size() - 3)) == ".gz";
}

}  // namespace

Destination::Destination(const std::string& name, const std::string& sourceName,
                         const platform::File& source, LineWriter& standardOutput)
    : standardOutput_(&standardOutput) {
  if (name == kStandardStream) {
    // Standard output appended to the source itself would read its own
    // output without end.
    if (platform::IsSameOpenFile(source, standardOutput.file())) {
      throw EInOutError(failure_code::kSharingViolation, FailurePosition::kOutputIsSource);
    }
    return;
  }
  file_.emplace(ByteSink(OpenFile(name, sourceName, source), IsCompressedName(name)));
  if (way_ == Way::kWorkingFile) file_->FlushToDiskAsItGoes();
}

platform::File Destination::OpenFile(const std::string& name, const std::string& sourceName,
                                     const platform::File& source) {
  const bool replace = name == sourceName;
  // A name in /proc or /dev/fd is a descriptor that is open already, most
  // often this run's own standard output: emptied or replaced, it would lose
  // what its owner wrote before (`-o /dev/stdout >> log.txt`). It is
  // appended to, as the descriptor itself would be.
  if (!replace && platform::LeadsThroughProcessFiles(name)) {
    way_ = Way::kDirect;
    platform::File file = platform::OpenForAppending(name);
    if (platform::IsSameOpenFile(source, file)) {
      throw EInOutError(failure_code::kSharingViolation, FailurePosition::kOutputIsSource);
    }
    return file;
  }
  const platform::EntryKind kind = platform::KindOf(name);
  // A device or a pipe is written as it is.
  if (kind == platform::EntryKind::kOther) {
    way_ = Way::kDirect;
    return platform::CreateForWriting(name);
  }
  // A read-only file is refused, as opening it for writing would refuse it:
  // it is not replaced behind its owner's back, whether it is the source or
  // another file.
  if (kind == platform::EntryKind::kRegular) platform::RequireWritable(name, source);
  return OpenWorkingOrTemporaryFile(name, kind, replace, sourceName);
}

platform::File Destination::OpenWorkingOrTemporaryFile(const std::string& name,
                                                       platform::EntryKind kind, bool replace,
                                                       const std::string& sourceName) {
  // When the destination is a symbolic link, the file it points to is
  // replaced and the link stays. The working file lies beside that file, so
  // that the final rename never crosses a file system.
  target_ = platform::FinalName(name);
  workingName_ = WorkingFileName(target_);
  // Never remove the destination itself, or the source, as a leftover.
  const bool clash =
      workingName_ == target_ || platform::IsSameEntry(workingName_, target_) ||
      (sourceName != kStandardStream && platform::IsSameEntry(workingName_, sourceName));
  // A source that is itself named like its working file cannot be replaced.
  if (clash && replace) {
    throw EInOutError(failure_code::kSharingViolation, FailurePosition::kWorkingFileIsSource);
  }
  platform::WorkingFile working;
  if (!clash) working = platform::CreateWorkingFile(workingName_);
  if (working.file.valid()) {
    way_ = Way::kWorkingFile;
    // The result keeps the mode, and where possible the owner, of the file
    // it replaces; a new file gets the mode that new files get.
    if (kind == platform::EntryKind::kRegular) {
      platform::CopyAttributes(target_, working.file);
    } else {
      platform::GiveDefaultMode(working.file);
    }
    return std::move(working.file);
  }
  // No working file is possible here. A directory that refuses it refuses a
  // new destination as well: that ends the run before anything is created.
  // Only a name too long for its working file, or one that the working file
  // would take, leaves room for the destination itself.
  const bool absent = kind == platform::EntryKind::kAbsent;
  if (absent && !working.nameTooLong && !clash) {
    throw EInOutError(failure_code::kAccessDenied, FailurePosition::kDirectoryRefused);
  }
  // The result is gathered elsewhere and written over the destination, or
  // creates it, only once the run has succeeded.
  way_ = Way::kTemporaryFile;
  createTarget_ = absent;
  return platform::CreateTemporaryFile();
}

void Destination::Commit() {
  switch (way_) {
    case Way::kStandardOutput:
      // Standard output stays open: the console may still need it.
      standardOutput_->Flush();
      return;
    case Way::kDirect:
      file_->Close();
      return;
    case Way::kWorkingFile: {
      // The working file must be complete on disk before it takes the
      // destination's place: a crash after the rename must not leave the
      // listing empty. One atomic, checked rename: the destination's name
      // denotes either the old listing or the new one, never a part.
      file_->Finish();
      platform::File& working = file_->file();
      platform::FlushToDisk(working);
      if (platform::CommitWorkingFile(working, workingName_, target_)) return;
      // A directory that lets the run create files may still refuse to let
      // it replace this one (another user's file in a sticky directory, a
      // file mounted on its own): the complete result is written over it
      // instead, which keeps its owner and mode.
      WriteOver(working);
      platform::RemoveWorkingFile(working, workingName_);
      return;
    }
    case Way::kTemporaryFile:
      file_->Finish();
      WriteOver(file_->file());
      platform::Close(file_->file());
      return;
  }
}

void Destination::Abandon() noexcept {
  // The temporary file goes with the run; nothing else was touched.
  if (way_ == Way::kTemporaryFile) return;
  writer().PassOnWholeBlocks();
}

void Destination::WriteOver(platform::File& result) {
  const std::uint64_t size = platform::SizeOf(result);
  platform::File target =
      createTarget_ ? platform::CreateNewFile(target_) : platform::OpenForWritingOver(target_);
  // Room for the whole result is claimed first: a full disk then ends the
  // run before the destination is touched, and only a kill in the copy
  // that follows can leave it part old, part new.
  platform::ReserveSpace(target, size);
  platform::Rewind(result);
  const std::unique_ptr<char[]> block(new char[kCopyBlock]);
  for (std::size_t n; (n = platform::ReadSome(result, block.get(), kCopyBlock)) > 0;) {
    platform::WriteAll(target, block.get(), n);
  }
  platform::SetSize(target, size);
  platform::FlushToDisk(target);
  platform::Close(target);
}

std::string WorkingFileName(std::string_view destination) {
  // The extension runs from the last full stop to the end, unless a
  // directory separator or a drive colon stands after that full stop:
  // "dir.d/listing" has none.
  const std::size_t dot = destination.rfind('.');
  const bool hasExtension = dot != std::string_view::npos &&
                            destination.find_first_of("/\\:", dot + 1) == std::string_view::npos;
  return Concat(hasExtension ? destination.substr(0, dot) : destination, ".~tm");
}

}  // namespace zelvane
