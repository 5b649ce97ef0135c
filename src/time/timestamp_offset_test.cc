#include "time/timestamp.h"

#include "time/calendar.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace zelvane {
namespace {

std::string UtcOffsetOf(std::int64_t hours) {
  std::string text;
  AppendUtcOffset(hours, text);
  return text;
}

TEST(NormaliseTimeStamp, AppliesSummerTimeStrictlyBetweenItsSwitches) {
  // Days of the last Sunday of March and of October; from the 29th on it is
  // the fifth Sunday of the month.
  const struct {
    std::string year;
    std::string march;
    std::string october;
  } years[] = {
      {"1850", "31", "27"}, {"1900", "25", "28"}, {"1970", "29", "25"}, {"1996", "31", "27"},
      {"1999", "28", "31"}, {"2000", "26", "29"}, {"2004", "28", "31"}, {"2005", "27", "30"},
      {"2006", "26", "29"}, {"2007", "25", "28"}, {"2008", "30", "26"}, {"2009", "29", "25"},
      {"2010", "28", "31"}, {"2011", "27", "30"}, {"2012", "25", "28"}, {"2013", "31", "27"},
      {"2014", "30", "26"}, {"2015", "29", "25"}, {"2016", "27", "30"}, {"2017", "26", "29"},
      {"2018", "25", "28"}, {"2019", "31", "27"}, {"2020", "29", "25"}, {"2021", "28", "31"},
      {"2024", "31", "27"}, {"2025", "30", "26"}, {"2026", "29", "25"}, {"2100", "28", "31"},
      {"9999", "28", "31"},
  };
  // Times on the two Sundays and the offset each gets.
  const struct {
    bool october;
    std::string time;
    std::string offset;
  } moments[] = {
      {false, "000000", "+0100"}, {false, "015959", "+0100"}, {false, "020000", "+0100"},
      {false, "020001", "+0200"}, {false, "030000", "+0200"}, {false, "235959", "+0200"},
      {true, "000000", "+0200"},  {true, "025959", "+0200"},  {true, "030000", "+0100"},
      {true, "030001", "+0100"},  {true, "235959", "+0100"},
  };
  for (const auto& y : years) {
    for (const auto& m : moments) {
      const std::string stamp =
          y.year + (m.october ? "10" + y.october : "03" + y.march) + m.time;
      EXPECT_EQ(NormaliseTimeStamp(stamp + " CET", false, 0), stamp + " " + m.offset);
      EXPECT_EQ(NormaliseTimeStamp(stamp, true, 0), stamp + " " + m.offset);
    }
    // The Saturday before each switch and the Monday after it.
    const int march = std::stoi(y.march);
    const int october = std::stoi(y.october);
    const auto day = [](int d) {
      return std::string{static_cast<char>('0' + d / 10), static_cast<char>('0' + d % 10)};
    };
    EXPECT_EQ(NormaliseTimeStamp(y.year + "03" + day(march - 1) + "120000", true, 0),
              y.year + "03" + day(march - 1) + "120000 +0100");
    EXPECT_EQ(NormaliseTimeStamp(y.year + "10" + day(october - 1) + "120000", true, 0),
              y.year + "10" + day(october - 1) + "120000 +0200");
    if (march < 31) {
      EXPECT_EQ(NormaliseTimeStamp(y.year + "03" + day(march + 1) + "000000", true, 0),
                y.year + "03" + day(march + 1) + "000000 +0200");
    }
    if (october < 31) {
      EXPECT_EQ(NormaliseTimeStamp(y.year + "10" + day(october + 1) + "000000", true, 0),
                y.year + "10" + day(october + 1) + "000000 +0100");
    }
  }
}

// The summer-time decision, made on whole-second fields, against the
// calendar's moments: random valid stamps of every year, most of them in the
// hours around a switch.
TEST(NormaliseTimeStamp, DecidesSummerTimeAsTheCalendarsMomentsDo) {
  std::mt19937 random(11);
  const auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const auto field = [](int value, int width) {
    std::string text = std::to_string(value);
    return std::string(static_cast<std::size_t>(width) - text.size(), '0') + text;
  };
  // One normaliser for all stamps keeps the answer of the last day: it must
  // give what a fresh one gives, on its direct path for the usual stamp and
  // on the general one (a leading blank takes that path), whichever path
  // met the day first.
  TimeStampNormaliser kept(false, 0);
  TimeStampNormaliser keptCet(true, 3);
  for (int round = 0; round < 20000; ++round) {
    const int year = 1 + below(9999);
    const int month = below(4) == 0 ? 1 + below(12) : (below(2) == 0 ? 3 : 10);
    const int lastDay = month == 2 ? (IsLeap(year) ? 29 : 28)
                        : (month == 4 || month == 6 || month == 9 || month == 11) ? 30
                                                                                   : 31;
    const int day = below(2) == 0 ? 1 + below(lastDay) : lastDay - below(7);
    const int hour = below(2) == 0 ? below(24) : 1 + below(3);
    const int minute = below(3) == 0 ? below(60) : (below(2) == 0 ? 0 : 59);
    const int second = below(3) == 0 ? below(60) : (below(2) == 0 ? 0 : 59);
    const DateTimeValue moment = MakeDateTime({year, month, day, hour, minute, second});
    // Whole-second moments lie far more than a rounding error apart.
    const DateTimeValue start = MakeDateTime({year, 3, *LastSundayOfMonth(year, 3), 2});
    const DateTimeValue end = MakeDateTime({year, 10, *LastSundayOfMonth(year, 10), 3});
    const bool inSummer = moment > start && moment < end;
    const std::string stamp = field(year, 4) + field(month, 2) + field(day, 2) + field(hour, 2) +
                              field(minute, 2) + field(second, 2);
    const std::string expected = stamp + (inSummer ? " +0200" : " +0100");
    ASSERT_EQ(NormaliseTimeStamp(stamp + " CET", false, 0), expected);
    const std::string values[] = {stamp + " CET", " " + stamp + " CET"};
    for (int k = 0; k < 2; ++k) {
      const std::string& value = values[(k + round) % 2];
      std::string out;
      kept.Append(value, out);
      ASSERT_EQ(out, expected) << value;
    }
    std::string zoneless;
    keptCet.Append(stamp, zoneless);
    ASSERT_EQ(zoneless, stamp + (inSummer ? " +0500" : " +0400"));
  }
}

TEST(NormaliseTimeStamp, AddsCetOffsetToZonelessStamps) {
  const struct {
    std::int32_t offset;
    std::string january;
    std::string july;
  } cases[] = {
      {-11, "-1000", "-0900"}, {-10, "-0900", "-0800"}, {-9, "-0800", "-0700"},
      {-8, "-0700", "-0600"},  {-7, "-0600", "-0500"},  {-6, "-0500", "-0400"},
      {-5, "-0400", "-0300"},  {-4, "-0300", "-0200"},  {-3, "-0200", "-0100"},
      {-2, "-0100", "+0000"},  {-1, "+0000", "+0100"},  {0, "+0100", "+0200"},
      {1, "+0200", "+0300"},   {2, "+0300", "+0400"},   {3, "+0400", "+0500"},
      {4, "+0500", "+0600"},   {5, "+0600", "+0700"},   {6, "+0700", "+0800"},
      {7, "+0800", "+0900"},   {8, "+0900", "+1000"},   {9, "+1000", "+1100"},
      {10, "+1100", "+1200"},  {11, "+1200", "+1300"},  {12, "+1300", "+1400"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormaliseTimeStamp("20070115193000", true, c.offset), "20070115193000 " + c.january)
        << c.offset;
    EXPECT_EQ(NormaliseTimeStamp("20070715193000", true, c.offset), "20070715193000 " + c.july)
        << c.offset;
    // The switch moments stay those of the European rule whatever the offset.
    EXPECT_EQ(NormaliseTimeStamp("20070325020000", true, c.offset), "20070325020000 " + c.january)
        << c.offset;
    EXPECT_EQ(NormaliseTimeStamp("20071028025959", true, c.offset), "20071028025959 " + c.july)
        << c.offset;
  }
}

TEST(NormaliseTimeStamp, KeepsEveryDigitOfLargeCetOffsets) {
  const struct {
    std::int32_t offset;
    std::string january;
    std::string july;
  } cases[] = {
      {97, "+9800", "+9900"},
      {98, "+9900", "+10000"},
      {99, "+10000", "+10100"},
      {-100, "-9900", "-9800"},
      {-101, "-10000", "-9900"},
      {-251, "-25000", "-24900"},
      {2147483646, "+214748364700", "+214748364800"},
      {2147483647, "+214748364800", "+214748364900"},
      {-2147483647 - 1, "-214748364700", "-214748364600"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormaliseTimeStamp("20070115193000", true, c.offset), "20070115193000 " + c.january)
        << c.offset;
    EXPECT_EQ(NormaliseTimeStamp("20070715193000", true, c.offset), "20070715193000 " + c.july)
        << c.offset;
  }
}

TEST(AppendUtcOffset, WritesSignTwoDigitHoursAndZeroMinutes) {
  const struct {
    std::int64_t hours;
    std::string expected;
  } cases[] = {
      {0, "+0000"},
      {1, "+0100"},
      {2, "+0200"},
      {-1, "-0100"},
      {-4, "-0400"},
      {-5, "-0500"},
      {9, "+0900"},
      {-9, "-0900"},
      {10, "+1000"},
      {-10, "-1000"},
      {11, "+1100"},
      {12, "+1200"},
      {14, "+1400"},
      {99, "+9900"},
      {-99, "-9900"},
  };
  for (const auto& c : cases) EXPECT_EQ(UtcOffsetOf(c.hours), c.expected) << c.hours;
}

TEST(AppendUtcOffset, KeepsEveryDigitOfLargeMagnitudes) {
  const struct {
    std::int64_t hours;
    std::string expected;
  } cases[] = {
      {100, "+10000"},
      {-100, "-10000"},
      {101, "+10100"},
      {-250, "-25000"},
      {2147483647, "+214748364700"},
      {2147483649, "+214748364900"},
      {-2147483647, "-214748364700"},
      {INT64_MAX, "+922337203685477580700"},
      {INT64_MIN, "-922337203685477580800"},
  };
  for (const auto& c : cases) EXPECT_EQ(UtcOffsetOf(c.hours), c.expected) << c.hours;
}

}  // namespace
}  // namespace zelvane
