#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zelvane::testing {

// The system the tests run on, and the program's file name as its failure
// report names it ("zelvane", or "zelvane.exe" on Windows).
inline constexpr bool kOnWindows = ZELVANE_ON_WINDOWS;
inline const std::string kModule = ZELVANE_MODULE;

// What one run of the built program left: its exit status and its two
// console streams, byte for byte.
struct ProgramResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the built program with `arguments` (each passed as one word) in the
// directory `directory`, with an empty standard input. `redirectOut`
// replaces the capture of standard output with that file (for example
// /dev/full).
ProgramResult RunProgram(const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory,
                         const std::string& redirectOut = "");

// As RunProgram, with standard input a pipe that carries `input`.
ProgramResult RunPipeline(const std::vector<std::string>& arguments,
                          const std::filesystem::path& directory, const std::string& input);

// As RunProgram, through the POSIX shell: `setup` runs first in the same
// shell (limits), `prefix` stands in front of the program (a change of
// user). POSIX only.
ProgramResult RunInShell(const std::string& setup, const std::string& prefix,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory);

// Keeps `path` open, as another program would, for as long as it lives:
// for writing (others may read and write it) or for reading (others may
// only read it). Only where files have share modes; elsewhere it holds
// nothing.
class HeldOpen {
 public:
  HeldOpen(const std::filesystem::path& path, bool forWriting);
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  ~HeldOpen();

 private:
  std::intptr_t handle_ = -1;
};

// The id of the test process.
int ProcessId();

// A fresh, empty directory for one test.
std::filesystem::path FreshDirectory(const std::string& name);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

// The lines joined, each followed by CR LF: the form of every written line.
std::string CrLf(const std::vector<std::string>& lines);

// What the program prints before the pass for `source` and `destination`
// without switches.
std::string SettingsReport(const std::string& source, const std::string& destination);

// Checks that `err` is exactly one failure report of `kind` with `message`;
// the position may be any eight upper-case hex digits.
void ExpectFailureReport(const std::string& err, const std::string& kind,
                         const std::string& message);

// True when the tests run with the privileges of the superuser.
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

}  // namespace zelvane::testing
