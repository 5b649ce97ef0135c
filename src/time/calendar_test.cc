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

struct DateFields {
  std::uint16_t year, month, day;
};

struct MomentFields {
  std::uint16_t year, month, day, hour, minute, second, millisecond;
};

DateTimeValue Moment(const MomentFields& f) {
  return MakeDateTime(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond);
}

std::string Describe(const MomentFields& f) {
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

// Puts the default separators back whatever a test set.
class SeparatorGuard {
 public:
  ~SeparatorGuard() { SetDateTimeSeparators("/", ":", "."); }
};

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

TEST(TryMakeDate, CountsDaysFrom30December1899) {
  const struct {
    DateFields date;
    double expected;
  } cases[] = {
      {{1899, 12, 30}, 0},       {{1899, 12, 31}, 1},          {{1900, 1, 1}, 2},
      {{1899, 12, 29}, -1},      {{1, 1, 1}, -693593},         {{9999, 12, 31}, 2958465},
      {{1900, 3, 1}, 61},        {{1970, 1, 1}, 25569},        {{2000, 2, 29}, 36585},
      {{2007, 7, 15}, 39278},    {{1850, 3, 31}, -18171},      {{2007, 3, 25}, 39166},
      {{2007, 10, 28}, 39383},   {{2008, 12, 31}, 39813},      {{2009, 1, 1}, 39814},
  };
  for (const auto& c : cases) {
    const std::optional<DateTimeValue> value =
        TryMakeDate(c.date.year, c.date.month, c.date.day);
    ASSERT_TRUE(value.has_value()) << c.date.year << "-" << c.date.month << "-" << c.date.day;
    EXPECT_EQ(*value, c.expected) << c.date.year << "-" << c.date.month << "-" << c.date.day;
  }
}

TEST(TryMakeDate, RefusesInvalidDates) {
  const DateFields cases[] = {
      {0, 1, 1},      {10000, 1, 1}, {65535, 1, 1},   {2007, 0, 1},   {2007, 13, 1},
      {2007, 65535, 1}, {2007, 1, 0}, {2007, 1, 32},  {2007, 4, 31},  {2007, 6, 31},
      {2007, 9, 31},  {2007, 11, 31}, {2007, 2, 29},  {2007, 2, 30},  {1900, 2, 29},
      {2100, 2, 29},  {2000, 2, 30},  {2007, 7, 65535},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(TryMakeDate(c.year, c.month, c.day).has_value())
        << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(TryMakeDate, AcceptsTheLastDayOfEveryMonth) {
  const struct {
    std::uint16_t year;
    std::uint16_t lengths[12];
  } cases[] = {
      {2007, {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2000, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {1900, {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
      {2004, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}},
  };
  for (const auto& c : cases) {
    for (std::uint16_t month = 1; month <= 12; ++month) {
      const std::uint16_t last = c.lengths[month - 1];
      EXPECT_TRUE(TryMakeDate(c.year, month, last).has_value()) << c.year << "-" << month;
      EXPECT_FALSE(TryMakeDate(c.year, month, static_cast<std::uint16_t>(last + 1)).has_value())
          << c.year << "-" << month;
    }
  }
}

TEST(TryMakeTime, GivesTheFractionOfTheDay) {
  const struct {
    std::uint16_t hour, minute, second, millisecond;
    double expected;
  } cases[] = {
      {0, 0, 0, 0, 0.0},
      {12, 0, 0, 0, 0.5},
      {6, 0, 0, 0, 0.25},
      {18, 0, 0, 0, 0.75},
      {19, 30, 0, 0, 0.8125},
      {3, 0, 0, 0, 0.125},
      {2, 0, 0, 0, 2.0 * 3600000.0 / 86400000.0},
      {0, 0, 0, 1, 1.0 / 86400000.0},
      {23, 59, 59, 999, 86399999.0 / 86400000.0},
  };
  for (const auto& c : cases) {
    const std::optional<DateTimeValue> value =
        TryMakeTime(c.hour, c.minute, c.second, c.millisecond);
    ASSERT_TRUE(value.has_value()) << c.hour << ":" << c.minute << ":" << c.second;
    EXPECT_EQ(*value, c.expected) << c.hour << ":" << c.minute << ":" << c.second;
  }
}

TEST(TryMakeTime, RefusesOutOfRangeFields) {
  const struct {
    std::uint16_t hour, minute, second, millisecond;
  } cases[] = {
      {24, 0, 0, 0}, {0, 60, 0, 0},  {0, 0, 60, 0},     {0, 0, 0, 1000},
      {65535, 0, 0, 0}, {0, 65535, 0, 0}, {0, 0, 65535, 0}, {0, 0, 0, 65535},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(TryMakeTime(c.hour, c.minute, c.second, c.millisecond).has_value())
        << c.hour << ":" << c.minute << ":" << c.second << "." << c.millisecond;
  }
}

TEST(MakeDateTime, AddsTheTimeOfDayToTheDate) {
  const struct {
    MomentFields fields;
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
  const MomentFields cases[] = {
      {1, 1, 1, 0, 0, 0, 0},        {1899, 12, 29, 23, 59, 59, 998},
      {2007, 3, 25, 1, 59, 59, 999}, {9999, 12, 31, 23, 59, 59, 998},
  };
  for (const auto& c : cases) {
    MomentFields next = c;
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
    MomentFields fields;
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

TEST(MakeDateTime, WritesTheSeparatorsSetAtStart) {
  SeparatorGuard guard;
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
    SetDateTimeSeparators(c.date, c.time, c.decimal);
    EXPECT_EQ(ConvertErrorOf([] { MakeDateTime(2007, 2, 30, 12, 5, 7, 9); }), c.message);
  }
}

TEST(WeekdayOf, NumbersMondayOneToSundaySeven) {
  const struct {
    DateFields date;
    int expected;
  } cases[] = {
      {{1899, 12, 30}, 6}, {{1899, 12, 31}, 7}, {{1900, 1, 1}, 1},  {{1899, 12, 29}, 5},
      {{1, 1, 1}, 1},      {{9999, 12, 31}, 5}, {{2007, 7, 15}, 7}, {{2007, 7, 16}, 1},
      {{2007, 3, 1}, 4},   {{2009, 3, 1}, 7},   {{2010, 10, 1}, 5}, {{1970, 1, 1}, 4},
      {{2000, 2, 29}, 2},  {{1850, 3, 31}, 7},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WeekdayOf(*TryMakeDate(c.date.year, c.date.month, c.date.day)), c.expected)
        << c.date.year << "-" << c.date.month << "-" << c.date.day;
  }
}

TEST(TryNthWeekdayOfMonth, FindsTheNthWeekday) {
  const struct {
    int year, month, n, weekday;
    std::optional<DateFields> expected;
  } cases[] = {
      {2007, 3, 1, 7, DateFields{2007, 3, 4}},    {2007, 3, 4, 7, DateFields{2007, 3, 25}},
      {2007, 3, 5, 7, std::nullopt},              {2009, 3, 1, 7, DateFields{2009, 3, 1}},
      {2009, 3, 5, 7, DateFields{2009, 3, 29}},   {2010, 10, 5, 7, DateFields{2010, 10, 31}},
      {2010, 10, 6, 7, std::nullopt},             {2007, 7, 1, 1, DateFields{2007, 7, 2}},
      {2007, 3, 1, 4, DateFields{2007, 3, 1}},    {2007, 3, 1, 3, DateFields{2007, 3, 7}},
      {2007, 3, 5, 6, DateFields{2007, 3, 31}},   {2007, 2, 4, 3, DateFields{2007, 2, 28}},
      {2007, 2, 5, 4, std::nullopt},              {2008, 2, 5, 5, DateFields{2008, 2, 29}},
      {9999, 12, 5, 5, DateFields{9999, 12, 31}}, {1, 1, 1, 1, DateFields{1, 1, 1}},
      {2007, 3, 0, 7, std::nullopt},              {2007, 3, -1, 7, std::nullopt},
      {2007, 13, 1, 7, std::nullopt},             {2007, 0, 1, 7, std::nullopt},
      {0, 3, 1, 7, std::nullopt},                 {10000, 3, 1, 7, std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<DateTimeValue> day =
        TryNthWeekdayOfMonth(c.year, c.month, c.n, c.weekday);
    const std::optional<DateTimeValue> expected =
        c.expected ? TryMakeDate(c.expected->year, c.expected->month, c.expected->day)
                   : std::nullopt;
    EXPECT_EQ(day, expected) << c.year << "-" << c.month << " n=" << c.n << " wd=" << c.weekday;
  }
}

TEST(WithHour, ReplacesOnlyTheHour) {
  const struct {
    MomentFields from;
    std::uint16_t hour;
    MomentFields expected;
  } cases[] = {
      {{2007, 3, 25, 0, 0, 0, 0}, 2, {2007, 3, 25, 2, 0, 0, 0}},
      {{2007, 10, 28, 0, 0, 0, 0}, 3, {2007, 10, 28, 3, 0, 0, 0}},
      {{2007, 7, 15, 19, 30, 45, 123}, 3, {2007, 7, 15, 3, 30, 45, 123}},
      {{2007, 7, 15, 3, 59, 59, 999}, 23, {2007, 7, 15, 23, 59, 59, 999}},
      {{1899, 12, 30, 0, 0, 0, 0}, 12, {1899, 12, 30, 12, 0, 0, 0}},
      {{1899, 12, 29, 23, 0, 0, 0}, 1, {1899, 12, 29, 1, 0, 0, 0}},
      {{1850, 3, 31, 0, 0, 0, 0}, 2, {1850, 3, 31, 2, 0, 0, 0}},
      {{1, 1, 1, 5, 6, 7, 8}, 0, {1, 1, 1, 0, 6, 7, 8}},
      {{9999, 12, 31, 0, 0, 0, 1}, 23, {9999, 12, 31, 23, 0, 0, 1}},
      {{2000, 2, 29, 12, 0, 0, 0}, 0, {2000, 2, 29, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithHour(Moment(c.from), c.hour), Moment(c.expected)) << Describe(c.from);
  }
}

TEST(WithHour, RaisesWhenTheResultIsInvalid) {
  const struct {
    MomentFields from;
    std::uint16_t hour;
    const char* message;
  } cases[] = {
      {{2007, 7, 15, 19, 30, 0, 0}, 24, "''2007/7/15 24:30:0.0'' is not a valid date and time"},
      {{2007, 7, 15, 19, 30, 5, 7}, 65535,
       "''2007/7/15 ?:30:5.7'' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertErrorOf([&] { WithHour(Moment(c.from), c.hour); }), c.message)
        << Describe(c.from);
  }
  // A day before year 1 decodes to year 0, which cannot be made again.
  EXPECT_EQ(ConvertErrorOf([] { WithHour(-693594.0, 2); }),
            "''0/12/31 2:0:0.0'' is not a valid date and time");
}

TEST(CompareMoments, ToleratesLessThanOneMillisecond) {
  const double july = 39278.8125;
  const struct {
    double a, b;
    int expected;
  } cases[] = {
      {july, july, 0},
      {july + 0.4 * kMillisecond, july, 0},
      {july, july + 0.9 * kMillisecond, 0},
      {july - 0.9 * kMillisecond, july, 0},
      {july + 1.5 * kMillisecond, july, 1},
      {july, july + 1.5 * kMillisecond, -1},
      {0.0, 0.5 * kMillisecond, 0},
      {-0.5 * kMillisecond, 0.4 * kMillisecond, 0},
      {july, july + 1.0, -1},
      {july + 1.0, july, 1},
      {-1.5, -0.5, -1},
      {-0.5, -1.5, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareMoments(c.a, c.b), c.expected) << std::hexfloat << c.a << " " << c.b;
  }
}

TEST(CompareMoments, SeparatesMomentsOneMillisecondApart) {
  // Stored values of moments exactly one millisecond apart can differ by a
  // hair less than a millisecond; they must still compare as different.
  const struct {
    MomentFields earlier, later;
  } cases[] = {
      {{2007, 3, 25, 2, 0, 0, 0}, {2007, 3, 25, 2, 0, 0, 1}},
      {{2007, 3, 25, 1, 59, 59, 999}, {2007, 3, 25, 2, 0, 0, 0}},
      {{2007, 10, 28, 2, 59, 59, 999}, {2007, 10, 28, 3, 0, 0, 0}},
      {{2007, 7, 15, 0, 33, 20, 6}, {2007, 7, 15, 0, 33, 20, 7}},
      {{2007, 7, 15, 9, 43, 20, 105}, {2007, 7, 15, 9, 43, 20, 106}},
      {{9999, 7, 15, 1, 6, 40, 12}, {9999, 7, 15, 1, 6, 40, 13}},
      {{9999, 7, 15, 3, 20, 0, 36}, {9999, 7, 15, 3, 20, 0, 37}},
      {{9999, 12, 31, 23, 59, 59, 998}, {9999, 12, 31, 23, 59, 59, 999}},
      {{9999, 7, 15, 12, 34, 56, 789}, {9999, 7, 15, 12, 34, 56, 790}},
      {{5000, 6, 1, 0, 0, 0, 0}, {5000, 6, 1, 0, 0, 0, 1}},
      {{1, 1, 1, 0, 0, 0, 0}, {1, 1, 1, 0, 0, 0, 1}},
      {{1899, 12, 29, 23, 59, 59, 999}, {1899, 12, 30, 0, 0, 0, 0}},
      {{4321, 8, 9, 10, 11, 12, 13}, {4321, 8, 9, 10, 11, 12, 14}},
      {{8191, 1, 1, 11, 22, 33, 444}, {8191, 1, 1, 11, 22, 33, 445}},
  };
  for (const auto& c : cases) {
    const double earlier = Moment(c.earlier);
    const double later = Moment(c.later);
    EXPECT_EQ(CompareMoments(earlier, later), -1) << Describe(c.earlier);
    EXPECT_EQ(CompareMoments(later, earlier), 1) << Describe(c.earlier);
    EXPECT_EQ(CompareMoments(earlier, earlier), 0) << Describe(c.earlier);
  }
}

TEST(CompareMoments, OrdersSecondsOfTheSameDay) {
  const struct {
    MomentFields a, b;
    int expected;
  } cases[] = {
      {{2007, 3, 25, 2, 0, 0, 0}, {2007, 3, 25, 2, 0, 1, 0}, -1},
      {{2007, 3, 25, 2, 0, 1, 0}, {2007, 3, 25, 2, 0, 0, 0}, 1},
      {{2007, 3, 25, 2, 0, 0, 0}, {2007, 3, 25, 2, 0, 0, 0}, 0},
      {{1850, 3, 31, 2, 0, 0, 0}, {1850, 3, 31, 2, 0, 1, 0}, -1},
      {{1850, 3, 31, 1, 0, 0, 0}, {1850, 3, 31, 2, 0, 0, 0}, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareMoments(Moment(c.a), Moment(c.b)), c.expected)
        << Describe(c.a) << " vs " << Describe(c.b);
  }
}

TEST(SwitchMoment, GivesTheLastSundayOfTheMonthAtTheHour) {
  const struct {
    int year, month, hour;
    MomentFields expected;
  } cases[] = {
      {2007, 3, 2, {2007, 3, 25, 2, 0, 0, 0}},   {2007, 10, 3, {2007, 10, 28, 3, 0, 0, 0}},
      {2009, 3, 2, {2009, 3, 29, 2, 0, 0, 0}},   {2010, 10, 3, {2010, 10, 31, 3, 0, 0, 0}},
      {2007, 2, 0, {2007, 2, 25, 0, 0, 0, 0}},   {2015, 2, 23, {2015, 2, 22, 23, 0, 0, 0}},
      {2009, 2, 12, {2009, 2, 22, 12, 0, 0, 0}}, {2026, 2, 1, {2026, 2, 22, 1, 0, 0, 0}},
      {2007, 4, 2, {2007, 4, 29, 2, 0, 0, 0}},   {2007, 9, 2, {2007, 9, 30, 2, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SwitchMoment(c.year, c.month, c.hour), Moment(c.expected))
        << c.year << "-" << c.month;
  }
}

TEST(SwitchMoment, RaisesForAnInvalidYearMonthOrHour) {
  const struct {
    int year, month, hour;
    const char* message;
  } cases[] = {
      {0, 3, 2, "''0/3/1 2:0:0.0'' is not a valid date and time"},
      {10000, 10, 3, "''10000/10/1 3:0:0.0'' is not a valid date and time"},
      {2007, 13, 2, "''2007/13/1 2:0:0.0'' is not a valid date and time"},
      {2007, 3, 24, "''2007/3/25 24:0:0.0'' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertErrorOf([&] { SwitchMoment(c.year, c.month, c.hour); }), c.message)
        << c.year << "-" << c.month << " " << c.hour;
  }
}

TEST(IsValidDateTime, AgreesWithMakeDateTime) {
  const std::uint16_t years[] = {0, 1, 1900, 2000, 2024, 2100, 9999, 10000, 65535};
  const std::uint16_t months[] = {0, 1, 2, 4, 12, 13};
  const std::uint16_t days[] = {0, 1, 28, 29, 30, 31, 32};
  const std::uint16_t hours[] = {0, 23, 24};
  const std::uint16_t sixties[] = {0, 59, 60};
  const std::uint16_t milliseconds[] = {0, 999, 1000};
  for (std::uint16_t y : years) {
    for (std::uint16_t mo : months) {
      for (std::uint16_t d : days) {
        for (std::uint16_t h : hours) {
          for (std::uint16_t mi : sixties) {
            for (std::uint16_t ms : milliseconds) {
              bool raised = false;
              try {
                MakeDateTime(y, mo, d, h, mi, 59, ms);
              } catch (const EConvertError&) {
                raised = true;
              }
              EXPECT_EQ(IsValidDateTime(y, mo, d, h, mi, 59, ms), !raised)
                  << y << "-" << mo << "-" << d << " " << h << ":" << mi << "." << ms;
            }
          }
        }
      }
    }
  }
}

TEST(LastSundayOfMonth, IsTheDayOfTheSwitchMoment) {
  for (int year : {1, 1582, 1900, 2000, 2024, 2025, 2026, 9999}) {
    for (int month = 1; month <= 12; ++month) {
      const std::optional<int> day = LastSundayOfMonth(year, month);
      ASSERT_TRUE(day.has_value());
      const DateTimeValue sunday = *TryMakeDate(static_cast<std::uint16_t>(year),
                                                static_cast<std::uint16_t>(month),
                                                static_cast<std::uint16_t>(*day));
      EXPECT_EQ(WeekdayOf(sunday), 7);
      EXPECT_FALSE(TryMakeDate(static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month),
                               static_cast<std::uint16_t>(*day + 7))
                       .has_value());
      EXPECT_EQ(SwitchMoment(year, month, 0), sunday);
    }
  }
  EXPECT_FALSE(LastSundayOfMonth(0, 3).has_value());
  EXPECT_FALSE(LastSundayOfMonth(10000, 3).has_value());
  EXPECT_FALSE(LastSundayOfMonth(2024, 13).has_value());
}

TEST(SummerTimePeriod, RunsFromLastSundayOfMarchToLastSundayOfOctober) {
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
    const SummerTime period = SummerTimePeriod(c.year);
    EXPECT_EQ(period.start, MakeDateTime(c.year, 3, c.march, 2, 0, 0, 0)) << c.year;
    EXPECT_EQ(period.end, MakeDateTime(c.year, 10, c.october, 3, 0, 0, 0)) << c.year;
  }
}

TEST(SummerTimePeriod, ExcludesItsOwnStartAndEnd) {
  // Whether a moment lies strictly inside the period, as the time stamps ask it.
  const struct {
    MomentFields moment;
    bool inSummer;
  } cases[] = {
      {{2007, 3, 25, 1, 59, 59, 0}, false}, {{2007, 3, 25, 2, 0, 0, 0}, false},
      {{2007, 3, 25, 2, 0, 0, 1}, true},    {{2007, 3, 25, 2, 0, 1, 0}, true},
      {{2007, 10, 28, 2, 59, 59, 0}, true}, {{2007, 10, 28, 2, 59, 59, 999}, true},
      {{2007, 10, 28, 3, 0, 0, 0}, false},  {{2007, 10, 28, 3, 0, 1, 0}, false},
      {{2007, 7, 15, 19, 30, 0, 0}, true},  {{2007, 1, 15, 19, 30, 0, 0}, false},
      {{2007, 12, 31, 23, 59, 59, 0}, false}, {{2007, 1, 1, 0, 0, 0, 0}, false},
      {{2009, 3, 29, 2, 0, 0, 0}, false},   {{2009, 3, 29, 2, 0, 1, 0}, true},
      {{2009, 3, 22, 12, 0, 0, 0}, false},  {{2010, 10, 31, 2, 59, 59, 0}, true},
      {{2010, 10, 31, 3, 0, 0, 0}, false},  {{2010, 10, 24, 12, 0, 0, 0}, true},
      // Before 1900 the moments are negative and the same rule holds.
      {{1850, 3, 31, 1, 0, 0, 0}, false},   {{1850, 3, 31, 2, 0, 0, 0}, false},
      {{1850, 3, 31, 2, 0, 1, 0}, true},    {{1850, 10, 27, 2, 59, 59, 0}, true},
      {{1850, 10, 27, 3, 0, 0, 0}, false},  {{1850, 10, 27, 4, 0, 0, 0}, false},
      {{9999, 3, 28, 2, 0, 0, 1}, true},    {{9999, 10, 31, 2, 59, 59, 999}, true},
      {{9999, 10, 31, 3, 0, 0, 0}, false},  {{1, 3, 25, 2, 0, 0, 0}, false},
  };
  for (const auto& c : cases) {
    const SummerTime period = SummerTimePeriod(c.moment.year);
    const double t = Moment(c.moment);
    const bool inSummer =
        CompareMoments(t, period.start) == 1 && CompareMoments(t, period.end) == -1;
    EXPECT_EQ(inSummer, c.inSummer) << Describe(c.moment);
  }
}

}  // namespace
}  // namespace zelvane
