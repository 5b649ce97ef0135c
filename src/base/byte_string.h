#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelvane {

// Text is bytes: positions are 1-based, a search that finds nothing gives 0,
// and positions or counts out of range are clamped, never reported. Positions
// are 64-bit so that a line longer than 2 GiB cannot overflow them; for every
// shorter text the results are those of 32-bit positions.
using Pos = std::int64_t;

// Number of bytes in `text`.
Pos Length(std::string_view text);

// Position of the leftmost `needle` in `text`; 0 when absent or either is empty.
Pos Find(std::string_view needle, std::string_view text);

// As Find, counting only occurrences that begin at `start` or later; a start
// below 1 searches the whole text. The result is an absolute position.
Pos FindFrom(std::string_view needle, std::string_view text, Pos start);

// Clamped copies: the first / last `n` bytes, and `n` bytes from `start`. A start
// below 1 copies from the first byte without shortening `n`.
std::string Left(std::string_view text, Pos n);
std::string Right(std::string_view text, Pos n);
std::string Mid(std::string_view text, Pos start, Pos n);

// Removes `n` bytes at `start`; nothing happens when `start` lies outside `text`.
void DeleteAt(std::string& text, Pos start, Pos n);

// Inserts `piece` so that it begins at `at`, clamped to the ends of `text`.
void InsertAt(std::string_view piece, std::string& text, Pos at);

// ASCII case folding; every other byte is copied unchanged.
std::string Lower(std::string_view text);
std::string Upper(std::string_view text);

// Removes leading and trailing bytes 0x00 to 0x20.
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);

// Unsigned byte-wise order: negative, 0 or positive.
int Compare(std::string_view a, std::string_view b);

// The bytes of every argument in order.
template <typename... Texts>
std::string Concat(const Texts&... texts) {
  std::string result;
  result.reserve((std::string_view(texts).size() + ... + 0));
  (result.append(std::string_view(texts)), ...);
  return result;
}

// The integer reader. `status` is 0 when the whole text was read as a number;
// otherwise `value` is what had been read when reading stopped.
struct ParsedInt {
  std::int32_t value = 0;
  std::int32_t status = 0;
};
ParsedInt ParseInt(std::string_view text);

// Plain decimal, "-" before negative values.
std::string FormatInt(std::int64_t value);

// One byte: the low 8 bits of `n`.
std::string CharString(std::int32_t n);

// ASCII-only byte classes; never the locale.
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsUpperAscii(char c) { return c >= 'A' && c <= 'Z'; }
constexpr char LowerAscii(char c) {
  return IsUpperAscii(c) ? static_cast<char>(c + ('a' - 'A')) : c;
}
constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

}  // namespace zelvane
