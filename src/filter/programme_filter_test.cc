#include "filter/programme_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/captured_output.h"
#include "base/failure.h"
#include "filter/line_cleaning.h"
#include "filter/programme_filter_test_support.h"

namespace zelvane::testing {
namespace {

TEST(FilterLine, CarriesOneProgrammeThroughTheWholeRoad) {
  const Lines input = {
      R"(  <programme start="20070715203000 CET" stop="20070715213000 CET" channel="ned1">)",
      R"(    <title lang="nl">Journaal</title>)",
      R"(    <desc lang="nl">Nieuws<br>en weer</desc>)",
      R"(    <kenmerken>Stereo</kenmerken>)",
      R"(    <category lang="nl">nieuws</category>)",
      "  </programme>",
  };
  EXPECT_EQ(Filter(kKenmerk, input),
            CrLf({
                R"(  <programme start="20070715203000 +0200" stop="20070715213000 +0200" channel="ned1">)",
                R"(    <title lang="nl">Journaal</title>)",
                R"(    <desc lang="nl">Nieuws en weer. Kenmerken: Stereo</desc>)",
                R"(    <category lang="nl">nieuws</category>)",
                "  </programme>",
            }));
  // Without the switch the kenmerken line keeps its slot after the desc.
  EXPECT_EQ(Filter(kNoSwitches, input),
            CrLf({
                R"(  <programme start="20070715203000 +0200" stop="20070715213000 +0200" channel="ned1">)",
                R"(    <title lang="nl">Journaal</title>)",
                R"(    <desc lang="nl">Nieuws en weer</desc>)",
                R"(    <kenmerken>Stereo</kenmerken>)",
                R"(    <category lang="nl">nieuws</category>)",
                "  </programme>",
            }));
}

TEST(FilterLine, WritesSlotsInTheirOrderWhateverTheArrivalOrder) {
  ExpectCases({
      {"named lines after further lines",
       kNoSwitches,
       {kOpen, "    <category>x</category>", "    <kenmerken>K</kenmerken>",
        "    <desc>D</desc>", "    <sub-title>S</sub-title>", "    <title>T</title>", kClose},
       {kOpen, "    <title>T</title>", "    <sub-title>S</sub-title>", "    <desc>D</desc>",
        "    <kenmerken>K</kenmerken>", "    <category>x</category>", kClose}},
      {"only the most recent kenmerken line is kept",
       kNoSwitches,
       {kOpen, "    <kenmerken>A</kenmerken>", "    <kenmerken>B</kenmerken>", kClose},
       {kOpen, "    <kenmerken>B</kenmerken>", kClose}},
  });
}

TEST(FilterLine, KeepsEveryRepeatedTitleSubTitleAndDescInArrivalOrder) {
  ExpectCases({
      {"one per language",
       kNoSwitches,
       {kOpen, R"(    <title lang="de">Tagesschau</title>)",
        R"(    <title lang="en">News</title>)", R"(    <sub-title lang="de">A</sub-title>)",
        R"(    <sub-title lang="en">B</sub-title>)", R"(    <desc lang="de">Eins</desc>)",
        R"(    <desc lang="en">One</desc>)", kClose},
       {kOpen, R"(    <title lang="de">Tagesschau</title>)",
        R"(    <title lang="en">News</title>)", R"(    <sub-title lang="de">A</sub-title>)",
        R"(    <sub-title lang="en">B</sub-title>)", R"(    <desc lang="de">Eins</desc>)",
        R"(    <desc lang="en">One</desc>)", kClose}},
      {"the merge goes into the most recent desc",
       kKenmerk,
       {kOpen, R"(    <desc lang="de">Eins</desc>)", "    <kenmerken>HD</kenmerken>",
        R"(    <desc lang="en">One</desc>)", kClose},
       {kOpen, R"(    <desc lang="de">Eins</desc>)",
        R"(    <desc lang="en">One. Kenmerken: HD</desc>)", kClose}},
      {"the text goes before the first end tag, the rest of the line after it",
       kKenmerk,
       {kOpen, "    <desc>A</desc>", "    <desc>A</desc><desc>B</desc> x",
        "    <kenmerken>HD</kenmerken>", kClose},
       {kOpen, "    <desc>A</desc>", "    <desc>A. Kenmerken: HD</desc><desc>B</desc> x", kClose}},
  });
}

TEST(FilterLine, TreatsElementsRunningOverSeveralLinesAsFurtherLines) {
  ExpectCases({
      {"a desc over three lines keeps its place among the further lines", kNoSwitches,
       {kOpen, "    <x-extra>e</x-extra>", R"(    <desc lang="de">)", "      Text",
        "    </desc>", "    <kenmerken>HD</kenmerken>", kClose},
       {kOpen, "    <kenmerken>HD</kenmerken>", "    <x-extra>e</x-extra>",
        R"(    <desc lang="de">)", "      Text", "    </desc>", kClose}},
      {"no merge and no built desc beside it", kKenmerk,
       {kOpen, "    <x-extra>e</x-extra>", R"(    <desc lang="de">)", "      Text",
        "    </desc>", "    <kenmerken>HD</kenmerken>", kClose},
       {kOpen, "    <kenmerken>HD</kenmerken>", "    <x-extra>e</x-extra>",
        R"(    <desc lang="de">)", "      Text", "    </desc>", kClose}},
      {"a one-line desc beside it still takes the merge", kKenmerk,
       {kOpen, "    <desc>", "      Text", "    </desc>", "    <desc>Kort</desc>",
        "    <kenmerken>HD</kenmerken>", kClose},
       {kOpen, "    <desc>Kort. Kenmerken: HD</desc>", "    <desc>", "      Text",
        "    </desc>", kClose}},
      {"a title over two lines is never tested", kTba,
       {kOpen, "    <title>To be announced", "    </title>", kClose},
       {kOpen, "    <title>To be announced", "    </title>", kClose}},
      {"a kenmerken line over two lines is not merged", kKenmerk,
       {kOpen, "    <kenmerken>HD", "    </kenmerken>", kClose},
       {kOpen, "    <kenmerken>HD", "    </kenmerken>", kClose}},
      {"a title line over two lines that starts a desc counts as one", kKenmerk,
       {kOpen, "    <title><desc>", "    </desc></title>", "    <kenmerken>HD</kenmerken>",
        kClose},
       {kOpen, "    <kenmerken>HD</kenmerken>", "    <title><desc>", "    </desc></title>",
        kClose}},
      {"a sub-title over two lines", kNoSwitches,
       {kOpen, "    <sub-title>Deel", "    </sub-title>", "    <title>T</title>", kClose},
       {kOpen, "    <title>T</title>", "    <sub-title>Deel", "    </sub-title>", kClose}},
  });
}

TEST(FilterLine, RecognisesNamedLinesWithinTwentyCharactersFromTheFirstNonBlank) {
  // Indentation never hides an element; text before it counts.
  const std::string indent(30, ' ');
  const std::string title14 = "x" + std::string(13, ' ');
  const std::string title15 = "x" + std::string(14, ' ');
  const std::string kenmerken10 = "x" + std::string(9, ' ');
  const std::string kenmerken11 = "x" + std::string(10, ' ');
  const std::string closing9 = "x" + std::string(8, ' ');
  const std::string closing10 = "x" + std::string(9, ' ');
  ExpectCases({
      {"<title behind any indentation is a title", kTba,
       {kOpen, indent + "\t <title>To be announced</title>", kClose},
       {}},
      {"<title ending at character 20 is a title", kTba,
       {kOpen, title14 + "<title>To be announced</title>", kClose},
       {}},
      {"<title ending after character 20 is a further line", kTba,
       {kOpen, title15 + "<title>To be announced</title>", "    <desc>D</desc>", kClose},
       {kOpen, "    <desc>D</desc>", title15 + "<title>To be announced</title>", kClose}},
      {"<kenmerken behind any indentation is merged", kKenmerk,
       {kOpen, "    <desc>D</desc>", indent + "<kenmerken>HD</kenmerken>", kClose},
       {kOpen, "    <desc>D. Kenmerken: HD</desc>", kClose}},
      {"<kenmerken ending at character 20 is merged", kKenmerk,
       {kOpen, "    <desc>D</desc>", kenmerken10 + "<kenmerken>HD</kenmerken>", kClose},
       {kOpen, "    <desc>D. Kenmerken: HD</desc>", kClose}},
      {"<kenmerken ending after character 20 is a further line", kKenmerk,
       {kOpen, kenmerken11 + "<kenmerken>HD</kenmerken>", "    <desc>D</desc>", kClose},
       {kOpen, "    <desc>D</desc>", kenmerken11 + "<kenmerken>HD</kenmerken>", kClose}},
      {"</programme behind any indentation closes", kNoSwitches,
       {kOpen, indent + "</programme>", "<after/>"},
       {kOpen, indent + "</programme>", "<after/>"}},
      {"</programme ending at character 20 closes", kNoSwitches,
       {kOpen, closing9 + "</programme>", "<after/>"},
       {kOpen, closing9 + "</programme>", "<after/>"}},
      {"</programme ending after character 20 does not", kNoSwitches,
       {kOpen, closing10 + "</programme>", "<after/>"},
       {kOpen, closing10 + "</programme>", "<after/>"}},
      {"so the title after it still belongs to the programme", kTba,
       {kOpen, closing10 + "</programme>", "    <title>To be announced</title>"},
       {}},
  });
}

TEST(FilterLine, WritesLinesOutsideProgrammesAtOnce) {
  ExpectCases({
      {"channel definitions and the root element", kAll,
       {"<tv>", R"(  <channel id="ned1">)", R"(    <display-name>Ned 1</display-name>)",
        "  </channel>", "<!-- comment -->", "</tv>"},
       {"<tv>", R"(  <channel id="ned1">)", R"(    <display-name>Ned 1</display-name>)",
        "  </channel>", "<!-- comment -->", "</tv>"}},
      {"empty lines outside are written, inside they are not", kNoSwitches,
       {"", kOpen, "", "    <title>T</title>", "", kClose, ""},
       {"", kOpen, "    <title>T</title>", kClose, ""}},
      {"stray element lines are written where they stand and hold nothing", kAll,
       {"    <title>To be announced</title>", "    <desc>Stray</desc>",
        "    <kenmerken>HD</kenmerken>", "    <sub-title>S</sub-title>", kOpen,
        "    <title>Film</title>", kClose},
       {"    <title>To be announced</title>", "    <desc>Stray</desc>",
        "    <kenmerken>HD</kenmerken>", "    <sub-title>S</sub-title>", kOpen,
        "    <title>Film</title>", kClose}},
      {"a stray closing line is written once and does not repeat the programme", kNoSwitches,
       {kOpen, "    <title>Film</title>", kClose, kClose},
       {kOpen, "    <title>Film</title>", kClose, kClose}},
      {"a line opening a programme anywhere is an opening line", kNoSwitches,
       {"<!-- x --><programme channel=\"a\">", "    <title>T</title>", kClose},
       {"<!-- x --><programme channel=\"a\">", "    <title>T</title>", kClose}},
      {"\"<programme\" without its blank opens nothing", kNoSwitches,
       {"<programmes>", "<programme\tchannel=\"a\">", "    <title>T</title>", "</programmes>"},
       {"<programmes>", "<programme\tchannel=\"a\">", "    <title>T</title>", "</programmes>"}},
  });
}

TEST(FilterLine, FinishesAProgrammeThatNeverCloses) {
  ExpectCases({
      {"input ends inside", kNoSwitches,
       {"<tv>", kOpen, "    <title>T</title>", "    <desc>D</desc>"},
       {"<tv>", kOpen, "    <title>T</title>", "    <desc>D</desc>"}},
      {"a new opening line finishes the lines gathered", kNoSwitches,
       {kOpen, "    <x/>", "    <title>First</title>", kOpen, "    <title>Second</title>", kClose},
       {kOpen, "    <title>First</title>", "    <x/>", kOpen, "    <title>Second</title>", kClose}},
  });
}

TEST(FilterLine, KeepsEveryFurtherLineOfALongProgramme) {
  for (int count : {145, 146, 5000}) {
    Lines input = {kOpen};
    for (int i = 0; i < count; ++i) input.push_back("    <x n=\"" + std::to_string(i) + "\"/>");
    input.push_back(kClose);
    EXPECT_EQ(Filter(kAll, input), CrLf(input)) << count;
  }
}

TEST(FilterLine, StaysLinearInTheLengthOfAProgramme) {
  // A quadratic step would take minutes here.
  CapturedOutput output;
  ProgrammeFilter filter(output.writer(), kAll, ListingEncoding::kLatin1);
  filter.FilterLine(kOpen);
  const std::string further = "    <actor>Someone</actor>";
  for (int i = 0; i < 1000000; ++i) filter.FilterLine(further);
  filter.FilterLine(kClose);
  EXPECT_EQ(output.Take().size(), kOpen.size() + kClose.size() + 1000000 * (further.size() + 2) + 4);
}

TEST(FilterLine, WritesAProgrammeOnOneLineAtOnce) {
  const std::string whole =
      R"(  <programme start="20070715203000 +0200" channel="a"><title>To be announced</title><kenmerken>HD</kenmerken></programme>)";
  ExpectCases({
      {"no rule applies to it", kAll, {"<tv>", whole, "</tv>"}, {"<tv>", whole, "</tv>"}},
      {"it finishes an open programme", kNoSwitches,
       {kOpen, "    <title>Open</title>", whole, "    <title>Outside</title>", kClose},
       {kOpen, "    <title>Open</title>", whole, "    <title>Outside</title>", kClose}},
      {"it forgets a drop decision", kTba,
       {kOpen, "    <title>To be announced</title>", whole}, {whole}},
      {"several programmes on one line", kNoSwitches,
       {whole + whole}, {whole + whole}},
      {"its start tag need not end on the line", kNoSwitches,
       {R"(  <programme channel="a" </programme)", "    <title>Outside</title>"},
       {R"(  <programme channel="a" </programme)", "    <title>Outside</title>"}},
  });
}

TEST(FilterLine, KeepsAStartTagRunningOverSeveralLinesTogether) {
  ExpectCases({
      {"attributes on the following lines", kNoSwitches,
       {R"(  <programme channel="bbc2" start="20010829000500 +0100")",
        "\t     stop=\"20010829003000 +0100\" pdc-start=\"20010829000000 +0100\"",
        "\t     clumpidx=\"0/2\">", "    <title>Rameau</title>", kClose},
       {R"(  <programme channel="bbc2" start="20010829000500 +0100")",
        "\t     stop=\"20010829003000 +0100\" pdc-start=\"20010829000000 +0100\"",
        "\t     clumpidx=\"0/2\">", "    <title>Rameau</title>", kClose}},
      {"its lines are not classified", kKenmerk,
       {"  <programme channel=\"x\"", "  a=\"</programme\"", "  k=\"<kenmerken x</kenmerken\"",
        "  b=\"1\">", "    <title>Film</title>", kClose},
       {"  <programme channel=\"x\"", "  a=\"</programme\"", "  k=\"<kenmerken x</kenmerken\"",
        "  b=\"1\">", "    <title>Film</title>", kClose}},
      {"empty lines within it are not written", kNoSwitches,
       {"  <programme channel=\"x\"", "", "  b=\"1\">", kClose},
       {"  <programme channel=\"x\"", "  b=\"1\">", kClose}},
      {"a further opening line within it belongs to it", kNoSwitches,
       {"  <programme channel=\"x\"", "  <programme a=\"b\">", "    <title>T</title>", kClose},
       {"  <programme channel=\"x\"", "  <programme a=\"b\">", "    <title>T</title>", kClose}},
  });
}

// A text that cleaning changes again when it is cleaned a second time, or
// empty when there is none among the candidates.
std::string TwiceCleanableText() {
  for (const char* text : {"&#060;br&#062;", "\\\\&#1;", "\\\\&#233;", "&#038;#060;br>"}) {
    const std::string once = CleanLine(text, ListingEncoding::kLatin1);
    if (CleanLine(once, ListingEncoding::kLatin1) != once) return text;
  }
  return "";
}

TEST(FilterLine, CleansEveryWrittenLineExactlyOnce) {
  const std::string ref = TwiceCleanableText();
  if (ref.empty()) GTEST_SKIP() << "cleaning twice gives what cleaning once gives";
  struct OnceCase {
    const char* name;
    FilterOptions settings;
    Lines input;
    Lines expectedBeforeCleaning;
  };
  const std::vector<OnceCase> cases = {
      {"every slot", kNoSwitches,
       {"  <programme x=\"" + ref + "\"", " a=\"" + ref + "\">", "    <title>T" + ref + "</title>",
        "    <sub-title>S" + ref + "</sub-title>", "    <desc>D" + ref + "</desc>",
        "    <kenmerken>K" + ref + "</kenmerken>", "    <x>" + ref + "</x>",
        "  </programme>" + ref},
       {"  <programme x=\"" + ref + "\"", " a=\"" + ref + "\">", "    <title>T" + ref + "</title>",
        "    <sub-title>S" + ref + "</sub-title>", "    <desc>D" + ref + "</desc>",
        "    <kenmerken>K" + ref + "</kenmerken>", "    <x>" + ref + "</x>",
        "  </programme>" + ref}},
      {"merged and built desc lines", kKenmerk,
       {kOpen, "    <desc>D" + ref + "</desc>", "    <kenmerken>K" + ref + "</kenmerken>",
        kClose, kOpen, "    <kenmerken>K" + ref + "</kenmerken>", kClose},
       {kOpen, "    <desc>D" + ref + " Kenmerken: K" + ref + "</desc>", kClose, kOpen,
        "  <desc>Kenmerken: K" + ref + "</desc>", kClose}},
      {"outside and whole-programme lines", kNoSwitches,
       {"<tv " + ref + ">", "  <programme a=\"b\">" + ref + "</programme>"},
       {"<tv " + ref + ">", "  <programme a=\"b\">" + ref + "</programme>"}},
  };
  for (const OnceCase& c : cases) {
    Lines expected;
    for (const std::string& line : c.expectedBeforeCleaning) {
      expected.push_back(CleanLine(line, ListingEncoding::kLatin1));
    }
    EXPECT_EQ(Filter(c.settings, c.input), CrLf(expected)) << c.name;
  }
}

TEST(FilterLine, RewritesTheStampsOfTheOpeningLine) {
  struct Case {
    const char* name;
    FilterOptions settings;
    std::string line;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"start then stop", kNoSwitches,
       R"(  <programme start="20070715193000 UTC" stop="20070715203000 CET" channel="ned1">)",
       R"(  <programme start="20070715193000 +0000" stop="20070715203000 +0200" channel="ned1">)"},
      {"stop then start", kNoSwitches,
       R"(  <programme stop="20070115203000 CET" channel="a" start="20070115193000 UTC">)",
       R"(  <programme stop="20070115203000 +0100" channel="a" start="20070115193000 +0000">)"},
      {"no stop", kNoSwitches, R"(  <programme start="20070715193000 UTC" channel="a">)",
       R"(  <programme start="20070715193000 +0000" channel="a">)"},
      {"no start", kNoSwitches, R"(  <programme channel="a" stop="20070715193000 UTC">)",
       R"(  <programme channel="a" stop="20070715193000 +0000">)"},
      {"pdc-start and vps-start stay", kNoSwitches,
       R"(<programme pdc-start="20070715193000 UTC" vps-start="20070715193000 UTC" start="20070715193000 UTC">)",
       R"(<programme pdc-start="20070715193000 UTC" vps-start="20070715193000 UTC" start="20070715193000 +0000">)"},
      {"a tab before the attribute", kNoSwitches,
       "<programme a=\"b\"\tstart=\"20070715193000 UTC\"\tstop=\"20070715193000 UTC\">",
       "<programme a=\"b\"\tstart=\"20070715193000 +0000\"\tstop=\"20070715193000 +0000\">"},
      {"short values are read as they are", kNoSwitches, R"(<programme start="1 UTC" stop="">)",
       R"(<programme start="1 +0000" stop="">)"},
      {"the cet switch", Switches(false, false, false, true, -6),
       R"(<programme start="20070715193000" stop="20070115193000">)",
       R"(<programme start="20070715193000 -0400" stop="20070115193000 -0500">)"},
      {"values are trimmed", kNoSwitches, R"(<programme start=" 20070715193000 +0100 ">)",
       R"(<programme start="20070715193000 +0100">)"},
      {"an unclosed value stays", kNoSwitches,
       R"(<programme stop="20070715193000 UTC" start="20070715193000 UTC)",
       R"(<programme stop="20070715193000 +0000" start="20070715193000 UTC)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Filter(c.settings, {c.line + ">", kClose}), CrLf({c.expected + ">", kClose}))
        << c.name;
  }
}

