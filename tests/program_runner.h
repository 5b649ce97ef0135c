#pragma once

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

// A fresh, empty directory for one test.
std::filesystem::path FreshDirectory(const std::string& name);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

// The lines joined, each followed by CR LF: the form of every written line.
std::string CrLf(const std::vector<std::string>& lines);

}  // namespace zelvane::testing
