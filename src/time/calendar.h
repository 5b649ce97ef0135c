#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zelvane {

// A moment: days since 30 December 1899, the fraction being the time of day.
using DateTimeValue = double;

struct SummerTime {
  DateTimeValue start;  // last Sunday of March, 02:00
  DateTimeValue end;    // last Sunday of October, 03:00
};

// The separators of the invalid-date message, read once at start.
void SetDateTimeSeparators(std::string date, std::string time, std::string decimal);

bool IsLeap(int year);
std::optional<DateTimeValue> TryMakeDate(std::uint16_t year, std::uint16_t month,
                                         std::uint16_t day);
std::optional<DateTimeValue> TryMakeTime(std::uint16_t hour, std::uint16_t minute,
                                         std::uint16_t second, std::uint16_t millisecond);
// Raises EConvertError "''...'' is not a valid date and time".
DateTimeValue MakeDateTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                           std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                           std::uint16_t millisecond);
int WeekdayOf(DateTimeValue day);  // 1 Monday .. 7 Sunday
std::optional<DateTimeValue> TryNthWeekdayOfMonth(int year, int month, int n, int weekday);
DateTimeValue WithHour(DateTimeValue value, std::uint16_t hour);  // raises EConvertError
int CompareMoments(DateTimeValue a, DateTimeValue b);             // -1, 0, 1; 1 ms tolerance
DateTimeValue SwitchMoment(int year, int month, int hour);
SummerTime SummerTimePeriod(int year);

}  // namespace zelvane
