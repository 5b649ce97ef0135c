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

// A local date and time as one value, as a stamp writes it and as CCTZ's
// civil_second holds one: its fields as read, not yet checked. A field that
// a stamp gives as -1 arrives as 65535, as in a 16-bit field.
struct CivilTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Gregorian rule, applied to every year.
bool IsLeap(int year);

// The moment of `time`. Raises EConvertError
// "''Y/M/D h:m:s.ms'' is not a valid date and time" (with `separators`,
// 65535 written as "?") when the date or the time is invalid.
DateTimeValue MakeDateTime(const CivilTime& time,
                           const DateTimeSeparators& separators = DateTimeSeparators());

// Whether MakeDateTime accepts `time`.
bool IsValidDateTime(const CivilTime& time);

// The day of the month of the last Sunday of `month` in `year`; nothing when
// the year or the month is invalid.
std::optional<int> LastSundayOfMonth(int year, int month);

}  // namespace zelvane
