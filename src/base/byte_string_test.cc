#include "base/byte_string.h"

#include <gtest/gtest.h>

#include <string>

namespace zelvane {
namespace {

TEST(Find, GivesLeftmostOneBasedPosition) {
  struct Case {
    std::string needle, text;
    Pos expected;
  } cases[] = {
      {"", "abc", 0}, {"b", "", 0},   {"na", "banana", 3}, {"aa", "aaa", 1},
      {"x", "abc", 0}, {"abc", "ab", 0}, {"A", "a", 0},     {std::string(1, '\0'), std::string("a\0b", 3), 2},
  };
  for (const Case& c : cases) EXPECT_EQ(Find(c.needle, c.text), c.expected) << c.needle << " in " << c.text;
}

TEST(FindFrom, CountsOnlyOccurrencesAtOrAfterStart) {
  struct Case {
    std::string needle, text;
    Pos start, expected;
  } cases[] = {
      {"a", "banana", 3, 4}, {"a", "banana", 0, 2},  {"na", "banana", 5, 5}, {"na", "banana", 6, 0},
      {"a", "banana", 7, 0}, {"a", "banana", -9, 2}, {"", "banana", 3, 0},   {"a", "banana", 6, 6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindFrom(c.needle, c.text, c.start), c.expected) << c.needle << " from " << c.start;
  }
}

TEST(Copy, LeftRightAndMidClampPositionsAndCounts) {
  struct Case {
    std::string actual, expected;
  } cases[] = {
      {Left("abc", 5), "abc"},       {Left("abc", 0), ""},         {Left("abc", -1), ""},
      {Right("abc", 1), "c"},        {Right("abc", 5), "abc"},     {Right("abc", 0), ""},
      {Right("abc", -2), ""},        {Mid("abcdef", 0, 1), "a"},   {Mid("abcdef", -1, 3), "abc"},
      {Mid("abcdef", 5, 10), "ef"},  {Mid("abcdef", 7, 1), ""},    {Mid("abcdef", 2, 0), ""},
      {Mid("abcdef", 2, -5), ""},    {Mid("abcdef", 6, 1), "f"},   {Left("", 3), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(DeleteAt, RemovesOnlyInsideTheText) {
  struct Case {
    Pos start, n;
    std::string expected;
  } cases[] = {
      {0, 3, "abcdef"}, {5, 10, "abcd"}, {7, 1, "abcdef"}, {1, 1, "bcdef"},
      {2, 0, "abcdef"}, {2, -1, "abcdef"}, {-3, 5, "abcdef"}, {6, 1, "abcde"},
  };
  for (const Case& c : cases) {
    std::string text = "abcdef";
    DeleteAt(text, c.start, c.n);
    EXPECT_EQ(text, c.expected) << c.start << "," << c.n;
  }
}

TEST(InsertAt, ClampsThePositionToTheEnds) {
  struct Case {
    std::string piece, text;
    Pos at;
    std::string expected;
  } cases[] = {
      {"X", "abc", 0, "Xabc"}, {"X", "abc", 2, "aXbc"}, {"X", "abc", 9, "abcX"},
      {"X", "abc", 4, "abcX"}, {"", "abc", 2, "abc"},   {"XY", "", 5, "XY"},
      {"X", "abc", -7, "Xabc"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    InsertAt(c.piece, text, c.at);
    EXPECT_EQ(text, c.expected);
  }
}

TEST(CaseFolding, ChangesAsciiLettersOnly) {
  EXPECT_EQ(Lower("\xC0" "BC"), "\xC0" "bc");
  EXPECT_EQ(Upper("a1z"), "A1Z");
  EXPECT_EQ(Lower("@[`{AZ"), "@[`{az");
  EXPECT_EQ(Upper("\xE9\xFF" "`{az"), "\xE9\xFF" "`{AZ");
}

TEST(Trim, RemovesControlBytesAndBlanksAtBothEnds) {
  EXPECT_EQ(Trim("\t x \r"), "x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xA0x"), "\xA0x");
  EXPECT_EQ(Trim(std::string("\0a b\x01", 5)), "a b");
  EXPECT_EQ(Trim("\x7Fx\x7F"), "\x7Fx\x7F");
}

TEST(Compare, OrdersBytesUnsigned) {
  EXPECT_GT(Compare("a", "?"), 0);
  EXPECT_LT(Compare("", "a"), 0);
  EXPECT_LT(Compare("ab", "abc"), 0);
  EXPECT_GT(Compare("\xE9", "z"), 0);
  EXPECT_EQ(Compare("", ""), 0);
  EXPECT_EQ(Compare("abc", "abc"), 0);
  EXPECT_LT(Compare("A", "a"), 0);
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

TEST(CharString, HoldsTheLowEightBits) {
  EXPECT_EQ(CharString(321), "A");
  EXPECT_EQ(CharString(0), std::string(1, '\0'));
  EXPECT_EQ(CharString(-1), "\xFF");
}

}  // namespace
}  // namespace zelvane
