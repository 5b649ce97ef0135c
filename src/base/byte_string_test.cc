#include "base/byte_string.h"

#include <gtest/gtest.h>

#include <string>

namespace zelvane {
namespace {

TEST(Left, ClampsTheCount) {
  struct Case {
    std::string actual, expected;
  } cases[] = {
      {Left("abc", 5), "abc"}, {Left("abc", 0), ""}, {Left("abc", -1), ""},
      {Left("abc", 2), "ab"},  {Left("", 3), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(CaseFolding, ChangesAsciiLettersOnly) {
  EXPECT_EQ(Lower("\xC0" "BC"), "\xC0" "bc");
  EXPECT_EQ(Lower("@[`{AZ"), "@[`{az");
  EXPECT_EQ(UpperAscii('a'), 'A');
  EXPECT_EQ(UpperAscii('{'), '{');
  EXPECT_EQ(LowerAscii('\xC0'), '\xC0');
}

TEST(Concat, JoinsInArgumentOrder) {
  std::string text = "ab";
  text = Concat(text, "", std::string_view("c"), std::string("d"));
  EXPECT_EQ(text, "abcd");
}

TEST(ParseInt, ReadsEveryCornerOfTheIntegerText) {
  struct Case {
    std::string text;
    std::int32_t value;
    bool readWhole;
  } cases[] = {
      {"65;", 65, false},
      {"-5;", 5, false},
      {"-5", -5, true},
      {" +12", 12, true},
      {"x41", 65, true},
      {"X41", 65, true},
      {"$1f", 31, true},
      {"0x1g", 1, false},
      {"08", 8, true},
      {"0", 0, true},
      {"-0", 0, true},
      {"", 0, false},
      {"-", 0, false},
      {"  ", 0, false},
      {"\t5", 0, false},
      {"- 5", 0, false},
      {"+-5", 0, false},
      {"2147483647", 2147483647, true},
      {"2147483648", -2147483647 - 1, false},
      {"-2147483648", -2147483647 - 1, true},
      {"-2147483649", 2147483647, false},
      {"99999999999", 999999999, false},
      {"$FFFFFFFF", -1, true},
      {"$123456789", 0x12345678, false},
      {"-$10", -16, true},
      {"$", 0, false},
      {"0x", 0, false},
      {"12 ", 12, false},
      {std::string("7\0" "9", 3), 7, true},
      {"abc", 0, false},
  };
  for (const Case& c : cases) {
    const ParsedInt parsed = ParseInt(c.text);
    EXPECT_EQ(parsed.value, c.value) << "'" << c.text << "'";
    EXPECT_EQ(parsed.status == 0, c.readWhole) << "'" << c.text << "'";
  }
}

TEST(FormatInt, WritesPlainDecimal) {
  EXPECT_EQ(FormatInt(0), "0");
  EXPECT_EQ(FormatInt(-7), "-7");
  EXPECT_EQ(FormatInt(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(FormatInt(2147483647), "2147483647");
  EXPECT_EQ(FormatInt(INT64_MIN), "-9223372036854775808");
}

}  // namespace
}  // namespace zelvane
