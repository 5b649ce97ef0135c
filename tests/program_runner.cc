#include "program_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zelvane::testing {

namespace {

// One word for the POSIX shell: in apostrophes, an apostrophe written '\''.
std::string ShellWord(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory,
                         const std::string& redirectOut) {
  const std::filesystem::path out = directory / ".stdout";
  const std::filesystem::path err = directory / ".stderr";
  // Appended piece by piece: GCC 12 warns falsely on chains of operator+.
  std::string command = "cd ";
  command.append(ShellWord(directory.string())).append(" && ").append(ShellWord(ZELVANE_PROGRAM));
  for (const std::string& argument : arguments) command.append(" ").append(ShellWord(argument));
  command.append(" > ").append(ShellWord(redirectOut.empty() ? out.string() : redirectOut));
  command.append(" 2> ").append(ShellWord(err.string())).append(" < /dev/null");
  const int raw = std::system(command.c_str());
  ProgramResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (redirectOut.empty()) result.out = ReadFile(out);
  result.err = ReadFile(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
}

std::filesystem::path FreshDirectory(const std::string& name) {
  // Directories of this process carry its id, so that test runs side by side
  // never share one, and are removed when the process ends.
  struct Cleanup {
    std::vector<std::filesystem::path> paths;
    ~Cleanup() {
      std::error_code ignored;
      for (const auto& path : paths) std::filesystem::remove_all(path, ignored);
    }
  };
  static Cleanup cleanup;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("zelvane_test_" + std::to_string(::getpid()) + "_" + name);
  cleanup.paths.push_back(path);
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace zelvane::testing
