#include "time/timestamp.h"

#include "base/failure.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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

}  // namespace
}  // namespace zelvane
