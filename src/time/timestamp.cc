#include "time/timestamp.h"

#include "base/byte_string.h"
#include "time/calendar.h"
#include "time/time_zone.h"

#include <cstring>

#include <algorithm>

namespace zelvane {

namespace {

// The position (0-based) of the first blank followed by `word` in any case,
// as a search in an upper-cased copy would find it; npos when absent. Bytes
// from 0x80 on never match, as upper-casing leaves them alone.
std::size_t FindZoneWord(std::string_view text, const char (&word)[4]) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* p = begin;
  while (end - p >= 4) {
    const void* blank = std::memchr(p, ' ', static_cast<std::size_t>(end - p - 3));
    if (blank == nullptr) break;
    p = static_cast<const char*>(blank);
    if (UpperAscii(p[1]) == word[0] && UpperAscii(p[2]) == word[1] &&
        UpperAscii(p[3]) == word[2]) {
      return static_cast<std::size_t>(p - begin);
    }
    ++p;
  }
  return std::string_view::npos;
}

// The field of `length` characters at 1-based `position`, clamped to the
// text, read as the integer reader reads it and handed on as a 16-bit field:
// -1 becomes 65535, which the calendar refuses.
std::uint16_t ReadField(std::string_view text, std::size_t position, std::size_t length) {
  if (position > text.size()) return 0;
  // Nearly every field is all digits, which the integer reader would read
  // the same way.
  if (text.size() - (position - 1) >= length) {
    std::uint16_t value = 0;
    std::size_t i = position - 1;
    while (i < position - 1 + length && IsDigit(text[i])) {
      value = static_cast<std::uint16_t>(value * 10 + (text[i] - '0'));
      ++i;
    }
    if (i == position - 1 + length) return value;
  }
  const ParsedInt parsed = ParseInt(text.substr(position - 1, length));
  return static_cast<std::uint16_t>(parsed.value);
}

// True when `stamp` is a year (four digits) or a year and month (six).
bool IsPartialDate(std::string_view stamp) {
  return (stamp.size() == 4 || stamp.size() == 6) &&
         std::all_of(stamp.begin(), stamp.end(), [](char c) { return IsDigit(c); });
}

void AppendWithOffset(std::string_view value, std::int64_t hours, std::string& out) {
  out.append(value);
  out.push_back(' ');
  AppendUtcOffset(hours, out);
}

}  // namespace

std::string NormaliseTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset,
                               const TimeZone* zone) {
  std::string result;
  TimeStampNormaliser(cet, cetoffset, zone).Append(value, result);
  return result;
}

bool TimeStampNormaliser::InSummer(int year, int month, int day, int hour, int minute,
                                   int second) {
  const std::int32_t key = year * 10000 + month * 100 + day;
  if (key != cachedDay_) {
    // From 02:00 on the last Sunday of March to 03:00 on the last Sunday of
    // October, on the stamps' own clock; both moments themselves are winter.
    if (month == 3 || month == 10) {
      const int sunday = LastSundayOfMonth(year, month).value_or(0);
      if (day == sunday) {
        cachedKind_ = month == 3 ? DayKind::kSpringSwitch : DayKind::kAutumnSwitch;
      } else {
        cachedKind_ = (day > sunday) == (month == 3) ? DayKind::kSummer : DayKind::kWinter;
      }
    } else {
      cachedKind_ = month > 3 && month < 10 ? DayKind::kSummer : DayKind::kWinter;
    }
    cachedDay_ = key;
  }
  // Stamps count whole seconds, so the switch moments compare exactly.
  const int secondOfDay = (hour * 60 + minute) * 60 + second;
  switch (cachedKind_) {
    case DayKind::kSummer:
      return true;
    case DayKind::kSpringSwitch:
      return secondOfDay > 2 * 3600;
    case DayKind::kAutumnSwitch:
      return secondOfDay < 3 * 3600;
    case DayKind::kWinter:
      break;
  }
  return false;
}

void TimeStampNormaliser::Append(std::string_view value, std::string& out) {
  if (!AppendUsual(value, out)) AppendAny(value, out);
}

