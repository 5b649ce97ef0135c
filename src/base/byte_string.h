#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace zelvane {

// Text is bytes; counts out of range are clamped, never reported. Counts are
// 64-bit so that a line longer than 2 GiB cannot overflow them.
using Pos = std::int64_t;

// Number of bytes in `text`.
Pos Length(std::string_view text);

// The first `n` bytes, clamped: all of `text` when it is shorter, nothing
// when `n` is not positive.
std::string Left(std::string_view text, Pos n);

// ASCII case folding; every other byte is copied unchanged.
std::string Lower(std::string_view text);

// Removes leading and trailing bytes 0x00 to 0x20.
std::string_view TrimView(std::string_view text);

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

// ASCII-only byte classes; never the locale.
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsUpperAscii(char c) { return c >= 'A' && c <= 'Z'; }
constexpr char LowerAscii(char c) {
  return IsUpperAscii(c) ? static_cast<char>(c + ('a' - 'A')) : c;
}
constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// True when the bytes at `bytes` are those of the literal `word` (4 to 32
// of them): loads of a fixed size each, the last two overlapping, which the
// compiler makes plain loads and comparisons, not a call.
template <std::size_t N>
bool SameAsLiteral(const char* bytes, const char (&word)[N]) {
  constexpr std::size_t kSize = N - 1;
  static_assert(kSize >= 4 && kSize <= 32);
  using Chunk = std::conditional_t<(kSize >= 8), std::uint64_t, std::uint32_t>;
  const auto load = [](const char* from) {
    Chunk value;
    std::memcpy(&value, from, sizeof value);
    return value;
  };
  // Whole chunks from the start, then the last chunk, which may overlap the
  // one before it.
  for (std::size_t at = 0; at + sizeof(Chunk) < kSize; at += sizeof(Chunk)) {
    if (load(bytes + at) != load(word + at)) return false;
  }
  return load(bytes + kSize - sizeof(Chunk)) == load(word + kSize - sizeof(Chunk));
}

// True when the `size` bytes at `a` and `b` are the same, compared a word at
// a time, the last word overlapping the one before it: for a few dozen bytes
// a call of memcmp would cost more than the comparison.
inline bool SameBytes(const char* a, const char* b, std::size_t size) {
  const auto load = [](const char* from, auto word) {
    std::memcpy(&word, from, sizeof word);
    return word;
  };
  if (size >= 8) {
    for (std::size_t at = 0; at + 8 < size; at += 8) {
      if (load(a + at, std::uint64_t{}) != load(b + at, std::uint64_t{})) return false;
    }
    return load(a + size - 8, std::uint64_t{}) == load(b + size - 8, std::uint64_t{});
  }
  if (size >= 4) {
    return load(a, std::uint32_t{}) == load(b, std::uint32_t{}) &&
           load(a + size - 4, std::uint32_t{}) == load(b + size - 4, std::uint32_t{});
  }
  for (std::size_t at = 0; at < size; ++at) {
    if (a[at] != b[at]) return false;
  }
  return true;
}

// True when the literal `word` stands in `text` at `at`, which is at most
// text.size().
template <std::size_t N>
bool LiteralAt(std::string_view text, std::size_t at, const char (&word)[N]) {
  return text.size() - at >= N - 1 && SameAsLiteral(text.data() + at, word);
}

}  // namespace zelvane
