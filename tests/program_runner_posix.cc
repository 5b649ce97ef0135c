// Runs the program through the POSIX shell, which takes care of the
// redirections, the pipe and the limits.
#include "program_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

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

}  // namespace zelvane::testing
