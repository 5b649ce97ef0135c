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

}  // namespace zelvane::testing
