#include "program_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
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

ProgramResult RunProgramWith(const std::string& setup, const std::string& prefix,
                             const std::vector<std::string>& arguments,
                             const std::filesystem::path& directory) {
  std::string command = "cd ";
  command.append(ShellWord(directory.string())).append(" && ").append(setup);
  command.append(" exec ").append(prefix).append(" ").append(ShellWord(ZELVANE_PROGRAM));
  for (const std::string& argument : arguments) command.append(" ").append(ShellWord(argument));
  const std::filesystem::path out = directory / ".stdout";
  const std::filesystem::path err = directory / ".stderr";
  command.append(" > ").append(ShellWord(out.string()));
  command.append(" 2> ").append(ShellWord(err.string())).append(" < /dev/null");
  const int raw = std::system(("sh -c " + ShellWord(command)).c_str());
  ProgramResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
}

pid_t StartProgram(const std::vector<std::string>& arguments,
                   const std::filesystem::path& directory) {
  // Everything the child needs is prepared before the fork.
  std::vector<std::string> words{ZELVANE_PROGRAM};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string dir = directory.string();
  const std::string out = (directory / ".stdout").string();
  const std::string err = (directory / ".stderr").string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 ||
        ::chdir(dir.c_str()) != 0) {
      ::_exit(127);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (pid < 0) throw std::runtime_error("fork failed");
  return pid;
}

ProgramResult FinishProgram(pid_t pid, const std::filesystem::path& directory, int* signal,
                            rusage* usage) {
  int raw = 0;
  rusage own {};
  while (::wait4(pid, &raw, 0, &own) < 0) {
    if (errno != EINTR) throw std::runtime_error("wait4 failed");
  }
  if (usage != nullptr) *usage = own;
  if (signal != nullptr) *signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
  ProgramResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(directory / ".stdout");
  result.err = ReadFile(directory / ".stderr");
  std::filesystem::remove(directory / ".stdout");
  std::filesystem::remove(directory / ".stderr");
  return result;
}

void ExpectFailureReport(const std::string& err, const std::string& kind,
                         const std::string& message) {
  const std::string head = "Exception " + kind + " in module zelvane at ";
  const std::string tail = ".\r\n" + message + "\r\n\r\n";
  ASSERT_EQ(err.size(), head.size() + 8 + tail.size()) << err;
  EXPECT_EQ(err.substr(0, head.size()), head);
  for (std::size_t i = head.size(); i < head.size() + 8; ++i) {
    EXPECT_TRUE((err[i] >= '0' && err[i] <= '9') || (err[i] >= 'A' && err[i] <= 'F')) << err;
  }
  EXPECT_EQ(err.substr(head.size() + 8), tail);
}

bool RunningAsRoot() { return ::geteuid() == 0; }

bool UnprivilegedPrefix(std::string& prefix) {
  if (!RunningAsRoot()) {
    prefix.clear();
    return true;
  }
  if (std::system("command -v setpriv > /dev/null 2>&1") != 0) return false;
  prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
  return true;
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

std::string SettingsReport(const std::string& source, const std::string& destination) {
  return CrLf({"Running...", "", "Source: " + source, "Destination: " + destination,
               "cet: do not add time zone, except for \"UTC\" and \"CET\" references",
               "kenmerk: do not add any <kenmerk> data to description"});
}

}  // namespace zelvane::testing