bool TimeStampNormaliser::AppendUsual(std::string_view value, std::string& out) {
  constexpr std::size_t kDigits = 14;
  if (value.size() != kDigits && value.size() != kDigits + 4) return false;
  // The fourteen bytes as two words of eight (they overlap by two): a byte
  // below '0' sets its top bit when '0' is taken away, one above '9' when
  // 0x46 is added, and the lowest such byte is reached by no borrow or carry.
  const char* p = value.data();
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  std::memcpy(&low, p, 8);
  std::memcpy(&high, p + kDigits - 8, 8);
  constexpr std::uint64_t kZeros = 0x3030303030303030;
  constexpr std::uint64_t kAboveNine = 0x4646464646464646;
  constexpr std::uint64_t kTopBits = 0x8080808080808080;
  if ((((low - kZeros) | (low + kAboveNine) | (high - kZeros) | (high + kAboveNine)) &
       kTopBits) != 0) {
    return false;
  }
  const auto digit = [p](int i) { return p[i] - '0'; };
  const auto pair = [&digit](int i) { return digit(i) * 10 + digit(i + 1); };
  const int fields[6] = {pair(0) * 100 + pair(2), pair(4), pair(6), pair(8), pair(10), pair(12)};
  const std::string_view digits = value.substr(0, kDigits);
  bool cetMarked = false;
  if (value.size() > kDigits) {
    // Four bytes compared at once, not through a call.
    const auto wordIs = [&value](const char (&word)[5]) {
      return std::memcmp(value.data() + kDigits, word, 4) == 0;
    };
    if (wordIs(" UTC")) {
      // Whatever the date, as the general path does.
      out.append(digits).append(" +0000");
      return true;
    }
    if (!wordIs(" CET")) return false;
    cetMarked = true;
  } else if (!cet_ && zone_ == nullptr) {
    out.append(digits);
    return true;
  }
  // An invalid stamp takes the general path, which raises. Stamps come many
  // per day: a date found valid before needs only its time checked.
  const std::int32_t day = fields[0] * 10000 + fields[1] * 100 + fields[2];
  if (day != validDay_) {
    const auto field = [&fields](int i) { return static_cast<std::uint16_t>(fields[i]); };
    if (!IsValidDateTime(field(0), field(1), field(2), field(3), field(4), field(5), 0)) {
      return false;
    }
    validDay_ = day;
  } else if (fields[3] > 23 || fields[4] > 59 || fields[5] > 59) {
    return false;
  }
  if (!cetMarked && zone_ != nullptr) {
    out.append(digits);
    out.push_back(' ');
    AppendUtcOffsetMinutes(
        zone_->UtcOffsetMinutes(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]),
        out);
    return true;
  }
  std::int64_t hours =
      InSummer(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]) ? 2 : 1;
  if (!cetMarked) hours += cetoffset_;
  if (hours <= -100 || hours >= 100) {
    out.append(digits);
    out.push_back(' ');
    AppendUtcOffset(hours, out);
    return true;
  }
  // The digits, a blank and the offset of every listing (sign, two digits,
  // "00") go out in one piece.
  const std::int64_t magnitude = hours < 0 ? -hours : hours;
  char text[kDigits + 6];
  std::memcpy(text, digits.data(), kDigits);
  text[kDigits] = ' ';
  text[kDigits + 1] = hours < 0 ? '-' : '+';
  text[kDigits + 2] = static_cast<char>('0' + magnitude / 10);
  text[kDigits + 3] = static_cast<char>('0' + magnitude % 10);
  text[kDigits + 4] = '0';
  text[kDigits + 5] = '0';
  out.append(text, sizeof text);
  return true;
}

