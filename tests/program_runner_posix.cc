// Runs the program through the POSIX shell, which takes care of the
// redirections, the pipe and the limits.
#include "program_runner_posix.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

// Runs `program` (the shell text that starts it) in `directory` with its
// arguments and its console captured, standard output into `redirectOut`
// when one is given, and standard input from `input` when one is given.
ProgramResult Run(const std::string& setup, const std::string& program,
                  const std::vector<std::string>& arguments,
                  const std::filesystem::path& directory, const std::string& redirectOut,
                  const std::string* input) {
  const std::filesystem::path out = directory / ".stdout";
  const std::filesystem::path err = directory / ".stderr";
  const std::filesystem::path in = directory / ".stdin";
  // Appended piece by piece: GCC 12 warns falsely on chains of operator+.
  std::string command = "cd ";
  command.append(ShellWord(directory.string())).append(" && ").append(setup);
  if (input != nullptr) {
    WriteFile(in, *input);
    // Through cat, so that the program reads a pipe and not a file.
    command.append(" cat ").append(ShellWord(in.string())).append(" | ");
  }
  command.append(program);
  for (const std::string& argument : arguments) command.append(" ").append(ShellWord(argument));
  command.append(" > ").append(ShellWord(redirectOut.empty() ? out.string() : redirectOut));
  command.append(" 2> ").append(ShellWord(err.string()));
  if (input == nullptr) command.append(" < /dev/null");
  const int raw = std::system(("sh -c " + ShellWord(command)).c_str());
  ProgramResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (redirectOut.empty()) result.out = ReadFile(out);
  result.err = ReadFile(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  std::filesystem::remove(in);
  return result;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory,
                         const std::string& redirectOut) {
  return Run("", ShellWord(ZELVANE_PROGRAM), arguments, directory, redirectOut, nullptr);
}

ProgramResult RunPipeline(const std::vector<std::string>& arguments,
                          const std::filesystem::path& directory, const std::string& input) {
  return Run("", ShellWord(ZELVANE_PROGRAM), arguments, directory, "", &input);
}

ProgramResult RunInShell(const std::string& setup, const std::string& prefix,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory) {
  return Run(setup, "exec " + prefix + " " + ShellWord(ZELVANE_PROGRAM), arguments, directory,
             "", nullptr);
}

// POSIX files have no share modes: nothing to hold.
HeldOpen::HeldOpen(const std::filesystem::path&, bool) {}
HeldOpen::~HeldOpen() = default;

int ProcessId() { return static_cast<int>(::getpid()); }

pid_t StartProgram(const std::vector<std::string>& arguments,
                   const std::filesystem::path& directory, bool measurePeak) {
  // Everything the child needs is prepared before the fork.
  std::vector<std::string> words;
  if (measurePeak) words = {ZELVANE_PEAK_MEMORY, (directory / ".peak").string()};
  words.push_back(ZELVANE_PROGRAM);
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
                            long* peakKiB) {
  int raw = 0;
  while (::waitpid(pid, &raw, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  if (peakKiB != nullptr) {
    const std::string peak = ReadFile(directory / ".peak");
    if (peak.empty()) throw std::runtime_error("no peak memory was recorded");
    *peakKiB = std::stol(peak);
    std::filesystem::remove(directory / ".peak");
  }
  if (signal != nullptr) *signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
  ProgramResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(directory / ".stdout");
  result.err = ReadFile(directory / ".stderr");
  std::filesystem::remove(directory / ".stdout");
  std::filesystem::remove(directory / ".stderr");
  return result;
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


}  // namespace zelvane::testing
