#include "filter/opening_line.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/failure.h"
#include "time/timestamp.h"

namespace zelvane {
namespace {

// What RewriteOpeningLine gives for one line: its answer, the line it
// wrote and the message it raised.
struct Rewrite {
  bool rewritten = false;
  std::string out;
  std::string failure;
};

Rewrite RewriteWith(TimeStampNormaliser& normaliser, const std::string& line) {
  Rewrite result;
  try {
    result.rewritten = RewriteOpeningLine(line, normaliser, result.out);
  } catch (const EConvertError& failure) {
    result.failure = failure.message();
  }
  return result;
}

// A line indented with blanks may take the direct path of the usual opening
// line; the same line behind a tab never does. Both must write the same,
// raise the same and keep the same values as they are, for start tags near
// the usual shape and for every length of the indentation.
TEST(RewriteOpeningLine, WritesTheUsualLineAsTheGeneralPathDoes) {
  const std::string tags[] = {
      R"(<programme start="20260301060000 CET" stop="20260301064500 CET" channel="ch0.example">)",
      R"(<programme start="20260301060000" stop="20260301064500" channel="c">)",
      R"(<programme start="20260301060000" stop="20260301064500" channel="a.long.name.example">)",
      R"(<programme start="20260301060000 UTC" stop="20260301064500 +0100">)",
      R"(<programme start="20260301060000 -0530" stop="20260301064500 CET" x="1">)",
      R"(<programme start="20260329020000 CET" stop="20261025025959">)",
      R"(<programme start="20260301060000 CET" stop="20260301064500 CET")",
      R"(<programme start="20260301060000 CET" stop="20260301064500 CET)",
      R"(<programme start="20260301060000 CET" stop="20260301064500)",
      R"(<programme start="20260301060000 CET" stop=")",
      R"(<programme start="20260301060000 CET" stop="2026")",
      R"(<programme start="20260301060000 CET"stop="20260301064500">)",
      R"(<programme start="20260301060000 CET"  stop="20260301064500">)",
      R"(<programme start="20260301060000 CE"T" stop="20260301064500">)",
      R"(<programme start="20260301060000 C"T" stop="20260301064500">)",
      R"(<programme start="20260301060000 cet" stop="20260301064500 utc">)",
      R"(<programme start="20260301060000 CET " stop="20260301064500">)",
      R"(<programme start="20260301060000 +01000" stop="20260301064500">)",
      R"(<programme start="2026030106000" stop="20260301064500">)",
      R"(<programme start="20260301060000 CET" stop="20260301064500 CET" stop="2026">)",
      R"(<programme start="20260301060000" stop="20260301064500" pdc-start="20260301060000">)",
      R"(<programme start="20260230060000 CET" stop="20260301064500 CET">)",
      R"(<programme start="20260301060000 CET" stop="20260301246000 CET">)",
      R"(<programme start="20260301060000 CET" stop="20260230064500">)",
      R"(<programme start="20260301060000 CET" stop="20260301064500 CET">)"
      R"(<title>x</title></programme>)",
      R"(<programme  start="20260301060000 CET" stop="20260301064500">)",
      R"(<programme stop="20260301064500 CET" start="20260301060000 CET">)",
      R"(<PROGRAMME start="20260301060000 CET" stop="20260301064500">)",
  };
  const struct {
    bool cet;
    std::int32_t offset;
  } settings[] = {{false, 0}, {true, 0}, {true, -7}, {true, 150}};
  // Up to and past the piece the direct path copies the line's start in;
  // the rests of the tags, too, are shorter and longer than that piece.
  const std::size_t kIndents[] = {0, 1, 2, 14, 15, 40};
  for (const auto& setting : settings) {
    TimeStampNormaliser direct(setting.cet, setting.offset);
    TimeStampNormaliser general(setting.cet, setting.offset);
    for (const std::size_t indent : kIndents) {
      for (const std::string& tag : tags) {
        const std::string line = std::string(indent, ' ') + tag;
        const Rewrite ours = RewriteWith(direct, line);
        const Rewrite theirs = RewriteWith(general, "\t" + line);
        EXPECT_EQ(ours.rewritten, theirs.rewritten) << line;
        EXPECT_EQ(ours.failure, theirs.failure) << line;
        if (theirs.rewritten) {
          EXPECT_EQ("\t" + ours.out, theirs.out) << line;
        }
      }
    }
  }
}

