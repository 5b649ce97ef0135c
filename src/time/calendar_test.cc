#include "time/calendar.h"

#include "base/failure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

namespace zelvane {
namespace {

constexpr double kMillisecond = 1.0 / 86400000.0;

DateTimeValue Moment(const CivilTime& f) { return MakeDateTime(f); }

std::string Describe(const CivilTime& f) {
  return std::to_string(f.year) + "-" + std::to_string(f.month) + "-" + std::to_string(f.day) +
         " " + std::to_string(f.hour) + ":" + std::to_string(f.minute) + ":" +
         std::to_string(f.second) + "." + std::to_string(f.millisecond);
}

// The message MakeDateTime raised, or "" when it raised nothing.
template <typename Call>
std::string ConvertErrorOf(Call call) {
  try {
    call();
  } catch (const EConvertError& failure) {
    return failure.message();
  }
  return "";
}

TEST(IsLeap, FollowsTheGregorianRule) {
  const struct {
    int year;
    bool expected;
  } cases[] = {
      {2000, true},  {2004, true},  {2008, true},  {1600, true},  {400, true},  {4, true},
      {1900, false}, {2100, false}, {2200, false}, {2300, false}, {2007, false}, {1, false},
      {9999, false}, {9996, true},  {2024, true},  {1700, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsLeap(c.year), c.expected) << c.year;
}

TEST(IsValidDateTime, RefusesInvalidDates) {
  const CivilTime cases[] = {
      {0, 1, 1},      {10000, 1, 1}, {65535, 1, 1},   {2007, 0, 1},   {2007, 13, 1},
      {2007, 65535, 1}, {2007, 1, 0}, {2007, 1, 32},  {2007, 4, 31},  {2007, 6, 31},
      {2007, 9, 31},  {2007, 11, 31}, {2007, 2, 29},  {2007, 2, 30},  {1900, 2, 29},
      {2100, 2, 29},  {2000, 2, 30},  {2007, 7, 65535},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(IsValidDateTime(c))
        << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(IsValidDateTime, RefusesNegativeFields) {
  const CivilTime cases[] = {
      {-1, 1, 1},          {2007, -1, 1},          {2007, 1, -1},
      {2007, 1, 1, -1},    {2007, 1, 1, 0, -1},    {2007, 1, 1, 0, 0, -1},
      {2007, 1, 1, 0, 0, 0, -1},
  };
  for (const CivilTime& c : cases) EXPECT_FALSE(IsValidDateTime(c)) << Describe(c);
}

TEST(IsValidDateTime, AcceptsTheLastDayOfEveryMonth) {
  const struct {
    int year;
    int lengths[12];
  } cases[] = {
      {2007, {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2000, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {1900, {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2004, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
  };
  for (const auto& c : cases) {
    for (int month = 1; month <= 12; ++month) {
      const int last = c.lengths[month - 1];
      EXPECT_TRUE(IsValidDateTime({c.year, month, last})) << c.year << "-" << month;
      EXPECT_FALSE(IsValidDateTime({c.year, month, last + 1})) << c.year << "-" << month;
    }
  }
}

TEST(MakeDateTime, AddsTheTimeOfDayToTheDate) {
  const struct {
    CivilTime fields;
    double expected;
  } cases[] = {
      {{2007, 7, 15, 19, 30, 0, 0}, 39278.8125},
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
      {{1899, 12, 30, 12, 0, 0, 0}, 0.5},
      {{1900, 1, 1, 6, 0, 0, 0}, 2.25},
      // Before the epoch the time of day still moves the value forward.
      {{1899, 12, 29, 12, 0, 0, 0}, -0.5},
      {{1899, 12, 29, 18, 0, 0, 0}, -0.25},
      {{1, 1, 1, 0, 0, 0, 0}, -693593.0},
      {{9999, 12, 31, 0, 0, 0, 0}, 2958465.0},
      // One division of the exact millisecond count: the nearest double.
      {{2007, 3, 25, 2, 0, 1, 0}, (39166.0 * 86400000.0 + 7201000.0) / 86400000.0},
      {{9999, 12, 31, 23, 59, 59, 999}, (2958465.0 * 86400000.0 + 86399999.0) / 86400000.0},
      {{1, 1, 1, 0, 0, 0, 1}, (-693593.0 * 86400000.0 + 1.0) / 86400000.0},
  };
  for (const auto& c : cases) EXPECT_EQ(Moment(c.fields), c.expected) << Describe(c.fields);
}

TEST(MakeDateTime, KeepsEveryMillisecondApart) {
  // Consecutive milliseconds stay distinct and ordered at both ends of the range.
  const CivilTime cases[] = {
      {1, 1, 1, 0, 0, 0, 0},        {1899, 12, 29, 23, 59, 59, 998},
      {2007, 3, 25, 1, 59, 59, 999}, {9999, 12, 31, 23, 59, 59, 998},
  };
  for (const auto& c : cases) {
    CivilTime next = c;
    ++next.millisecond;
    if (next.millisecond == 1000) continue;
    const double a = Moment(c);
    const double b = Moment(next);
    EXPECT_LT(a, b) << Describe(c);
    EXPECT_EQ(std::llround(b * 86400000.0) - std::llround(a * 86400000.0), 1) << Describe(c);
  }
}

TEST(MakeDateTime, RaisesForInvalidFields) {
  const struct {
    CivilTime fields;
    const char* message;
  } cases[] = {
      {{2007, 2, 30, 12, 0, 0, 0}, "''2007/2/30 12:0:0.0'' is not a valid date and time"},
      {{2007, 7, 15, 24, 0, 0, 0}, "''2007/7/15 24:0:0.0'' is not a valid date and time"},
      {{1900, 2, 29, 0, 0, 0, 0}, "''1900/2/29 0:0:0.0'' is not a valid date and time"},
      {{0, 7, 15, 19, 30, 0, 0}, "''0/7/15 19:30:0.0'' is not a valid date and time"},
      {{10000, 1, 1, 0, 0, 0, 0}, "''10000/1/1 0:0:0.0'' is not a valid date and time"},
      {{2007, 0, 15, 0, 0, 0, 0}, "''2007/0/15 0:0:0.0'' is not a valid date and time"},
      {{2007, 13, 15, 0, 0, 0, 0}, "''2007/13/15 0:0:0.0'' is not a valid date and time"},
      {{2007, 7, 0, 0, 0, 0, 0}, "''2007/7/0 0:0:0.0'' is not a valid date and time"},
      {{2007, 4, 31, 0, 0, 0, 0}, "''2007/4/31 0:0:0.0'' is not a valid date and time"},
      {{2007, 7, 15, 19, 60, 0, 0}, "''2007/7/15 19:60:0.0'' is not a valid date and time"},
      {{2007, 7, 15, 19, 30, 60, 0}, "''2007/7/15 19:30:60.0'' is not a valid date and time"},
      {{2007, 7, 15, 19, 30, 0, 1000}, "''2007/7/15 19:30:0.1000'' is not a valid date and time"},
      {{0, 0, 0, 0, 0, 0, 0}, "''0/0/0 0:0:0.0'' is not a valid date and time"},
      // A field of -1 arrives as 65535 and is shown as unknown.
      {{2007, 65535, 15, 19, 30, 0, 0}, "''2007/?/15 19:30:0.0'' is not a valid date and time"},
      {{65535, 65535, 65535, 65535, 65535, 65535, 65535},
       "''?/?/? ?:?:?.?'' is not a valid date and time"},
      {{2007, 7, 15, 65535, 30, 0, 0}, "''2007/7/15 ?:30:0.0'' is not a valid date and time"},
      // Other negative fields are plain large numbers.
      {{65534, 7, 15, 0, 0, 0, 0}, "''65534/7/15 0:0:0.0'' is not a valid date and time"},
      // A valid date does not hide an invalid time, nor the other way round.
      {{2007, 7, 15, 99, 99, 99, 9999},
       "''2007/7/15 99:99:99.9999'' is not a valid date and time"},
      {{2007, 2, 29, 0, 0, 0, 0}, "''2007/2/29 0:0:0.0'' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertErrorOf([&] { Moment(c.fields); }), c.message) << Describe(c.fields);
  }
}

TEST(MakeDateTime, WritesTheSeparatorsItIsGiven) {
  const struct {
    const char* date;
    const char* time;
    const char* decimal;
    const char* message;
  } cases[] = {
      {"-", ".", ",", "''2007-2-30 12.5.7,9'' is not a valid date and time"},
      {".", ":", ",", "''2007.2.30 12:5:7,9'' is not a valid date and time"},
      {"", "", "", "''2007230 12579'' is not a valid date and time"},
      {"/", ":", ".", "''2007/2/30 12:5:7.9'' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    const DateTimeSeparators separators{c.date, c.time, c.decimal};
    EXPECT_EQ(ConvertErrorOf([&] { MakeDateTime({2007, 2, 30, 12, 5, 7, 9}, separators); }),
              c.message);
  }
}

TEST(IsValidDateTime, AgreesWithMakeDateTime) {
  const int years[] = {0, 1, 1900, 2000, 2024, 2100, 9999, 10000, 65535};
  const int months[] = {0, 1, 2, 4, 12, 13};
  const int days[] = {0, 1, 28, 29, 30, 31, 32};
  const int hours[] = {0, 23, 24};
  const int sixties[] = {0, 59, 60};
  const int milliseconds[] = {0, 999, 1000};
  for (int y : years) {
    for (int mo : months) {
      for (int d : days) {
        for (int h : hours) {
          for (int mi : sixties) {
            for (int ms : milliseconds) {
              const CivilTime time{y, mo, d, h, mi, 59, ms};
              bool raised = false;
              try {
                MakeDateTime(time);
              } catch (const EConvertError&) {
                raised = true;
              }
              EXPECT_EQ(IsValidDateTime(time), !raised)
                  << y << "-" << mo << "-" << d << " " << h << ":" << mi << "." << ms;
            }
          }
        }
      }
    }
  }
}

TEST(LastSundayOfMonth, FindsTheSwitchDaysOfSummerTime) {
  // Days of the last Sunday of March and of October. A day from the 29th on
  // is a fifth Sunday.
  const struct {
    std::uint16_t year, march, october;
  } cases[] = {
      {1, 25, 28},    {2, 31, 27},    {400, 26, 29},  {1582, 28, 31}, {1850, 31, 27},
      {1899, 26, 29}, {1900, 25, 28}, {1901, 31, 27}, {1970, 29, 25}, {1980, 30, 26},
      {1995, 26, 29}, {1996, 31, 27}, {1997, 30, 26}, {1998, 29, 25}, {1999, 28, 31},
      {2000, 26, 29}, {2001, 25, 28}, {2002, 31, 27}, {2003, 30, 26}, {2004, 28, 31},
      {2005, 27, 30}, {2006, 26, 29}, {2007, 25, 28}, {2008, 30, 26}, {2009, 29, 25},
      {2010, 28, 31}, {2011, 27, 30}, {2012, 25, 28}, {2013, 31, 27}, {2014, 30, 26},
      {2015, 29, 25}, {2016, 27, 30}, {2017, 26, 29}, {2018, 25, 28}, {2019, 31, 27},
      {2020, 29, 25}, {2021, 28, 31}, {2022, 27, 30}, {2023, 26, 29}, {2024, 31, 27},
      {2025, 30, 26}, {2026, 29, 25}, {2027, 28, 31}, {2028, 26, 29}, {2029, 25, 28},
      {2030, 31, 27}, {2038, 28, 31}, {2100, 28, 31}, {2400, 26, 29}, {9998, 29, 25},
      {9999, 28, 31},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LastSundayOfMonth(c.year, 3), c.march) << c.year;
    EXPECT_EQ(LastSundayOfMonth(c.year, 10), c.october) << c.year;
  }
  EXPECT_FALSE(LastSundayOfMonth(0, 3).has_value());
  EXPECT_FALSE(LastSundayOfMonth(10000, 3).has_value());
  EXPECT_FALSE(LastSundayOfMonth(2024, 13).has_value());
}

}  // namespace
}  // namespace zelvane
