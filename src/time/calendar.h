#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zelvane {

// A moment: days since 30 December 1899 plus the time of day as a fraction.
// Moments before that day are negative and still grow with time: noon of
// 29 December 1899 is -0.5. Valid from 1 January of year 1 to 31 December 9999.
using DateTimeValue = double;

struct SummerTime {
  DateTimeValue start;  // last Sunday of March, 02:00
  DateTimeValue end;    // last Sunday of October, 03:00
};

// The separators of the invalid-date message, read once at start. Until this
// is called they are "/", ":" and ".".
void SetDateTimeSeparators(std::string date, std::string time, std::string decimal);

// Gregorian rule, applied to every year.
bool IsLeap(int year);

// The whole-day value of a date from 1-1-1 to 9999-12-31; nothing otherwise.
std::optional<DateTimeValue> TryMakeDate(std::uint16_t year, std::uint16_t month,
                                         std::uint16_t day);

// The fraction of the day for hour 0-23, minute 0-59, second 0-59 and
// millisecond 0-999; nothing otherwise.
std::optional<DateTimeValue> TryMakeTime(std::uint16_t hour, std::uint16_t minute,
                                         std::uint16_t second, std::uint16_t millisecond);

// The moment of the seven fields. Raises EConvertError
// "''Y/M/D h:m:s.ms'' is not a valid date and time" (with the separators set
// at start, 65535 written as "?") when the date or the time is invalid.
DateTimeValue MakeDateTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                           std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                           std::uint16_t millisecond);

// Whether MakeDateTime accepts the seven fields.
bool IsValidDateTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                     std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                     std::uint16_t millisecond);

// The day of the month of the last Sunday of `month` in `year`; nothing when
// the year or the month is invalid.
std::optional<int> LastSundayOfMonth(int year, int month);

// 1 Monday .. 7 Sunday, for a whole-day `day`.
int WeekdayOf(DateTimeValue day);

// The `n`-th `weekday` (1-7) of `month` in `year` as a whole-day value;
// nothing when that day falls outside the month or the month is invalid.
std::optional<DateTimeValue> TryNthWeekdayOfMonth(int year, int month, int n, int weekday);

// `value` with its hour replaced by `hour`. Raises EConvertError as
// MakeDateTime does when the result is invalid.
DateTimeValue WithHour(DateTimeValue value, std::uint16_t hour);

// -1, 0 or 1; moments less than one millisecond apart are equal.
int CompareMoments(DateTimeValue a, DateTimeValue b);

// The last Sunday of `month` in `year` at `hour`:00. Raises EConvertError
// when the year, month or hour is invalid.
DateTimeValue SwitchMoment(int year, int month, int hour);

// The European summer time of `year` (1-9999), on the stamps' own clock.
SummerTime SummerTimePeriod(int year);

}  // namespace zelvane
