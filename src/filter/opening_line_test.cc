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

}  // namespace
}  // namespace zelvane
