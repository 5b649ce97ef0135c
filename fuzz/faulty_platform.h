#pragma once

#include <cstddef>
#include <string>

// A platform layer whose one file lives in memory and whose writes fail
// where the fuzzer says: the line writer and the byte sink run unchanged on
// top of it. It stands in for platform_posix.cc in the targets that link it.
namespace zelvane::fuzz {

struct FaultyDisk {
  std::string content;        // the file's bytes
  std::size_t position = 0;   // where the next write goes
  std::size_t failAt = 0;     // a write reaching this offset stops there and fails
  int error = 28;             // the code that the failing write reports
};

// The one disk of the process; reset it before each run.
FaultyDisk& Disk();

}  // namespace zelvane::fuzz
