#include "time/calendar.h"

#include "base/byte_string.h"
#include "base/failure.h"

#include <utility>

namespace zelvane {

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86400000;
// The day count of 30 December 1899 when 1 January of year 1 is day 1.
constexpr std::int64_t kDaysBeforeEpoch = 693594;

constexpr std::uint16_t kMonthLengths[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

// Running sums of the rows above: the days before each month.
constexpr auto kDaysBeforeMonth = [] {
  struct {
    std::uint16_t row[2][12];
  } sums{};
  for (int leap = 0; leap < 2; ++leap) {
    for (int m = 1; m < 12; ++m) {
      sums.row[leap][m] =
          static_cast<std::uint16_t>(sums.row[leap][m - 1] + kMonthLengths[leap][m - 1]);
    }
  }
  return sums;
}();

// 65535 is how a field of -1 arrives; the message shows it as unknown.
std::string FormatField(int value) { return value == 65535 ? std::string("?") : FormatInt(value); }

[[noreturn]] void RaiseInvalid(const CivilTime& f, const DateTimeSeparators& s) {
  throw EConvertError(Concat("''", FormatField(f.year), s.date, FormatField(f.month), s.date,
                             FormatField(f.day), " ", FormatField(f.hour), s.time,
                             FormatField(f.minute), s.time, FormatField(f.second), s.decimal,
                             FormatField(f.millisecond), "'' is not a valid date and time"));
}

bool IsValidMonth(int year, int month) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12;
}

int MonthLength(int year, int month) { return kMonthLengths[IsLeap(year) ? 1 : 0][month - 1]; }

// Days since 30 December 1899 of a date already known to be valid.
std::int64_t DayNumber(int year, int month, int day) {
  const std::int64_t y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400 +
         kDaysBeforeMonth.row[IsLeap(year) ? 1 : 0][month - 1] + day - kDaysBeforeEpoch;
}

std::optional<std::int64_t> TryDayNumber(const CivilTime& time) {
  if (!IsValidMonth(time.year, time.month) || time.day < 1 ||
      time.day > MonthLength(time.year, time.month)) {
    return std::nullopt;
  }
  return DayNumber(time.year, time.month, time.day);
}

int WeekdayOfDayNumber(std::int64_t days) {
  const std::int64_t index = (days + kDaysBeforeEpoch - 1) % 7;
  return static_cast<int>(index < 0 ? index + 7 : index) + 1;
}

// The day of the month of the `n`-th `weekday` of a valid month; nothing
// when it falls outside the month.
std::optional<int> NthWeekdayDay(int year, int month, int n, int weekday) {
  const int first = WeekdayOfDayNumber(DayNumber(year, month, 1));
  std::int64_t day = 1 + weekday - first;
  if (weekday < first) day += 7;
  day += 7 * (std::int64_t{n} - 1);
  if (day < 1 || day > MonthLength(year, month)) return std::nullopt;
  return static_cast<int>(day);
}

std::optional<std::int64_t> TryMillisecondOfDay(const CivilTime& time) {
  const auto within = [](int field, int last) { return field >= 0 && field <= last; };
  if (!within(time.hour, 23) || !within(time.minute, 59) || !within(time.second, 59) ||
      !within(time.millisecond, 999)) {
    return std::nullopt;
  }
  return std::int64_t{time.hour} * 3600000 + std::int64_t{time.minute} * 60000 +
         std::int64_t{time.second} * 1000 + time.millisecond;
}

// One division of an exact count, so that a moment is the nearest double to
// its true value; summing a day and a fraction would round twice.
DateTimeValue FromMilliseconds(std::int64_t milliseconds) {
  return static_cast<double>(milliseconds) / static_cast<double>(kMillisecondsPerDay);
}

}  // namespace

bool IsLeap(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

DateTimeValue MakeDateTime(const CivilTime& time, const DateTimeSeparators& separators) {
  const std::optional<std::int64_t> days = TryDayNumber(time);
  const std::optional<std::int64_t> ms = TryMillisecondOfDay(time);
  if (!days || !ms) RaiseInvalid(time, separators);
  return FromMilliseconds(*days * kMillisecondsPerDay + *ms);
}

bool IsValidDateTime(const CivilTime& time) {
  return TryDayNumber(time).has_value() && TryMillisecondOfDay(time).has_value();
}

std::optional<int> LastSundayOfMonth(int year, int month) {
  if (!IsValidMonth(year, month)) return std::nullopt;
  // The last Sunday is the fifth or the fourth; counting down from five
  // finds it in any month.
  for (int n = 5; n >= 1; --n) {
    if (const std::optional<int> day = NthWeekdayDay(year, month, n, 7)) return day;
  }
  return std::nullopt;
}

}  // namespace zelvane
