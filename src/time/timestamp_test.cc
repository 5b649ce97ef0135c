#include "time/timestamp.h"

#include "base/failure.h"
#include "time/calendar.h"
#include "time/time_zone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zelvane {
namespace {

using namespace std::string_literals;

// The message NormaliseTimeStamp raised, or "" when it returned.
std::string ConvertErrorOf(const std::string& value, bool cet, std::int32_t cetoffset) {
  try {
    NormaliseTimeStamp(value, cet, cetoffset);
  } catch (const EConvertError& failure) {
    return failure.message();
  }
  return "";
}

std::string UtcOffsetOf(std::int64_t hours) {
  std::string text;
  AppendUtcOffset(hours, text);
  return text;
}

struct Case {
  std::string value;
  std::string expected;
};

TEST(NormaliseTimeStamp, RecognisesUtc) {
  const Case cases[] = {
      {"20070715193000 UTC", "20070715193000 +0000"},
      {"  20070715193000  utc  ", "20070715193000 +0000"},
      {"20070715193000 uTc", "20070715193000 +0000"},
      {"20070715193000 UTC+01", "20070715193000 +0000"},
      {"20070715193000  UTC", "20070715193000 +0000"},
      {"20070715193000 UTC CET", "20070715193000 +0000"},
      {"20070715193000 CET UTC", "20070715193000 CET +0000"},
      {"20070715193000 +0100 UTC", "20070715193000 +0100 +0000"},
      {"A UTC B UTC", "A +0000"},
      {"x UTCfoo", "x +0000"},
      // Neither read nor checked: a stamp marked UTC never fails.
      {"20070230120000 UTC", "20070230120000 +0000"},
      {"garbage UTC", "garbage +0000"},
      {"\t20070715193000 UTC\r\n", "20070715193000 +0000"},
      {"20070715193000\t UTC", "20070715193000 +0000"},
  };
  for (const bool cet : {false, true}) {
    for (const auto& c : cases) {
      EXPECT_EQ(NormaliseTimeStamp(c.value, cet, 7), c.expected) << c.value << " cet=" << cet;
    }
  }
}

TEST(NormaliseTimeStamp, RecognisesUtcOnlyAfterABlank) {
  // With the cet switch off these come back trimmed and nothing more.
  const Case cases[] = {
      {"20070715193000UTC", "20070715193000UTC"},
      {"20070715193000\tUTC", "20070715193000\tUTC"},
      {"20070715193000 UT", "20070715193000 UT"},
      {" UTC", "UTC"},
      {"20070715193000 \xDATC", "20070715193000 \xDATC"},
      {"20070715193000 \xF5TC", "20070715193000 \xF5TC"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseTimeStamp(c.value, false, 0), c.expected);
  EXPECT_EQ(NormaliseTimeStamp("20070715193000UTC", true, 0), "20070715193000UTC +0200");
}

TEST(NormaliseTimeStamp, RecognisesCet) {
  const Case cases[] = {
      {"20070715193000 CET", "20070715193000 +0200"},
      {"20070115193000 CET", "20070115193000 +0100"},
      {"20070715193000 cet", "20070715193000 +0200"},
      {"  20070715193000   CeT  ", "20070715193000 +0200"},
      {"20070715193000 CET extra", "20070715193000 +0200"},
      {"2007 CET", "2007 +0100"},
      {"200707  CET", "200707 +0200"},
      {"20070715193000 CETX", "20070715193000 +0200"},
      {"200707151930 CET", "200707151930 +0200"},
      {"20070715 CET", "20070715 +0200"},
      {"2007071519300099 CET", "2007071519300099 +0200"},
      // The fields are read from their places whatever else the value holds.
      {"20070715193000 +0100 CET", "20070715193000 +0100 +0200"},
      {"20071231235959 CET", "20071231235959 +0100"},
      {"20070101000000 CET", "20070101000000 +0100"},
      {"19500615120000 CET", "19500615120000 +0200"},
      {"18500615120000 CET", "18500615120000 +0200"},
      {"00010615120000 CET", "00010615120000 +0200"},
      {"99991231235959 CET", "99991231235959 +0100"},
  };
  // The cet offset never applies to a stamp marked CET.
  for (const bool cet : {false, true}) {
    for (const std::int32_t offset : {0, 5, -6}) {
      for (const auto& c : cases) {
        EXPECT_EQ(NormaliseTimeStamp(c.value, cet, offset), c.expected)
            << c.value << " cet=" << cet << " offset=" << offset;
      }
    }
  }
}

TEST(NormaliseTimeStamp, RecognisesCetOnlyAsAWord) {
  const struct {
    std::string value;
    bool cet;
    std::string expected;
  } cases[] = {
      {"20070715193000 CEST", false, "20070715193000 CEST"},
      {"20070715193000 CEST", true, "20070715193000 CEST"},
      {"20070715193000CET", false, "20070715193000CET"},
      {"20070715193000CET", true, "20070715193000CET +0200"},
      {"20070715193000 CE", false, "20070715193000 CE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormaliseTimeStamp(c.value, c.cet, 0), c.expected) << c.value << " cet=" << c.cet;
  }
}

TEST(NormaliseTimeStamp, LeavesOtherValuesTrimmed) {
  const Case cases[] = {
      {"20070715193000 +0100", "20070715193000 +0100"},
      {" 20070715193000 +0100 ", "20070715193000 +0100"},
      {"20070715193000 -0500", "20070715193000 -0500"},
      {"20070715193000 GMT", "20070715193000 GMT"},
      {"20070715193000 CEST", "20070715193000 CEST"},
      {"\t20070715193000 EST\r", "20070715193000 EST"},
      // With a blank inside the date is neither read nor checked.
      {"20070230120000 +0100", "20070230120000 +0100"},
      {"none at all", "none at all"},
      // An offset attached at the 15th character, whatever follows it.
      {"20240715120000+0200", "20240715120000+0200"},
      {" 20240715120000-0500\t", "20240715120000-0500"},
      {"20240715120000+0200 UTC", "20240715120000+0200 UTC"},
      {"20240715120000-0500 CET", "20240715120000-0500 CET"},
      {"20070230120000+", "20070230120000+"},
      {"\x01 x y \x1f", "x y"},
      {"\xA0x y\xA0", "\xA0x y\xA0"},
  };
  for (const bool cet : {false, true}) {
    for (const auto& c : cases) {
      EXPECT_EQ(NormaliseTimeStamp(c.value, cet, 3), c.expected) << c.value << " cet=" << cet;
    }
  }
}

TEST(NormaliseTimeStamp, LeavesZonelessStampsWithoutTheCetSwitch) {
  const Case cases[] = {
      {"20070715193000", "20070715193000"},
      {"  20070715193000\t", "20070715193000"},
      {"20070230120000", "20070230120000"},
      {"2007", "2007"},
      {"none", "none"},
      {"", ""},
      {"   ", ""},
      {"\0\0"s, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseTimeStamp(c.value, false, 4), c.expected);
}

TEST(NormaliseTimeStamp, ReadsFieldsFromFixedPositions) {
  // With the cet switch on and no extra hours.
  const Case cases[] = {
      {"20070715193000", "20070715193000 +0200"},
      {"20071231235959", "20071231235959 +0100"},
      {"200707151930", "200707151930 +0200"},
      {"2007071519", "2007071519 +0200"},
      {"20070715", "20070715 +0200"},
      // A year, or a year and month, counts from its first day.
      {"2007", "2007 +0100"},
      {"200707", "200707 +0200"},
      {" 200710\t", "200710 +0200"},
      {"2007071", "2007071 +0200"},
      {"202407151200000+0200", "202407151200000+0200 +0200"},
      {"20070715193000123", "20070715193000123 +0200"},
      {"\t20070715193000 ", "20070715193000 +0200"},
      // The second counts only when position 12 holds a digit.
      {"20070325020059", "20070325020059 +0200"},
      {"20070325020x59", "20070325020x59 +0100"},
      {"20070325020:59", "20070325020:59 +0100"},
      {"2007032502005", "2007032502005 +0200"},
      // Each field as the integer reader takes it: digits up to the first
      // other byte, hexadecimal after "$" or "x".
      {"200703250200x9", "200703250200x9 +0200"},
      {"$7D70715193000", "$7D70715193000 +0200"},
      {"2007031x120000", "2007031x120000 +0100"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseTimeStamp(c.value, true, 0), c.expected);
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

// The direct path of the usual stamp gives what the general path gives, for
// stamps near it: invalid dates, other zone words, lower case, signs.
TEST(NormaliseTimeStamp, TakesTheDirectPathOnlyWhereItAgrees) {
  const std::string stamps[] = {
      "20070715203000",     "20070230120000",     "20071315203000",      "20070715246000",
      "2007071520300x",     "20070715203000 UTC", "20070230120000 UTC",  "20070715203000 utc",
      "20070715203000 CET", "20070230120000 CET", "20070715203000 cet",  "20070715203000 EST",
      "20070715203000+CET", "-0070715203000 CET", "20070715203000 +0100", "2007071520300 CET",
  };
  std::vector<std::string> all(std::begin(stamps), std::end(stamps));
  // A byte that is no digit, at every place of the fourteen digits: below
  // '0', just above '9', and bytes whose top bit is set.
  for (std::size_t at = 0; at < 14; ++at) {
    for (const char bad : {'/', ':', 'a', '\x80', '\xba', '\xff'}) {
      std::string stamp = "20070715203000 CET";
      stamp[at] = bad;
      all.push_back(stamp);
      all.push_back(stamp.substr(0, 14));
    }
  }
  for (const std::string& stamp : all) {
    for (const auto& [cet, offset] :
         {std::pair{false, 0}, std::pair{true, 0}, std::pair{true, -7}}) {
      std::string direct, general;
      std::string directFailure, generalFailure;
      try {
        TimeStampNormaliser(cet, offset).Append(stamp, direct);
      } catch (const EConvertError& failure) {
        directFailure = failure.message();
      }
      try {
        TimeStampNormaliser(cet, offset).Append(" " + stamp + " ", general);
      } catch (const EConvertError& failure) {
        generalFailure = failure.message();
      }
      EXPECT_EQ(direct, general) << stamp << " cet " << cet;
      EXPECT_EQ(directFailure, generalFailure) << stamp << " cet " << cet;
    }
  }
}

// One normaliser keeps what it found of the last day: a later stamp of the
// same day with an invalid time, or another invalid day, still raises.
TEST(NormaliseTimeStamp, ChecksTheTimeOfADayFoundValidBefore) {
  const std::string stamps[] = {
      "20070715203000 CET", "20070715243000 CET", "20070715206000 CET", "20070715203060 CET",
      "20070715235959 CET", "20070231000000 CET", "20070230120000",     "20070715000000",
  };
  TimeStampNormaliser direct(true, 0);
  for (const std::string& stamp : stamps) {
    std::string ours, general;
    std::string ourFailure, generalFailure;
    try {
      direct.Append(stamp, ours);
    } catch (const EConvertError& failure) {
      ourFailure = failure.message();
    }
    try {
      TimeStampNormaliser(true, 0).Append(" " + stamp + " ", general);
    } catch (const EConvertError& failure) {
      generalFailure = failure.message();
    }
    EXPECT_EQ(ours, general) << stamp;
    EXPECT_EQ(ourFailure, generalFailure) << stamp;
  }
}

// One normaliser per setting reads a run of stamps in order, keeping what it
// found of each day, and gives what a fresh one gives on the general path:
// stamps with a written offset, days of the summer-time switch at times
// around it, invalid times on a day found valid, offsets of a hundred hours
// and more, and a chosen zone.
TEST(NormaliseTimeStamp, KeepsWhatItFoundOfADayAsTheGeneralPathDoes) {
  const std::string stamps[] = {
      "20260301060000 +0100", "20260301060000 -0530", "20260301060000 +01x0",
      "20260301060000 *0100", "20260301060000  0100", "20260301060000+0100",
      "2026030106000x +0100", "20260301060000 +0100", "20260301060000 CET",
      "20260301240000 CET",   "20260301236000",       "20260301235960 UTC",
      "20260301235959",       "20260329015959 CET",   "20260329020000",
      "20260329020001 CET",   "20260329030000",       "20261025025959",
      "20261025030000 CET",   "20261025030001",       "20261025250000 CET",
      "20260230120000",       "20260230120000 CET",   "20240229120000",
      "20230229120000 CET",   "00000101000000 CET",   "20261231235959 CET",
  };
  std::unique_ptr<TimeZone> zone;
  try {
    zone = std::make_unique<TimeZone>("Europe/Amsterdam");
  } catch (const EConvertError&) {
    // This build has no time zones: the settings without one still count.
  }
  const struct {
    bool cet;
    std::int32_t offset;
    bool zoned;
  } settings[] = {
      {false, 0, false}, {true, 0, false},  {true, -7, false}, {true, 150, false},
      {true, -120, false}, {false, 0, true}, {true, 3, true},
  };
  for (const auto& setting : settings) {
    if (setting.zoned && zone == nullptr) continue;
    const TimeZone* const chosen = setting.zoned ? zone.get() : nullptr;
    TimeStampNormaliser kept(setting.cet, setting.offset, chosen);
    for (const std::string& stamp : stamps) {
      std::string ours, general;
      std::string ourFailure, generalFailure;
      try {
        kept.Append(stamp, ours);
      } catch (const EConvertError& failure) {
        ourFailure = failure.message();
      }
      try {
        TimeStampNormaliser(setting.cet, setting.offset, chosen).Append(" " + stamp + " ", general);
      } catch (const EConvertError& failure) {
        generalFailure = failure.message();
      }
      EXPECT_EQ(ours, general) << stamp << " cet " << setting.cet << " " << setting.offset;
      EXPECT_EQ(ourFailure, generalFailure) << stamp;
    }
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

TEST(NormaliseTimeStamp, RaisesForInvalidDateAndTime) {
  const struct {
    std::string value;
    bool cet;
    std::string message;
  } cases[] = {
      {"20070230120000 CET", false, "''2007/2/30 12:0:0.0'' is not a valid date and time"},
      {"20070715240000 CET", false, "''2007/7/15 24:0:0.0'' is not a valid date and time"},
      {"19000229120000 CET", false, "''1900/2/29 12:0:0.0'' is not a valid date and time"},
      {"00000715193000 CET", false, "''0/7/15 19:30:0.0'' is not a valid date and time"},
      {"20070431120000 CET", false, "''2007/4/31 12:0:0.0'' is not a valid date and time"},
      {"20071315120000 CET", false, "''2007/13/15 12:0:0.0'' is not a valid date and time"},
      {"20070715196000 CET", false, "''2007/7/15 19:60:0.0'' is not a valid date and time"},
      {"20070715193060 CET", false, "''2007/7/15 19:30:60.0'' is not a valid date and time"},
      {"20070230120000", true, "''2007/2/30 12:0:0.0'' is not a valid date and time"},
      {"20070715240000", true, "''2007/7/15 24:0:0.0'' is not a valid date and time"},
      {"20070", true, "''2007/0/0 0:0:0.0'' is not a valid date and time"},
      {"200713", true, "''2007/13/1 0:0:0.0'' is not a valid date and time"},
      {"200700 CET", false, "''2007/0/1 0:0:0.0'' is not a valid date and time"},
      {"0000", true, "''0/1/1 0:0:0.0'' is not a valid date and time"},
      {"none", true, "''0/0/0 0:0:0.0'' is not a valid date and time"},
      {"", true, "''0/0/0 0:0:0.0'' is not a valid date and time"},
      {"  \t ", true, "''0/0/0 0:0:0.0'' is not a valid date and time"},
      {" UTC", true, "''0/0/0 0:0:0.0'' is not a valid date and time"},
      {"x CET", false, "''0/0/0 0:0:0.0'' is not a valid date and time"},
      {"2007-07-15T19:30", true, "''2007/0/7 15:0:9.0'' is not a valid date and time"},
      // A field of -1 is shown as unknown, other negative fields as their
      // 16-bit form.
      {"2007-115193000 CET", false, "''2007/?/15 19:30:0.0'' is not a valid date and time"},
      {"20070715-11000 CET", false, "''2007/7/15 ?:10:0.0'' is not a valid date and time"},
      {"200707151930-1 CET", false, "''2007/7/15 19:30:?.0'' is not a valid date and time"},
      {"-0010715193000", true, "''?/7/15 19:30:0.0'' is not a valid date and time"},
      {"-1230715193000", true, "''65413/7/15 19:30:0.0'' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertErrorOf(c.value, c.cet, 0), c.message) << c.value << " cet=" << c.cet;
  }
}

TEST(NormaliseTimeStamp, HandlesVeryLongValues) {
  const std::string tail(9986, '9');
  const std::string digits = "20070715193000" + tail;
  EXPECT_EQ(NormaliseTimeStamp(digits, true, 0), digits + " +0200");
  EXPECT_EQ(NormaliseTimeStamp(digits + " CET", false, 0), digits + " +0200");
  EXPECT_EQ(NormaliseTimeStamp(digits + " utc", false, 0), digits + " +0000");
  EXPECT_EQ(NormaliseTimeStamp(digits, false, 0), digits);

  // Many near misses before the word: the search must not start over at
  // each blank.
  std::string nearMisses;
  for (int i = 0; i < 250000; ++i) nearMisses += " UT";
  const std::string stamp = "20070715193000" + nearMisses;
  EXPECT_EQ(NormaliseTimeStamp(stamp, false, 0), stamp);
  EXPECT_EQ(NormaliseTimeStamp(stamp + " UTC", false, 0), stamp + " +0000");
  EXPECT_EQ(NormaliseTimeStamp(stamp + " CET", false, 0), stamp + " +0200");
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
