#include "time/timestamp.h"

#include "base/failure.h"
#include "time/time_zone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zelvane {
namespace {

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

}  // namespace
}  // namespace zelvane
