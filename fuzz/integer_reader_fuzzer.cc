// The integer reader against a second reading of its contract, written in
// another shape (64-bit arithmetic, one pass over a cursor), and against the
// integer writer.
#include "base/byte_string.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelvane::fuzz {
namespace {

struct Reading {
  std::int64_t value = 0;
  bool complete = false;  // the whole text was read as a number
};

std::int32_t Wrap(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFF));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Reading ReadModel(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return {0, false};
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  const auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
  bool hexadecimal = false;
  if (at(i) == '$' || at(i) == 'x' || at(i) == 'X') {
    hexadecimal = true;
    ++i;
  } else if (at(i) == '0') {
    ++i;
    if (at(i) == 'x' || at(i) == 'X') {
      hexadecimal = true;
      ++i;
    } else if (i == text.size()) {
      return {0, true};
    }
  } else if (i == text.size()) {
    return {0, false};
  }
  if (hexadecimal && i == text.size()) return {0, false};

  std::int64_t m = 0;
  const std::int64_t radix = hexadecimal ? 16 : 10;
  const std::int64_t limit = hexadecimal ? 0x0FFFFFFF : 214748364;
  for (; i < text.size(); ++i) {
    const int digit = hexadecimal ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0 || m > limit) return {m, false};  // the sign is not applied
    m = m * radix + digit;
  }
  if (hexadecimal) return {negative ? -m : m, true};
  if (negative) return {-m, m <= 2147483648};
  return {m, m <= 2147483647};
}

}  // namespace
}  // namespace zelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelvane;
  using namespace zelvane::fuzz;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const ParsedInt parsed = ParseInt(text);
  const Reading model = ReadModel(text);
  Require(parsed.value == Wrap(model.value), "value as the contract reads it", text);
  Require((parsed.status == 0) == model.complete, "status as the contract reads it", text);

  // A zero byte ends the text; leading blanks are passed over.
  if (text.find('\0') == std::string_view::npos) {
    const ParsedInt cut = ParseInt(std::string(text) + '\0' + "12x");
    Require(cut.value == parsed.value && (cut.status == 0) == (parsed.status == 0),
            "a zero byte ends the text", text);
    if (!text.empty()) {
      const ParsedInt blank = ParseInt(" " + std::string(text));
      Require(blank.value == parsed.value && (blank.status == 0) == (parsed.status == 0),
              "a leading blank changes nothing", text);
    }
  }

  // Whatever was read, the writer's text of it reads back exactly.
  const ParsedInt again = ParseInt(FormatInt(parsed.value));
  Require(again.value == parsed.value && again.status == 0, "writer and reader agree", text);
  if (size >= 4) {
    const Input input(data, size);
    Input copy = input;
    const std::int32_t raw = copy.Int32();
    const ParsedInt back = ParseInt(FormatInt(raw));
    Require(back.value == raw && back.status == 0, "every 32-bit value reads back",
            FormatInt(raw));
  }
  return 0;
}
