#include "time/calendar.h"

#include "base/byte_string.h"
#include "base/failure.h"

#include <bit>
#include <cmath>
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

struct Separators {
  std::string date = "/";
  std::string time = ":";
  std::string decimal = ".";
};

Separators& MessageSeparators() {
  static Separators separators;
  return separators;
}

struct Fields {
  std::uint16_t year, month, day, hour, minute, second, millisecond;
};

// 65535 is how a field of -1 arrives; the message shows it as unknown.
std::string FormatField(std::uint16_t value) {
  return value == 65535 ? std::string("?") : FormatInt(value);
}

[[noreturn]] void RaiseInvalid(const Fields& f) {
  const Separators& s = MessageSeparators();
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

std::optional<std::int64_t> TryDayNumber(std::uint16_t year, std::uint16_t month,
                                         std::uint16_t day) {
  if (!IsValidMonth(year, month) || day < 1 || day > MonthLength(year, month)) {
    return std::nullopt;
  }
  return DayNumber(year, month, day);
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

std::optional<std::int64_t> TryMillisecondOfDay(std::uint16_t hour, std::uint16_t minute,
                                                std::uint16_t second,
                                                std::uint16_t millisecond) {
  if (hour > 23 || minute > 59 || second > 59 || millisecond > 999) return std::nullopt;
  return std::int64_t{hour} * 3600000 + std::int64_t{minute} * 60000 +
         std::int64_t{second} * 1000 + millisecond;
}

// One division of an exact count, so that a moment is the nearest double to
// its true value; summing a day and a fraction would round twice.
DateTimeValue FromMilliseconds(std::int64_t milliseconds) {
  return static_cast<double>(milliseconds) / static_cast<double>(kMillisecondsPerDay);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The fields of a moment, the milliseconds rounded to the nearest. Days
// outside years 1-9999 decode to the proleptic year they fall in (0, -1, ...,
// 10000), which MakeDateTime then refuses.
Fields Decode(DateTimeValue value) {
  // Far outside the valid range every value is as wrong as any other; the
  // clamp keeps the conversion to integers defined.
  if (!(value > -1e7)) value = -1e7;
  if (value > 1e7) value = 1e7;
  const std::int64_t total = std::llround(value * static_cast<double>(kMillisecondsPerDay));
  const std::int64_t days = FloorDiv(total, kMillisecondsPerDay);
  std::int64_t ms = total - days * kMillisecondsPerDay;

  // Civil date from a count of days, in 400-year eras starting on 1 March.
  std::int64_t z = days - 25569 + 719468;  // 25569: 1 January 1970
  const std::int64_t era = FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);

  Fields f{};
  f.year = static_cast<std::uint16_t>(year);
  f.month = static_cast<std::uint16_t>(month);
  f.day = static_cast<std::uint16_t>(day);
  f.hour = static_cast<std::uint16_t>(ms / 3600000);
  ms %= 3600000;
  f.minute = static_cast<std::uint16_t>(ms / 60000);
  ms %= 60000;
  f.second = static_cast<std::uint16_t>(ms / 1000);
  f.millisecond = static_cast<std::uint16_t>(ms % 1000);
  return f;
}

// The gap between |x| and the next larger double, read off the exponent:
// this runs twice per compared pair, where a libm call would cost more than
// the rest of the comparison.
double UnitInLastPlace(double x) {
  constexpr int kMantissaBits = 52;
  const std::uint64_t exponent = (std::bit_cast<std::uint64_t>(x) >> kMantissaBits) & 0x7FF;
  if (exponent > kMantissaBits) {
    return std::bit_cast<double>((exponent - kMantissaBits) << kMantissaBits);
  }
  // Below the smallest normal number the gap is subnormal, 2^(exponent-1075).
  return std::bit_cast<double>(std::uint64_t{1} << (exponent == 0 ? 0 : exponent - 1));
}

DateTimeValue Make(const Fields& f) {
  const std::optional<std::int64_t> days = TryDayNumber(f.year, f.month, f.day);
  const std::optional<std::int64_t> ms =
      TryMillisecondOfDay(f.hour, f.minute, f.second, f.millisecond);
  if (!days || !ms) RaiseInvalid(f);
  return FromMilliseconds(*days * kMillisecondsPerDay + *ms);
}

}  // namespace

void SetDateTimeSeparators(std::string date, std::string time, std::string decimal) {
  Separators& s = MessageSeparators();
  s.date = std::move(date);
  s.time = std::move(time);
  s.decimal = std::move(decimal);
}

bool IsLeap(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

std::optional<DateTimeValue> TryMakeDate(std::uint16_t year, std::uint16_t month,
                                         std::uint16_t day) {
  const std::optional<std::int64_t> days = TryDayNumber(year, month, day);
  if (!days) return std::nullopt;
  return static_cast<DateTimeValue>(*days);
}

std::optional<DateTimeValue> TryMakeTime(std::uint16_t hour, std::uint16_t minute,
                                         std::uint16_t second, std::uint16_t millisecond) {
  const std::optional<std::int64_t> ms = TryMillisecondOfDay(hour, minute, second, millisecond);
  if (!ms) return std::nullopt;
  return FromMilliseconds(*ms);
}

DateTimeValue MakeDateTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                           std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                           std::uint16_t millisecond) {
  return Make(Fields{year, month, day, hour, minute, second, millisecond});
}

bool IsValidDateTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                     std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                     std::uint16_t millisecond) {
  return TryDayNumber(year, month, day).has_value() &&
         TryMillisecondOfDay(hour, minute, second, millisecond).has_value();
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

int WeekdayOf(DateTimeValue day) {
  return WeekdayOfDayNumber(static_cast<std::int64_t>(std::floor(day)));
}

std::optional<DateTimeValue> TryNthWeekdayOfMonth(int year, int month, int n, int weekday) {
  if (!IsValidMonth(year, month)) return std::nullopt;
  const std::optional<int> day = NthWeekdayDay(year, month, n, weekday);
  if (!day) return std::nullopt;
  return static_cast<DateTimeValue>(DayNumber(year, month, *day));
}

DateTimeValue WithHour(DateTimeValue value, std::uint16_t hour) {
  Fields f = Decode(value);
  f.hour = hour;
  return Make(f);
}

int CompareMoments(DateTimeValue a, DateTimeValue b) {
  // A moment is held to within half a unit in the last place, so two moments
  // exactly one millisecond apart can be stored a hair closer than that (a
  // third of such pairs across years 1-9999). The tolerance gives up those
  // units so that such pairs still compare as different; it stays above
  // 0.9 ms for every valid moment.
  const double tolerance =
      1.0 / static_cast<double>(kMillisecondsPerDay) - (UnitInLastPlace(a) + UnitInLastPlace(b));
  if (std::fabs(a - b) < tolerance) return 0;
  return a < b ? -1 : 1;
}

DateTimeValue SwitchMoment(int year, int month, int hour) {
  const auto y = static_cast<std::uint16_t>(year);
  const auto m = static_cast<std::uint16_t>(month);
  const auto h = static_cast<std::uint16_t>(hour);
  // Every stamp that gets a CET offset asks for two of these, so the day is
  // found on the field level rather than through whole-day values and
  // WithHour; the result is the same.
  if (const std::optional<int> day = LastSundayOfMonth(year, month)) {
    return Make(Fields{y, m, static_cast<std::uint16_t>(*day), h, 0, 0, 0});
  }
  // Only an invalid year or month has no Sunday: report the month's first day.
  RaiseInvalid(Fields{y, m, 1, h, 0, 0, 0});
}

SummerTime SummerTimePeriod(int year) {
  return SummerTime{SwitchMoment(year, 3, 2), SwitchMoment(year, 10, 3)};
}

}  // namespace zelvane
