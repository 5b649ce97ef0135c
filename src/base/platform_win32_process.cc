// The process, the console, the locale and large blocks of memory, on
// Windows: the calls that have nothing to do with the listing's files.
#include "base/platform.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace zelvane::platform {

namespace {

// One locale value, or `fallback` when the locale gives none.
std::string LocaleValue(LCTYPE type, const char* fallback) {
  char value[16] = {};
  const int size = GetLocaleInfoA(GetThreadLocale(), type, value, sizeof value);
  return size > 1 ? std::string(value) : std::string(fallback);
}

}  // namespace

bool IsTerminal(const File& file) {
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(file.handle()), &mode) != 0;
}

void WriteStandardError(std::string_view text) {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD chunk = text.size() < (DWORD{1} << 30) ? static_cast<DWORD>(text.size())
                                                         : (DWORD{1} << 30);
    if (WriteFile(handle, text.data(), chunk, &written, nullptr) == 0 || written == 0) return;
    text.remove_prefix(written);
  }
}

std::string ToConsoleCodePage(std::string_view text) {
  // CharToOemA converts a zero-ended string in place; each stretch between
  // zero bytes is converted on its own, so that no byte is lost.
  std::string converted(text);
  converted.push_back('\0');
  for (std::size_t at = 0; at < text.size(); at = converted.find('\0', at) + 1) {
    CharToOemA(converted.data() + at, converted.data() + at);
  }
  converted.pop_back();
  return converted;
}

// The module's own file name is asked of the system; argv[0] is not needed.
std::string ProgramName(const char*) {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD size = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (size == 0) return "zelvane.exe";
    if (size < path.size()) {
      const std::string full(path.data(), size);
      const std::size_t separator = full.find_last_of("\\/:");
      return separator == std::string::npos ? full : full.substr(separator + 1);
    }
    path.resize(path.size() * 2);
  }
}

std::optional<std::string> RawCommandLine() { return std::string(GetCommandLineA()); }

void PrepareProcess() {
  // A drive without a medium is an I/O failure of the run, not a dialog box
  // that a scheduled run would wait on forever.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

LocaleSeparators ReadLocaleSeparators() {
  LocaleSeparators separators;
  separators.date = LocaleValue(LOCALE_SDATE, "/");
  separators.time = LocaleValue(LOCALE_STIME, ":");
  separators.decimal = LocaleValue(LOCALE_SDECIMAL, ".");
  return separators;
}

// The heap serves large blocks here: it commits their pages as they are
// first touched, as the system's own calls would.
void* MapLargeBlock(std::size_t size) { return size == 0 ? nullptr : std::malloc(size); }

void* GrowLargeBlock(void* block, std::size_t, std::size_t newSize) {
  return std::realloc(block, newSize);
}

void UnmapLargeBlock(void* block, std::size_t) { std::free(block); }

}  // namespace zelvane::platform
