#pragma once

#include <cstddef>
#include <string>

// A platform layer whose files live in memory and whose writes fail where
// the fuzzer says: the line writer, the byte sink and the destination run
// unchanged on top of it. It stands in for the system's platform files in
// the targets that link it.
namespace zelvane::fuzz {

// What becomes of the working file beside the destination.
enum class WorkingFileFate { kCreated, kRefused, kNameTooLong };

struct FaultyDisk {
  // The file the lines are written to: the line writer's own, or the
  // destination's working or temporary file (handle 1).
  std::string content;        // its bytes
  std::size_t position = 0;   // where the next write goes
  std::size_t failAt = 0;     // a write reaching this offset stops there and fails
  int error = 28;             // the code that a failing call reports
  std::size_t readPosition = 0;  // where reading it back goes on

  // The destination (handle 3 while it is written over in place).
  bool destinationExists = true;
  std::string destination;
  WorkingFileFate working = WorkingFileFate::kCreated;
  bool temporaryFails = false;   // no temporary file can be created
  bool renameRefused = false;    // the rename over the destination is refused
  bool workingRemoved = false;   // the working file was removed after a copy
  bool finalWriteStarted = false;
  std::size_t finalPosition = 0;
  std::size_t finalFailAt = 0;   // the write over the destination fails here
};

// The one disk of the process; reset it before each run.
FaultyDisk& Disk();

}  // namespace zelvane::fuzz
