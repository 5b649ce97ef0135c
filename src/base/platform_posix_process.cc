// The process, the console, the locale and large blocks of memory, on POSIX
// systems: the calls that have nothing to do with the listing's files.
#include "base/platform.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <langinfo.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace zelvane::platform {

namespace {

// The first literal byte of a strftime-style format: the separator between
// its fields ("%m/%d/%y" gives "/").
std::string SeparatorOf(const char* format, const char* fallback) {
  if (format == nullptr) return fallback;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p == '%') {
      ++p;
      while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0' || *p == '^') ++p;
      if (*p == '\0') break;
      continue;
    }
    return std::string(1, *p);
  }
  return fallback;
}

// Large blocks start on this boundary and span whole multiples of it, so
// that every part of them can be a large page.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::size_t RoundToLargePages(std::size_t size) {
  return (size + kLargePage - 1) & ~(kLargePage - 1);
}

// Only a hint: where the system has no large pages, nothing changes.
void AdviseLargePages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t size) {
#ifdef MADV_HUGEPAGE
  (void)::madvise(block, size, MADV_HUGEPAGE);
#endif
}

}  // namespace

bool IsTerminal(const File& file) { return ::isatty(static_cast<int>(file.handle())) == 1; }

void WriteStandardError(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::string ToConsoleCodePage(std::string_view text) { return std::string(text); }

std::string ProgramName(const char* programPath) {
  const std::string path = programPath != nullptr ? programPath : "";
  const std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() ? "zelvane" : name;
}

std::optional<std::string> RawCommandLine() { return std::nullopt; }

void PrepareProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

LocaleSeparators ReadLocaleSeparators() {
  LocaleSeparators separators;
  if (std::setlocale(LC_ALL, "") != nullptr) {
    separators.date = SeparatorOf(nl_langinfo(D_FMT), "/");
    separators.time = SeparatorOf(nl_langinfo(T_FMT), ":");
    const char* radix = nl_langinfo(RADIXCHAR);
    if (radix != nullptr && *radix != '\0') separators.decimal = radix;
  }
  // Nothing else in the program may depend on the locale.
  std::setlocale(LC_ALL, "C");
  return separators;
}

void* MapLargeBlock(std::size_t size) {
  if (size == 0 || size > SIZE_MAX - 2 * kLargePage) return nullptr;
  const std::size_t rounded = RoundToLargePages(size);
  // Mapped with one large page to spare, then trimmed to start on a boundary.
  void* mapped = ::mmap(nullptr, rounded + kLargePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  char* const start = static_cast<char*>(mapped);
  const std::size_t skip =
      (kLargePage - reinterpret_cast<std::uintptr_t>(start) % kLargePage) % kLargePage;
  if (skip > 0) ::munmap(start, skip);
  if (kLargePage - skip > 0) ::munmap(start + skip + rounded, kLargePage - skip);
  AdviseLargePages(start + skip, rounded);
  return start + skip;
}

void* GrowLargeBlock(void* block, std::size_t size, std::size_t newSize) {
  if (newSize > SIZE_MAX - 2 * kLargePage) return nullptr;
  const std::size_t rounded = RoundToLargePages(size);
  const std::size_t newRounded = RoundToLargePages(newSize);
  if (newRounded <= rounded) return block;
#ifdef MREMAP_MAYMOVE
  // The pages move by their page tables, never by copying.
  void* moved = ::mremap(block, rounded, newRounded, MREMAP_MAYMOVE);
  if (moved == MAP_FAILED) return nullptr;
  AdviseLargePages(moved, newRounded);
  return moved;
#else
  void* bigger = MapLargeBlock(newSize);
  if (bigger == nullptr) return nullptr;
  std::memcpy(bigger, block, size);
  UnmapLargeBlock(block, size);
  return bigger;
#endif
}

void UnmapLargeBlock(void* block, std::size_t size) {
  if (block != nullptr) ::munmap(block, RoundToLargePages(size));
}

}  // namespace zelvane::platform