TEST(FilterLine, RaisesForAnInvalidTimeStampOnTheOpeningLines) {
  // On an opening line and on a line its tag runs on.
  const FilterOptions cet = Switches(false, false, false, true);
  CapturedOutput output;
  ProgrammeFilter filter(output.writer(), cet, ListingEncoding::kLatin1);
  filter.FilterLine("<tv>");
  EXPECT_THROW(filter.FilterLine(R"(<programme start="20070">)"), EConvertError);
  ProgrammeFilter continued(output.writer(), cet, ListingEncoding::kLatin1);
  continued.FilterLine("<programme channel=\"a\"");
  EXPECT_THROW(continued.FilterLine(R"( start="20070">)"), EConvertError);
  EXPECT_EQ(output.Take(), "<tv>\r\n");
}

TEST(FilterLine, RewritesTheLinesAStartTagRunsOn) {
  ExpectCases({{"stamps on the following lines", kNoSwitches,
                {R"(  <programme channel="bbc2" start="20070715193000 UTC")",
                 "\t     stop=\"20070715203000 UTC\" pdc-start=\"20070715193000 UTC\"",
                 "\t     clumpidx=\"0/2\">", kClose},
                {R"(  <programme channel="bbc2" start="20070715193000 +0000")",
                 "\t     stop=\"20070715203000 +0000\" pdc-start=\"20070715193000 UTC\"",
                 "\t     clumpidx=\"0/2\">", kClose}}});
}

}  // namespace
}  // namespace zelvane::testing
