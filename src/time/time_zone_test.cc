#include "time/time_zone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/failure.h"
#include "time/calendar.h"
#include "time/timestamp.h"

namespace zelvane {
namespace {

constexpr bool kNoTimeZones = ZELVANE_ON_WINDOWS;

struct ZoneCase {
  const char* zone;
  const char* stamp;
  const char* expected;
};

TEST(TimeZone, GivesZoneLessStampsTheZonesOffsetAtTheirLocalTime) {
  if (kNoTimeZones) GTEST_SKIP() << "this build has no time zones";
  const std::vector<ZoneCase> cases = {
      // Summer time in the north and in the south, also after the last
      // transition that the database files list.
      {"Europe/London", "20240115200000", "20240115200000 +0000"},
      {"Europe/London", "20240715200000", "20240715200000 +0100"},
      {"America/New_York", "20240320200000", "20240320200000 -0400"},
      {"America/New_York", "20241030200000", "20241030200000 -0400"},
      {"America/New_York", "20241230200000", "20241230200000 -0500"},
      {"America/New_York", "20990715200000", "20990715200000 -0400"},
      {"Australia/Sydney", "20240115200000", "20240115200000 +1100"},
      {"Australia/Sydney", "20240715200000", "20240715200000 +1000"},
      {"Australia/Sydney", "20990115200000", "20990115200000 +1100"},
      // Half-hour offsets, and zones without summer time.
      {"Asia/Kolkata", "20240715200000", "20240715200000 +0530"},
      {"America/St_Johns", "20240115200000", "20240115200000 -0330"},
      {"America/St_Johns", "20240715200000", "20240715200000 -0230"},
      {"Asia/Tokyo", "20240715200000", "20240715200000 +0900"},
      {"Europe/Moscow", "20240715200000", "20240715200000 +0300"},
      {"America/Sao_Paulo", "20240715200000", "20240715200000 -0300"},
      {"UTC", "20240715200000", "20240715200000 +0000"},
      // Skipped hours take the offset after the jump, repeated hours the
      // earlier one.
      {"America/New_York", "20240310023000", "20240310023000 -0400"},
      {"America/New_York", "20241103013000", "20241103013000 -0400"},
      {"America/New_York", "20241103020000", "20241103020000 -0500"},
      {"Australia/Sydney", "20241006023000", "20241006023000 +1100"},
      {"Australia/Sydney", "20240407023000", "20240407023000 +1100"},
      {"Australia/Sydney", "20240407030000", "20240407030000 +1000"},
      {"Europe/London", "20240331013000", "20240331013000 +0100"},
      {"Europe/London", "20241027015959", "20241027015959 +0100"},
      // Only stamps without zone: others as under --cet.
      {"America/New_York", "20240715200000 UTC", "20240715200000 +0000"},
      {"America/New_York", "20240715200000 CET", "20240715200000 +0200"},
      {"America/New_York", "20240715200000 +0100", "20240715200000 +0100"},
      {"America/New_York", "20240715200000 GMT", "20240715200000 GMT"},
  };
  for (const ZoneCase& c : cases) {
    const TimeZone zone(c.zone);
    EXPECT_EQ(NormaliseTimeStamp(c.stamp, false, 0, &zone), c.expected) << c.zone << " " << c.stamp;
    // The cet offset does not apply where the zone does.
    EXPECT_EQ(NormaliseTimeStamp(c.stamp, true, 5, &zone), c.expected) << c.zone << " " << c.stamp;
  }
  const TimeZone london("Europe/London");
  EXPECT_THROW(NormaliseTimeStamp("20240230120000", false, 0, &london), EConvertError);
}

TEST(TimeZone, RefusesNamesOutsideTheDatabase) {
  for (const char* name : {"Nowhere/City", "europe/london", "../zoneinfo/UTC",
                           "/usr/share/zoneinfo/UTC", "Europe"}) {
    try {
      const TimeZone zone(name);
      ADD_FAILURE() << name;
    } catch (const EConvertError& failure) {
      EXPECT_NE(failure.message().find(std::string("\"") + name + "\""), std::string::npos)
          << failure.message();
    }
  }
  EXPECT_THROW(TimeZone(""), EConvertError);
}

// The offsets that a zone keeps between lookups are those that a fresh zone
// finds, over a year walked forwards and backwards across its transitions.
TEST(TimeZone, KeptOffsetsAgreeWithFreshLookups) {
  if (kNoTimeZones) GTEST_SKIP() << "this build has no time zones";
  std::vector<CivilTime> year;
  for (int month = 1; month <= 12; ++month) {
    for (int day = 1; IsValidDateTime({.year = 2024, .month = month, .day = day}); ++day) {
      for (int minute = 0; minute < 24 * 60; minute += 15) {
        year.push_back({2024, month, day, minute / 60, minute % 60});
      }
    }
  }
  for (const char* name : {"America/New_York", "Australia/Sydney", "Asia/Kolkata"}) {
    const TimeZone kept(name);
    for (std::size_t i = 0; i < 2 * year.size(); ++i) {
      const CivilTime& t = year[i < year.size() ? i : 2 * year.size() - 1 - i];
      const TimeZone fresh(name);
      ASSERT_EQ(kept.UtcOffsetMinutes(t), fresh.UtcOffsetMinutes(t))
          << name << " 2024-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute;
    }
  }
}

// Europe/Amsterdam has followed the European rule since 1996, so it agrees
// with --cet everywhere but at the first second of the skipped hour, which
// the zone does not have.
TEST(TimeZone, AmsterdamAgreesWithCetFrom1996On) {
  if (kNoTimeZones) GTEST_SKIP() << "this build has no time zones";
  const TimeZone amsterdam("Europe/Amsterdam");
  std::vector<std::string> stamps;
  char text[32];
  for (int year = 1996; year <= 2099; ++year) {
    for (const int month : {3, 10}) {
      const int day = *LastSundayOfMonth(year, month);
      for (const char* time : {"015959", "020001", "025959", "030000"}) {
        std::snprintf(text, sizeof text, "%04d%02d%02d%s", year, month, day, time);
        stamps.emplace_back(text);
      }
    }
  }
  std::mt19937 random(16);
  for (int i = 0; i < 20000; ++i) {
    const int year = std::uniform_int_distribution(1996, 2099)(random);
    const int month = std::uniform_int_distribution(1, 12)(random);
    const int day = std::uniform_int_distribution(1, 28)(random);
    const int second = std::uniform_int_distribution(0, 86399)(random);
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year, month, day,
                  second / 3600, second / 60 % 60, second % 60);
    stamps.emplace_back(text);
  }
  for (const std::string& stamp : stamps) {
    ASSERT_EQ(NormaliseTimeStamp(stamp, false, 0, &amsterdam), NormaliseTimeStamp(stamp, true, 0))
        << stamp;
  }
}

}  // namespace
}  // namespace zelvane
