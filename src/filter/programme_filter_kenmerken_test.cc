#include "filter/programme_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/programme_filter_test_support.h"

namespace zelvane::testing {
namespace {

TEST(FilterLine, PutsAFullStopBeforeKenmerkenAfterBytesAboveQuestionMark) {
  struct StopCase {
    std::string descText;
    std::string merged;
  };
  const std::vector<StopCase> cases = {
      {"Een film", "Een film. Kenmerken: Stereo"},
      {"Wie is het?", "Wie is het? Kenmerken: Stereo"},
      {"Deel 2", "Deel 2 Kenmerken: Stereo"},
      {"", " Kenmerken: Stereo"},
      {"Einde.", "Einde. Kenmerken: Stereo"},
      {"Zo!", "Zo! Kenmerken: Stereo"},
      {"Tijd:", "Tijd: Kenmerken: Stereo"},
      {"open ", "open  Kenmerken: Stereo"},
      {"a@", "a@. Kenmerken: Stereo"},
      {"a[", "a[. Kenmerken: Stereo"},
      {"a_", "a_. Kenmerken: Stereo"},
      {"a~", "a~. Kenmerken: Stereo"},
      {"caf\xE9", "caf\xE9. Kenmerken: Stereo"},
      {"x\x80", "x\x80. Kenmerken: Stereo"},
      {"x\xFF", "x\xFF. Kenmerken: Stereo"},
  };
  for (const StopCase& c : cases) {
    const Lines input = {kOpen, "    <desc>" + c.descText + "</desc>",
                         "    <kenmerken>Stereo</kenmerken>", kClose};
    EXPECT_EQ(Filter(kKenmerk, input),
              CrLf({kOpen, "    <desc>" + c.merged + "</desc>", kClose}))
        << c.descText;
  }
}

TEST(FilterLine, MergesBeforeCleaning) {
  // The full-stop test reads the desc as it came: markup at its end is a
  // ">" there, which takes no full stop, and becomes a blank afterwards.
  ExpectCases({{"line break at the end",
                kKenmerk,
                {kOpen, "    <desc>Nieuws<br></desc>", "    <kenmerken>HD</kenmerken>", kClose},
                {kOpen, "    <desc>Nieuws  Kenmerken: HD</desc>", kClose}},
               // The merged line is cleaned where only the kenmerken text
               // needs it, in a desc that needed none and in a built one.
               {"markup and ampersand from the kenmerken text",
                kKenmerk,
                {kOpen, "    <desc>Nieuws</desc>", "    <kenmerken>HD<br>A & B</kenmerken>",
                 kClose},
                {kOpen, "    <desc>Nieuws. Kenmerken: HD A &amp; B</desc>", kClose}},
               {"markup and ampersand in a built desc",
                kKenmerk,
                {kOpen, "    <kenmerken><p>A & B</kenmerken>", kClose},
                {kOpen, "  <desc>Kenmerken:  A &amp; B</desc>", kClose}}});
}

TEST(FilterLine, TakesTheKenmerkenTextBetweenItsTags) {
  ExpectCases({
      {"attributes", kKenmerk,
       {kOpen, "    <desc>D</desc>", R"(    <kenmerken lang="nl">Stereo, HD</kenmerken>)", kClose},
       {kOpen, "    <desc>D. Kenmerken: Stereo, HD</desc>", kClose}},
      {"empty element", kKenmerk,
       {kOpen, "    <desc>D</desc>", "    <kenmerken></kenmerken>", kClose},
       {kOpen, "    <desc>D. Kenmerken: </desc>", kClose}},
      {"the text goes before the desc end tag, what follows it stays", kKenmerk,
       {kOpen, R"(    <desc lang="nl">Film</desc> <!-- x -->)", "  <kenmerken>HD</kenmerken>",
        kClose},
       {kOpen, R"(    <desc lang="nl">Film. Kenmerken: HD</desc> <!-- x -->)", kClose}},
      {"end tag with a blank has no text", kKenmerk,
       {kOpen, "    <desc>D</desc>", "    <kenmerken>Stereo</kenmerken >", kClose},
       {kOpen, "    <desc>D. Kenmerken: </desc>", kClose}},
      {"no desc: one is built after the sub-title", kKenmerk,
       {kOpen, "    <title>T</title>", "    <kenmerken>Stereo</kenmerken>",
        "    <category>c</category>", "    <sub-title>S</sub-title>", kClose},
       {kOpen, "    <title>T</title>", "    <sub-title>S</sub-title>",
        "  <desc>Kenmerken: Stereo</desc>", "    <category>c</category>", kClose}},
      {"no kenmerken: nothing built", kKenmerk,
       {kOpen, "    <title>T</title>", kClose},
       {kOpen, "    <title>T</title>", kClose}},
  });
}

}  // namespace
}  // namespace zelvane::testing
