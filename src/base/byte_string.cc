#include "base/byte_string.h"

#include <algorithm>

namespace zelvane {

Pos Length(std::string_view text) { return static_cast<Pos>(text.size()); }

std::string Left(std::string_view text, Pos n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(std::min(n, Length(text)))));
}

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerAscii(c);
  return result;
}

std::string_view TrimView(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Signed two's-complement reading of an unsigned magnitude.
std::int32_t AsSigned(std::uint32_t m) { return static_cast<std::int32_t>(m); }

}  // namespace

ParsedInt ParseInt(std::string_view text) {
  // A zero byte ends the text for the reader. The texts read are short (a
  // field of a time stamp), where a plain loop beats a call of memchr.
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\0') {
      text = text.substr(0, k);
      break;
    }
  }
  if (text.empty()) return {0, 1};

  std::size_t i = 0;
  const std::size_t end = text.size();
  while (i < end && text[i] == ' ') ++i;
  bool negative = false;
  if (i < end && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }

  bool hexadecimal = false;
  if (i < end && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hexadecimal = true;
    ++i;
  } else if (i < end && text[i] == '0') {
    ++i;
    if (i < end && (text[i] == 'x' || text[i] == 'X')) {
      hexadecimal = true;
      ++i;
    } else if (i == end) {
      return {0, 0};
    }
  } else if (i == end) {
    return {0, 1};
  }

  std::uint32_t m = 0;
  if (hexadecimal) {
    if (i == end) return {0, 1};
    for (; i < end; ++i) {
      const int digit = HexDigitValue(text[i]);
      if (digit < 0 || m > 0x0FFFFFFFu) {
        return {AsSigned(m), static_cast<std::int32_t>(i + 1)};
      }
      m = m * 16 + static_cast<std::uint32_t>(digit);
    }
    return {AsSigned(negative ? 0u - m : m), 0};
  }

  for (; i < end; ++i) {
    if (!IsDigit(text[i]) || m > 214748364u) {
      return {AsSigned(m), static_cast<std::int32_t>(i + 1)};
    }
    m = m * 10 + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) return {AsSigned(0u - m), m <= 2147483648u ? 0 : 1};
  return {AsSigned(m), m <= 2147483647u ? 0 : 1};
}

std::string FormatInt(std::int64_t value) {
  // The magnitude is taken as unsigned, so the most negative value is exact.
  std::uint64_t magnitude =
      value < 0 ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char digits[24];
  char* p = digits + sizeof digits;
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  return std::string(p, static_cast<std::size_t>(digits + sizeof digits - p));
}

}  // namespace zelvane
