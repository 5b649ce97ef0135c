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

std::size_t ReadSome(File&, char*, std::size_t) { return 0; }

void WriteAll(File&, const char* bytes, std::size_t size) {
  fuzz::FaultyDisk& disk = fuzz::Disk();
  // Like a full disk or a file size limit: as much as fits goes in, then
  // the write fails.
  const std::size_t room = disk.failAt > disk.position ? disk.failAt - disk.position : 0;
  const std::size_t n = std::min(size, room);
  if (disk.content.size() < disk.position + n) disk.content.resize(disk.position + n);
  disk.content.replace(disk.position, n, bytes, n);
  disk.position += n;
  if (n < size)
    throw EInOutError(disk.error, "I/O error " + FormatInt(disk.error), FailurePosition::kWrite);
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
