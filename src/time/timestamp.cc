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

// True when all eight bytes of `word` (or all four) are ASCII digits: a
// byte below '0' sets its top bit when '0' is taken away, one above '9' when
// 0x46 is added, and the lowest such byte is reached by no borrow or carry.
template <typename Word>
bool AllDigits(Word word) {
  constexpr Word kOnes = static_cast<Word>(0x0101010101010101);
  const Word zeros = kOnes * 0x30;
  const Word aboveNine = kOnes * 0x46;
  const Word topBits = kOnes * 0x80;
  return ((static_cast<Word>(word - zeros) | static_cast<Word>(word + aboveNine)) & topBits) == 0;
}

// Sign, two digits and "00": an offset of fewer than a hundred hours, in
// five bytes at `to`.
void WriteUtcOffset(std::int64_t hours, char* to) {
  const std::int64_t magnitude = hours < 0 ? -hours : hours;
  to[0] = hours < 0 ? '-' : '+';
  to[1] = static_cast<char>('0' + magnitude / 10);
  to[2] = static_cast<char>('0' + magnitude % 10);
  to[3] = '0';
  to[4] = '0';
}

// "+0530", "-0330" in five bytes at `to`: a zone's offset is less than a
// day, so the hours have two digits.
void WriteUtcOffsetMinutes(std::int32_t minutes, char* to) {
  const std::int32_t magnitude = minutes < 0 ? -minutes : minutes;
  const std::int32_t hours = magnitude / 60;
  const std::int32_t rest = magnitude % 60;
  to[0] = minutes < 0 ? '-' : '+';
  to[1] = static_cast<char>('0' + hours / 10);
  to[2] = static_cast<char>('0' + hours % 10);
  to[3] = static_cast<char>('0' + rest / 10);
  to[4] = static_cast<char>('0' + rest % 10);
}

void AppendWithOffset(std::string_view value, std::int64_t hours, std::string& out) {
  out.append(value);
  out.push_back(' ');
  AppendUtcOffset(hours, out);
}

// The number that two digits at `p` write.
int TwoDigits(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

// The local time that the fourteen digits of a usual stamp at `digits` write.
CivilTime UsualStampTime(const char* digits) {
  return CivilTime{.year = TwoDigits(digits) * 100 + TwoDigits(digits + 2),
                   .month = TwoDigits(digits + 4),
                   .day = TwoDigits(digits + 6),
                   .hour = TwoDigits(digits + 8),
                   .minute = TwoDigits(digits + 10),
                   .second = TwoDigits(digits + 12)};
}

// The valid date of `time` as the eight date bytes that a usual stamp of
// that day starts with, read from memory as WriteUsual reads them: either
// path then finds the day that the other kept.
std::uint64_t DateBytes(const CivilTime& time) {
  const int pairs[4] = {time.year / 100, time.year % 100, time.month, time.day};
  char text[8];
  for (int i = 0; i < 4; ++i) {
    text[2 * i] = static_cast<char>('0' + pairs[i] / 10);
    text[2 * i + 1] = static_cast<char>('0' + pairs[i] % 10);
  }
  std::uint64_t date = 0;
  std::memcpy(&date, text, sizeof date);
  return date;
}

}  // namespace

std::string NormaliseTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset,
                               const TimeZone* zone) {
  std::string result;
  TimeStampNormaliser(cet, cetoffset, zone).Append(value, result);
  return result;
}

TimeStampNormaliser::DayKind TimeStampNormaliser::KindOfDay(const CivilTime& time) {
  // On the stamps' own clock.
  const int month = time.month;
  if (month == 3 || month == 10) {
    const int sunday = LastSundayOfMonth(time.year, month).value_or(0);
    if (time.day == sunday) return month == 3 ? DayKind::kSpringSwitch : DayKind::kAutumnSwitch;
    return (time.day > sunday) == (month == 3) ? DayKind::kSummer : DayKind::kWinter;
  }
  return month > 3 && month < 10 ? DayKind::kSummer : DayKind::kWinter;
}

