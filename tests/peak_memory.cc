// Runs a program and writes its peak resident memory, in KiB, to a file:
//   zelvane_peak_memory FILE PROGRAM [ARGUMENT...]
// and ends as the program ended. A child's peak counts the memory of the
// process it was forked from, and a test process that has run many tests is
// large; this small process is what the program is forked from instead.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: zelvane_peak_memory FILE PROGRAM [ARGUMENT...]\n", stderr);
    return 127;
  }
  const pid_t pid = ::fork();
  if (pid < 0) return 127;
  if (pid == 0) {
    ::execv(argv[2], argv + 2);
    ::_exit(127);
  }
  int raw = 0;
  rusage usage{};
  while (::wait4(pid, &raw, 0, &usage) < 0) {
    if (errno != EINTR) return 127;
  }
  std::FILE* file = std::fopen(argv[1], "w");
  if (file == nullptr) return 127;
  const bool written = std::fprintf(file, "%ld\n", usage.ru_maxrss) > 0;
  if (std::fclose(file) != 0 || !written) return 127;
  if (WIFSIGNALED(raw)) {
    std::signal(WTERMSIG(raw), SIG_DFL);
    std::raise(WTERMSIG(raw));
  }
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 127;
}
