#include "program_runner.h"

#include <gtest/gtest.h>

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

std::string SettingsReport(const std::string& source, const std::string& destination) {
  return CrLf({"Running...", "", "Source: " + source, "Destination: " + destination,
               "cet: do not add time zone, except for \"UTC\" and \"CET\" references",
               "kenmerk: do not add any <kenmerk> data to description"});
}

void ExpectFailureReport(const std::string& err, const std::string& kind,
                         const std::string& message) {
  const std::string head = "Exception " + kind + " in module " + kModule + " at ";
  const std::string tail = ".\r\n" + message + "\r\n\r\n";
  ASSERT_EQ(err.size(), head.size() + 8 + tail.size()) << err;
  EXPECT_EQ(err.substr(0, head.size()), head);
  for (std::size_t i = head.size(); i < head.size() + 8; ++i) {
    EXPECT_TRUE((err[i] >= '0' && err[i] <= '9') || (err[i] >= 'A' && err[i] <= 'F')) << err;
  }
  EXPECT_EQ(err.substr(head.size() + 8), tail);
}

}  // namespace zelvane::testing
