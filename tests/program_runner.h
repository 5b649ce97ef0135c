#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zelvane::testing {

// What one run of the built program left: its exit status and its two
// console streams, byte for byte.
struct ProgramResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the built program with `arguments` (each passed as one word) in the
// directory `directory`. `redirectOut` replaces the capture of standard
// output with that file (for example /dev/full).
ProgramResult RunProgram(const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory,
                         const std::string& redirectOut = "");

// As RunProgram, with shell commands run before the program in the same
// shell (`setup`: limits, traps) and a prefix in front of it (`prefix`: a
// change of user).
ProgramResult RunProgramWith(const std::string& setup, const std::string& prefix,
                             const std::vector<std::string>& arguments,
                             const std::filesystem::path& directory);

// A run of the program in the background, its console streams going to
// `directory`/.stdout and .stderr.
pid_t StartProgram(const std::vector<std::string>& arguments,
                   const std::filesystem::path& directory);

// Waits for the run `pid` and collects what it left; `usage` receives its own
// resource use (peak memory, processor time). status is -1 after a signal.
ProgramResult FinishProgram(pid_t pid, const std::filesystem::path& directory,
                            int* signal = nullptr, rusage* usage = nullptr);

// Checks that `err` is exactly one failure report of `kind` with `message`;
// the position may be any eight upper-case hex digits.
void ExpectFailureReport(const std::string& err, const std::string& kind,
                         const std::string& message);

bool RunningAsRoot();

// The prefix that runs the program without privileges; empty when the tests
// already run without them. False when privileges cannot be dropped.
bool UnprivilegedPrefix(std::string& prefix);

// AddressSanitizer reserves terabytes of address space and keeps freed memory
// aside, so limits and measurements of memory mean nothing under it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// A fresh, empty directory for one test.
std::filesystem::path FreshDirectory(const std::string& name);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

// What the program prints before the pass for `source` and `destination`
// without switches.
std::string SettingsReport(const std::string& source, const std::string& destination);

// The lines joined, each followed by CR LF: the form of every written line.
std::string CrLf(const std::vector<std::string>& lines);

}  // namespace zelvane::testing