bool TimeStampNormaliser::SummerAt(DayKind kind, int secondOfDay) {
  // Both switch moments themselves are winter; stamps count whole seconds,
  // so they compare exactly.
  switch (kind) {
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

void TimeStampNormaliser::KeepDay(std::uint64_t date, const CivilTime& time) {
  day_ = date;
  dayKind_ = KindOfDay(time);
}

bool TimeStampNormaliser::InSummer(const CivilTime& time) {
  const std::uint64_t date = DateBytes(time);
  if (date != day_) KeepDay(date, time);
  return SummerAt(dayKind_, (time.hour * 60 + time.minute) * 60 + time.second);
}

void TimeStampNormaliser::Append(std::string_view value, std::string& out) {
  char text[kUsualMaxLength];
  const std::size_t length = WriteUsual(value, text);
  if (length != 0) {
    out.append(text, length);
  } else {
    AppendAny(value, out);
  }
}

// Out of line and called last, as is WriteZoneStamp: the usual stamp's own
// path then saves no registers.
[[gnu::noinline]] std::size_t TimeStampNormaliser::WriteUsualOfNewDate(std::string_view value,
                                                                      char* to) {
  const CivilTime time = UsualStampTime(value.data());
  if (!IsValidDateTime(time)) return 0;
  std::uint64_t date = 0;
  std::memcpy(&date, value.data(), sizeof date);
  KeepDay(date, time);
  return WriteUsual(value, to);
}

[[gnu::noinline]] std::size_t TimeStampNormaliser::WriteZoneStamp(const char* digits,
                                                                 char* to) const {
  WriteUtcOffsetMinutes(zone_->UtcOffsetMinutes(UsualStampTime(digits)),
                        to + kUsualMaxLength - 5);
  return kUsualMaxLength;
}

std::size_t TimeStampNormaliser::WriteUsual(std::string_view value, char* to) {
  constexpr std::size_t kDigits = 14;
  constexpr std::size_t kWritten = kDigits + 6;
  const std::size_t size = value.size();
  if (size != kDigits && size != kDigits + 4 && size != kDigits + 6) return 0;
  const char* p = value.data();
  // The fourteen bytes as two words of eight (they overlap by two).
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  std::memcpy(&low, p, 8);
  std::memcpy(&high, p + kDigits - 8, 8);
  if (!AllDigits(low) || !AllDigits(high)) return 0;
  std::memcpy(to, p, kDigits);
  // Four bytes compared at once, not through a call.
  const auto wordIs = [p](const char(&word)[5]) { return std::memcmp(p + kDigits, word, 4) == 0; };
  bool cetMarked = false;
  if (size == kDigits + 6) {
    // A blank and an offset: the general path finds no zone word and keeps
    // a stamp with a blank as it stands.
    std::uint32_t offsetDigits = 0;
    std::memcpy(&offsetDigits, p + kDigits + 2, 4);
    if (p[kDigits] != ' ' || (p[kDigits + 1] != '+' && p[kDigits + 1] != '-') ||
        !AllDigits(offsetDigits)) {
      return 0;
    }
    std::memcpy(to + kDigits, p + kDigits, 6);
    return kWritten;
  }
  if (size == kDigits + 4) {
    if (wordIs(" UTC")) {
      // Whatever the date, as the general path does.
      std::memcpy(to + kDigits, " +0000", 6);
      return kWritten;
    }
    if (!wordIs(" CET")) return 0;
    cetMarked = true;
  } else if (!cet_ && zone_ == nullptr) {
    return kDigits;
  }
  // An invalid stamp takes the general path, which raises. Stamps come many
  // per day: a date found valid before needs only its time checked.
  if (low != day_) return WriteUsualOfNewDate(value, to);
  // The time, "hhmmss" in digits, is valid up to "235959".
  if (p[8] > '2' || (p[8] == '2' && p[9] > '3') || p[10] > '5' || p[12] > '5') return 0;
  to[kDigits] = ' ';
  if (!cetMarked && zone_ != nullptr) return WriteZoneStamp(p, to);
  // The time of day matters on the days of the switch only.
  const bool summer =
      dayKind_ == DayKind::kSummer ||
      (dayKind_ != DayKind::kWinter &&
       SummerAt(dayKind_, (TwoDigits(p + 8) * 60 + TwoDigits(p + 10)) * 60 + TwoDigits(p + 12)));
  if (cetMarked) {
    std::memcpy(to + kDigits + 1, summer ? "+0200" : "+0100", 5);
    return kWritten;
  }
  const std::int64_t hours = std::int64_t{summer ? 2 : 1} + cetoffset_;
  if (hours <= -100 || hours >= 100) return 0;
  WriteUtcOffset(hours, to + kDigits + 1);
  return kWritten;
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

  CivilTime time{.year = ReadField(stamp, 1, 4),
                 .month = ReadField(stamp, 5, 2),
                 .day = ReadField(stamp, 7, 2),
                 .hour = ReadField(stamp, 9, 2),
                 .minute = ReadField(stamp, 11, 2),
                 .second = stamp.size() >= 12 && IsDigit(stamp[11]) ? ReadField(stamp, 13, 2) : 0};
  // A date may be only a year or a year and month: the first day of that
  // year or month is its moment. The text stays as it is.
  if (IsPartialDate(stamp)) {
    if (stamp.size() == 4) time.month = 1;
    time.day = 1;
  }
  // An invalid date or time raises with the fields in the message.
  if (!IsValidDateTime(time)) MakeDateTime(time, separators_);
  // A stamp without zone takes the chosen zone's offset at its local time.
  if (!cetMarked && zone_ != nullptr) {
    out.append(stamp);
    out.push_back(' ');
    AppendUtcOffsetMinutes(zone_->UtcOffsetMinutes(time), out);
    return;
  }
  // In 64 bits: the command line does not bound the extra hours.
  std::int64_t hours = InSummer(time) ? 2 : 1;
  if (!cetMarked) hours += cetoffset_;
  AppendWithOffset(stamp, hours, out);
}

void AppendUtcOffset(std::int64_t hours, std::string& out) {
  if (hours > -100 && hours < 100) {
    char text[5];
    WriteUtcOffset(hours, text);
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
  char text[5];
  WriteUtcOffsetMinutes(minutes, text);
  out.append(text, sizeof text);
}

}  // namespace zelvane
