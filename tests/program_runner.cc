#include "program_runner.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zelvane::testing {

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
      ("zelvane_test_" + std::to_string(ProcessId()) + "_" + name);
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