void TimeStampNormaliser::AppendAny(std::string_view value, std::string& out) {
  std::string_view stamp = TrimView(value);

  // An offset written straight after the fourteen digits of date and time
  // ("20240715120000+0200") completes the stamp as it stands.
  if (stamp.size() >= 15 && (stamp[14] == '+' || stamp[14] == '-')) {
    out.append(stamp);
    return;
  }

  // Whatever follows " UTC" is dropped unread: listings write "UTC+01" and
  // the like, and the date need not be valid.
  if (const std::size_t utc = FindZoneWord(stamp, "UTC"); utc != std::string_view::npos) {
    AppendWithOffset(TrimView(stamp.substr(0, utc)), 0, out);
    return;
  }

  bool cetMarked = false;
  if (const std::size_t at = FindZoneWord(stamp, "CET"); at != std::string_view::npos) {
    stamp = TrimView(stamp.substr(0, at));
    cetMarked = true;
  }

  // A blank is the only sign of a zone: a stamp with one carries an offset or
  // a zone word we do not know, and is left as it is.
  if (!cetMarked && ((!cet_ && zone_ == nullptr) || stamp.find(' ') != std::string_view::npos)) {
    out.append(stamp);
    return;
  }

  const std::uint16_t year = ReadField(stamp, 1, 4);
  std::uint16_t month = ReadField(stamp, 5, 2);
  std::uint16_t day = ReadField(stamp, 7, 2);
  // A date may be only a year or a year and month: the first day of that
  // year or month is its moment. The text stays as it is.
  if (IsPartialDate(stamp)) {
    if (stamp.size() == 4) month = 1;
    day = 1;
  }
  const std::uint16_t hour = ReadField(stamp, 9, 2);
  const std::uint16_t minute = ReadField(stamp, 11, 2);
  const std::uint16_t second =
      stamp.size() >= 12 && IsDigit(stamp[11]) ? ReadField(stamp, 13, 2) : 0;
  // An invalid date or time raises with the fields in the message.
  if (!IsValidDateTime(year, month, day, hour, minute, second, 0)) {
    MakeDateTime(year, month, day, hour, minute, second, 0, separators_);
  }
  // A stamp without zone takes the chosen zone's offset at its local time.
  if (!cetMarked && zone_ != nullptr) {
    out.append(stamp);
    out.push_back(' ');
    AppendUtcOffsetMinutes(zone_->UtcOffsetMinutes(year, month, day, hour, minute, second), out);
    return;
  }
  // In 64 bits: the command line does not bound the extra hours.
  std::int64_t hours = InSummer(year, month, day, hour, minute, second) ? 2 : 1;
  if (!cetMarked) hours += cetoffset_;
  AppendWithOffset(stamp, hours, out);
}

void AppendUtcOffset(std::int64_t hours, std::string& out) {
  if (hours > -100 && hours < 100) {
    // Every offset of a listing: sign, two digits, "00".
    const std::int64_t magnitude = hours < 0 ? -hours : hours;
    const char text[5] = {hours < 0 ? '-' : '+', static_cast<char>('0' + magnitude / 10),
                          static_cast<char>('0' + magnitude % 10), '0', '0'};
    out.append(text, sizeof text);
    return;
  }
  // The magnitude as unsigned, so that the most negative value is exact.
  std::uint64_t magnitude =
      hours < 0 ? 0u - static_cast<std::uint64_t>(hours) : static_cast<std::uint64_t>(hours);
  // Sign, at most twenty digits and "00", built here and appended at once.
  char text[23];
  std::size_t at = sizeof text;
  text[--at] = '0';
  text[--at] = '0';
  const std::size_t digitsEnd = at;
  do {
    text[--at] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (digitsEnd - at < 2) text[--at] = '0';
  text[--at] = hours < 0 ? '-' : '+';
  out.append(text + at, sizeof text - at);
}

void AppendUtcOffsetMinutes(std::int32_t minutes, std::string& out) {
  // A zone's offset is less than a day, so the hours have two digits.
  const std::int32_t magnitude = minutes < 0 ? -minutes : minutes;
  const std::int32_t hours = magnitude / 60;
  const std::int32_t rest = magnitude % 60;
  const char text[5] = {minutes < 0 ? '-' : '+', static_cast<char>('0' + hours / 10),
                        static_cast<char>('0' + hours % 10), static_cast<char>('0' + rest / 10),
                        static_cast<char>('0' + rest % 10)};
  out.append(text, sizeof text);
}

}  // namespace zelvane
