#pragma once

// Runs of the built program that only POSIX systems offer: in the background,
// with the run's own peak memory.

#include <sys/types.h>

#include "program_runner.h"

namespace zelvane::testing {

// A run of the program in the background, its console streams going to
// `directory`/.stdout and .stderr. With `measurePeak` the program is started
// by a small helper that records its peak memory, which a child forked from
// this process would count its parent's memory into.
pid_t StartProgram(const std::vector<std::string>& arguments,
                   const std::filesystem::path& directory, bool measurePeak = false);

// Waits for the run `pid` and collects what it left; `peakKiB` receives the
// program's own peak resident memory (for a run started with `measurePeak`).
// status is -1 after a signal.
ProgramResult FinishProgram(pid_t pid, const std::filesystem::path& directory,
                            int* signal = nullptr, long* peakKiB = nullptr);

}  // namespace zelvane::testing
