#include "faulty_platform.h"

#include "base/byte_string.h"
#include "base/failure.h"
#include "base/platform.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace zelvane::fuzz {

FaultyDisk& Disk() {
  static FaultyDisk disk;
  return disk;
}

}  // namespace zelvane::fuzz

namespace zelvane::platform {

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), owned_(other.owned_) {}

File& File::operator=(File&& other) noexcept {
  handle_ = std::exchange(other.handle_, -1);
  owned_ = other.owned_;
  return *this;
}

File::~File() = default;

namespace {

// The handles of the disk's two files.
constexpr std::intptr_t kWritten = 1;
constexpr std::intptr_t kDestination = 3;

[[noreturn]] void Fail(FailurePosition position) {
  const int error = fuzz::Disk().error;
  throw EInOutError(error, "I/O error " + FormatInt(error), position);
}

// Like a full disk or a file size limit: as much as fits goes in, then the
// write fails.
void WriteInto(std::string& content, std::size_t& position, std::size_t failAt, const char* bytes,
               std::size_t size) {
  const std::size_t room = failAt > position ? failAt - position : 0;
  const std::size_t n = std::min(size, room);
  if (content.size() < position + n) content.resize(position + n);
  content.replace(position, n, bytes, n);
  position += n;
  if (n < size) Fail(FailurePosition::kWrite);
}

}  // namespace

std::size_t ReadSome(File& file, char* buffer, std::size_t size) {
  fuzz::FaultyDisk& disk = fuzz::Disk();
  if (file.handle() != kWritten || disk.readPosition >= disk.content.size()) return 0;
  const std::size_t n = std::min(size, disk.content.size() - disk.readPosition);
  disk.content.copy(buffer, n, disk.readPosition);
  disk.readPosition += n;
  return n;
}

void WriteAll(File& file, const char* bytes, std::size_t size) {
  fuzz::FaultyDisk& disk = fuzz::Disk();
  if (file.handle() == kDestination) {
    WriteInto(disk.destination, disk.finalPosition, disk.finalFailAt, bytes, size);
  } else {
    WriteInto(disk.content, disk.position, disk.failAt, bytes, size);
  }
}

// The destination: a regular file, or nothing yet, never a device or a link.
EntryKind KindOf(const std::string&) {
  return fuzz::Disk().destinationExists ? EntryKind::kRegular : EntryKind::kAbsent;
}

bool LeadsThroughProcessFiles(const std::string&) { return false; }
File OpenForAppending(const std::string&) { return File(kWritten); }
File CreateForWriting(const std::string&) { return File(kWritten); }
void RequireWritable(const std::string&, const File&) {}
std::string FinalName(const std::string& name) { return name; }
bool IsSameEntry(const std::string&, const std::string&) { return false; }
bool IsSameOpenFile(const File&, const File&) { return false; }
void CopyAttributes(const std::string&, File&) {}
void GiveDefaultMode(File&) {}
void FlushToDisk(File&) {}
void ReserveSpace(File&, std::uint64_t) {}

WorkingFile CreateWorkingFile(const std::string&) {
  WorkingFile working;
  switch (fuzz::Disk().working) {
    case fuzz::WorkingFileFate::kCreated: working.file = File(kWritten); break;
    case fuzz::WorkingFileFate::kRefused: break;
    case fuzz::WorkingFileFate::kNameTooLong: working.nameTooLong = true; break;
  }
  return working;
}

File CreateTemporaryFile() {
  if (fuzz::Disk().temporaryFails) Fail(FailurePosition::kCreateTemporaryFile);
  return File(kWritten);
}

bool CommitWorkingFile(File& file, const std::string&, const std::string&) {
  fuzz::FaultyDisk& disk = fuzz::Disk();
  // Only a file that stands there can refuse to be replaced.
  if (disk.renameRefused && disk.destinationExists) return false;
  disk.destination = disk.content;
  disk.destinationExists = true;
  file.Release();
  return true;
}

void RemoveWorkingFile(File& file, const std::string&) {
  fuzz::Disk().workingRemoved = true;
  file.Release();
}

File OpenForWritingOver(const std::string&) {
  fuzz::FaultyDisk& disk = fuzz::Disk();
  disk.finalWriteStarted = true;
  disk.finalPosition = 0;
  return File(kDestination);
}

File CreateNewFile(const std::string& name) {
  fuzz::FaultyDisk& disk = fuzz::Disk();
  disk.destinationExists = true;
  disk.destination.clear();
  return OpenForWritingOver(name);
}

std::uint64_t SizeOf(const File& file) {
  const fuzz::FaultyDisk& disk = fuzz::Disk();
  return file.handle() == kDestination ? disk.destination.size() : disk.content.size();
}

void Rewind(File&) { fuzz::Disk().readPosition = 0; }

void SetSize(File& file, std::uint64_t size) {
  if (file.handle() == kDestination) fuzz::Disk().destination.resize(size);
}

void Close(File& file) { file.Release(); }

void StartFlushToDisk(File&) noexcept {}

void CutToWholeBlocks(File&, std::size_t block) noexcept {
  fuzz::FaultyDisk& disk = fuzz::Disk();
  disk.content.resize(std::min(disk.content.size(), disk.position / block * block));
}

void* MapLargeBlock(std::size_t size) { return size == 0 ? nullptr : std::malloc(size); }

void* GrowLargeBlock(void* block, std::size_t, std::size_t newSize) {
  return std::realloc(block, newSize);
}

void UnmapLargeBlock(void* block, std::size_t) { std::free(block); }

void WriteStandardError(std::string_view) {}

std::string ToConsoleCodePage(std::string_view text) { return std::string(text); }

std::string ProgramName(const char*) { return "zelvane"; }

}  // namespace zelvane::platform