TEST(RewriteOpeningLine, ReplacesTheStartAndStopValuesInPlace) {
  struct Case {
    const char* name;
    bool cet;
    std::int32_t cetoffset;
    std::string line;
    std::string expected;
  };
  const Case cases[] = {
      {"start then stop", false, 0,
       R"(  <programme start="20070715193000 UTC" stop="20070715203000 CET" channel="ned1">)",
       R"(  <programme start="20070715193000 +0000" stop="20070715203000 +0200" channel="ned1">)"},
      {"stop then start", false, 0,
       R"(  <programme stop="20070115203000 CET" channel="a" start="20070115193000 UTC">)",
       R"(  <programme stop="20070115203000 +0100" channel="a" start="20070115193000 +0000">)"},
      {"no stop", false, 0, R"(  <programme start="20070715193000 UTC" channel="a">)",
       R"(  <programme start="20070715193000 +0000" channel="a">)"},
      {"no start", false, 0, R"(  <programme channel="a" stop="20070715193000 UTC">)",
       R"(  <programme channel="a" stop="20070715193000 +0000">)"},
      {"pdc-start and vps-start stay", false, 0,
       R"(<programme pdc-start="20070715193000 UTC" vps-start="20070715193000 UTC" start="20070715193000 UTC">)",
       R"(<programme pdc-start="20070715193000 UTC" vps-start="20070715193000 UTC" start="20070715193000 +0000">)"},
      {"a tab before the attribute", false, 0,
       "<programme a=\"b\"\tstart=\"20070715193000 UTC\"\tstop=\"20070715193000 UTC\">",
       "<programme a=\"b\"\tstart=\"20070715193000 +0000\"\tstop=\"20070715193000 +0000\">"},
      {"short values are read as they are", false, 0, R"(<programme start="1 UTC" stop="">)",
       R"(<programme start="1 +0000" stop="">)"},
      {"the cet switch", true, -6,
       R"(<programme start="20070715193000" stop="20070115193000">)",
       R"(<programme start="20070715193000 -0400" stop="20070115193000 -0500">)"},
      {"values are trimmed", false, 0, R"(<programme start=" 20070715193000 +0100 ">)",
       R"(<programme start="20070715193000 +0100">)"},
      {"an unclosed value stays", false, 0,
       R"(<programme stop="20070715193000 UTC" start="20070715193000 UTC)",
       R"(<programme stop="20070715193000 +0000" start="20070715193000 UTC)"},
  };
  for (const Case& c : cases) {
    TimeStampNormaliser normaliser(c.cet, c.cetoffset);
    std::string out = "old";
    ASSERT_TRUE(RewriteOpeningLine(c.line, normaliser, out)) << c.name;
    EXPECT_EQ(out, c.expected) << c.name;
  }
}

TEST(RewriteOpeningLine, LeavesALineWithoutValuesAlone) {
  for (const std::string line :
       {R"(<programme channel="a">)", R"(<programme start="x)", R"(<programme xstart="1">)",
        R"(start="20070715193000 UTC">)", R"(<programme pdc-start="20070715193000 UTC">)"}) {
    TimeStampNormaliser normaliser(false, 0);
    std::string out = "old";
    EXPECT_FALSE(RewriteOpeningLine(line, normaliser, out)) << line;
    EXPECT_EQ(out, "old");
  }
}

TEST(RewriteOpeningLine, RaisesForAnInvalidTimeStamp) {
  TimeStampNormaliser cet(true, 0);
  TimeStampNormaliser plain(false, 0);
  std::string out;
  EXPECT_THROW(RewriteOpeningLine(R"(<programme start="20070">)", cet, out), EConvertError);
  EXPECT_THROW(RewriteOpeningLine(R"(<programme start="20070230120000 CET">)", plain, out),
               EConvertError);
  // The start value is converted first.
  try {
    RewriteOpeningLine(R"(<programme stop="20070231120000 CET" start="20070230120000 CET">)",
                       plain, out);
    FAIL();
  } catch (const EConvertError& failure) {
    EXPECT_NE(failure.message().find("2007/2/30"), std::string::npos) << failure.message();
  }
}

}  // namespace
}  // namespace zelvane
