// Runs the program with CreateProcess, its console redirected to files and
// its standard input to the null device or to a pipe.
#include "program_runner.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace zelvane::testing {

namespace {

// The program splits its command line into words at blanks, and double
// quotes group a word; a quote can never be part of a word, and a backslash
// is an ordinary byte.
std::string CommandLine(const std::vector<std::string>& arguments) {
  std::string line = "zelvane";
  for (const std::string& argument : arguments) {
    if (argument.find('"') != std::string::npos) {
      throw std::invalid_argument("a word with a double quote cannot be passed: " + argument);
    }
    line.append(" \"").append(argument).append("\"");
  }
  return line;
}

// A handle that a child process inherits.
HANDLE Inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  const HANDLE handle =
      CreateFileA(path.string().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                  disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path.string());
  return handle;
}

ProgramResult Run(const std::vector<std::string>& arguments,
                  const std::filesystem::path& directory, const std::string& redirectOut,
                  const std::string* input) {
  const std::filesystem::path out = redirectOut.empty() ? directory / ".stdout" : redirectOut;
  const std::filesystem::path err = directory / ".stderr";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = Inheritable(out, GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = Inheritable(err, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE feed = INVALID_HANDLE_VALUE;
  if (input != nullptr) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    if (CreatePipe(&startup.hStdInput, &feed, &security, 0) == 0) {
      throw std::runtime_error("cannot create a pipe");
    }
    SetHandleInformation(feed, HANDLE_FLAG_INHERIT, 0);
  } else {
    startup.hStdInput = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  }

  const std::string program = std::filesystem::absolute(ZELVANE_PROGRAM).string();
  std::string commandLine = CommandLine(arguments);
  const std::string workingDirectory = directory.string();
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     workingDirectory.c_str(), &startup, &process);
  CloseHandle(startup.hStdInput);
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  if (started == 0) {
    if (feed != INVALID_HANDLE_VALUE) CloseHandle(feed);
    throw std::runtime_error("cannot start " + program);
  }
  if (feed != INVALID_HANDLE_VALUE) {
    // The program's output goes to files, so it never waits for this
    // process: writing the whole input before waiting cannot deadlock.
    DWORD written = 0;
    for (std::size_t at = 0; at < input->size(); at += written) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(input->size() - at, 1 << 16));
      if (::WriteFile(feed, input->data() + at, chunk, &written, nullptr) == 0) break;
    }
    CloseHandle(feed);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);

  ProgramResult result;
  result.status = static_cast<int>(status);
  if (redirectOut.empty()) {
    result.out = ReadFile(out);
    std::filesystem::remove(out);
  }
  result.err = ReadFile(err);
  std::filesystem::remove(err);
  return result;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory,
                         const std::string& redirectOut) {
  return Run(arguments, directory, redirectOut, nullptr);
}

ProgramResult RunPipeline(const std::vector<std::string>& arguments,
                          const std::filesystem::path& directory, const std::string& input) {
  return Run(arguments, directory, "", &input);
}

ProgramResult RunInShell(const std::string&, const std::string&, const std::vector<std::string>&,
                         const std::filesystem::path&) {
  throw std::logic_error("no POSIX shell on Windows");
}

HeldOpen::HeldOpen(const std::filesystem::path& path, bool forWriting) {
  const HANDLE handle = CreateFileA(
      path.string().c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
      forWriting ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ, nullptr, OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path.string());
  handle_ = reinterpret_cast<std::intptr_t>(handle);
}

HeldOpen::~HeldOpen() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

// Windows has no superuser whose rights the tests could drop.
bool RunningAsRoot() { return false; }
bool UnprivilegedPrefix(std::string&) { return false; }

}  // namespace zelvane::testing
