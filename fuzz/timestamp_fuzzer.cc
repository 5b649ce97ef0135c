// The time-stamp normaliser: it returns the trimmed value, or the value with
// an offset the zone calls for, or raises EConvertError; nothing else.
#include "base/byte_string.h"
#include "base/failure.h"
#include "fuzz_check.h"
#include "time/timestamp.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelvane::fuzz {
namespace {

// Offsets that reach every branch of the writer: none, the usual hours, the
// edges of 100 hours, and the ends of the 32-bit range.
std::int32_t OffsetFrom(Input& input) {
  static constexpr std::int32_t kOffsets[] = {0, 1, -1, -2, -6, 9, -11, 97, -98, -103,
                                              2147483647, -2147483647 - 1};
  const std::uint8_t choice = input.Byte();
  if (choice < sizeof kOffsets / sizeof kOffsets[0]) return kOffsets[choice];
  return input.Int32();
}

// The hours of an offset text "+HH..00" / "-HH..00" at the end of `result`
// after a blank; false when there is none.
bool ReadOffset(std::string_view result, std::string_view& head, std::int64_t& hours) {
  const std::size_t blank = result.rfind(' ');
  if (blank == std::string_view::npos) return false;
  const std::string_view offset = result.substr(blank + 1);
  if (offset.size() < 5 || (offset[0] != '+' && offset[0] != '-')) return false;
  const std::string_view digits = offset.substr(1);
  for (const char c : digits) {
    if (!IsDigit(c)) return false;
  }
  if (!digits.ends_with("00")) return false;
  const std::string_view magnitude = digits.substr(0, digits.size() - 2);
  // Two digits at least, and no leading zero beyond what fills two.
  if (magnitude.size() > 2 && magnitude[0] == '0') return false;
  if (magnitude.size() > 12) return false;
  hours = 0;
  for (const char c : magnitude) hours = hours * 10 + (c - '0');
  if (offset[0] == '-') {
    if (hours == 0) return false;  // zero is written "+0000"
    hours = -hours;
  }
  head = result.substr(0, blank);
  return true;
}

}  // namespace
}  // namespace zelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelvane;
  using namespace zelvane::fuzz;
  Input input(data, size);
  const bool cet = (input.Byte() & 1) != 0;
  const std::int32_t cetoffset = OffsetFrom(input);
  const std::string_view value = input.Rest();

  const std::string trimmed(TrimView(value));
  std::string upper = trimmed;
  for (char& c : upper) c = UpperAscii(c);
  // An offset attached at the 15th character completes the stamp.
  const bool attached = trimmed.size() >= 15 && (trimmed[14] == '+' || trimmed[14] == '-');
  const bool utc = !attached && upper.find(" UTC") != std::string::npos;
  const bool cetMarked = !attached && !utc && upper.find(" CET") != std::string::npos;
  const bool zoneless =
      !attached && !utc && !cetMarked && cet && trimmed.find(' ') == std::string::npos;

  std::string result;
  try {
    result = NormaliseTimeStamp(value, cet, cetoffset);
  } catch (const EConvertError& failure) {
    // Only a stamp whose date is read can fail, and the message names it.
    Require(cetMarked || zoneless, "only a CET or zone-less stamp is read", value);
    Require(failure.message().ends_with("'' is not a valid date and time"),
            "the invalid-date message", failure.message());
    return 0;
  }

  if (!utc && !cetMarked && !zoneless) {
    Require(result == trimmed, "a stamp without offset to add comes back trimmed", value);
    return 0;
  }
  std::string_view head;
  std::int64_t hours = 0;
  Require(ReadOffset(result, head, hours), "the result ends in a blank, sign and digits", result);
  Require(trimmed.starts_with(head), "the stamp keeps its own text", result);
  if (utc) {
    Require(hours == 0, "UTC is +0000", result);
  } else if (cetMarked) {
    Require(hours == 1 || hours == 2, "CET is +0100 or +0200", result);
  } else {
    Require(head == trimmed, "a zone-less stamp keeps all its text", result);
    Require(hours == 1 + std::int64_t{cetoffset} || hours == 2 + std::int64_t{cetoffset},
            "a zone-less stamp gets CET plus the offset", result);
  }
  return 0;
}
