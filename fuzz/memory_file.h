#pragma once

#include "base/platform.h"
#include "fuzz_check.h"

#include <sys/mman.h>
#include <unistd.h>

#include <string_view>

namespace zelvane::fuzz {

// An empty file in memory, for writing and reading back: the real writer
// then writes it through the real platform layer.
inline platform::File EmptyFile() {
  const int fd = ::memfd_create("listing", MFD_CLOEXEC);
  Require(fd >= 0, "memfd_create");
  return platform::File(fd);
}

// A file in memory holding `bytes`, read from its start: the real reader
// then reads it through the real platform layer.
inline platform::File FileHolding(std::string_view bytes) {
  platform::File file = EmptyFile();
  const auto fd = static_cast<int>(file.handle());
  for (std::string_view rest = bytes; !rest.empty();) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    Require(n > 0, "write to memfd");
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  Require(::lseek(fd, 0, SEEK_SET) == 0, "lseek");
  return file;
}

}  // namespace zelvane::fuzz
