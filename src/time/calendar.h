#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zelvane {

// A moment: days since 30 December 1899 plus the time of day as a fraction.
// Moments before that day are negative and still grow with time: noon of
// 29 December 1899 is -0.5. Valid from 1 January of year 1 to 31 December 9999.
using DateTimeValue = double;

// The separators of the invalid-date message: the locale's, read at start.
struct DateTimeSeparators {
  std::string date = "/";
  std::string time = ":";
  std::string decimal = ".";
};

// Gregorian rule, applied to every year.
bool IsLeap(int year);

// The moment of the seven fields. Raises EConvertError
// "''Y/M/D h:m:s.ms'' is not a valid date and time" (with `separators`,
// 65535 written as "?") when the date or the time is invalid.
DateTimeValue MakeDateTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                           std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                           std::uint16_t millisecond,
                           const DateTimeSeparators& separators = DateTimeSeparators());

// Whether MakeDateTime accepts the seven fields.
bool IsValidDateTime(std::uint16_t year, std::uint16_t month, std::uint16_t day,
                     std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                     std::uint16_t millisecond);

// The day of the month of the last Sunday of `month` in `year`; nothing when
// the year or the month is invalid.
std::optional<int> LastSundayOfMonth(int year, int month);

}  // namespace zelvane
