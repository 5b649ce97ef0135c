#pragma once

// Runs of the built program that only POSIX systems offer: in the background,
// with the run's own resource use.

#include <sys/resource.h>
#include <sys/types.h>

#include "program_runner.h"

namespace zelvane::testing {

// A run of the program in the background, its console streams going to
// `directory`/.stdout and .stderr.
pid_t StartProgram(const std::vector<std::string>& arguments,
                   const std::filesystem::path& directory);

// Waits for the run `pid` and collects what it left; `usage` receives its own
// resource use (peak memory, processor time). status is -1 after a signal.
ProgramResult FinishProgram(pid_t pid, const std::filesystem::path& directory,
                            int* signal = nullptr, rusage* usage = nullptr);

}  // namespace zelvane::testing
