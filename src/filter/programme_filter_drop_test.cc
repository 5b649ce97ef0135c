#include "filter/programme_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/programme_filter_test_support.h"

namespace zelvane::testing {
namespace {

// A programme around `title`, with one further line.
Lines TitledProgramme(const std::string& titleText) {
  return {kOpen, "    <title>" + titleText + "</title>", "    <length>5</length>", kClose};
}

TEST(FilterLine, DropsToBeAnnouncedWithinNineCharactersOfTheTag) {
  // The phrase starting right after the ">" is at distance 1; eight other
  // characters before it make distance 9, the last that drops.
  for (int distance = 1; distance <= 11; ++distance) {
    const std::string title = std::string(static_cast<std::size_t>(distance - 1), 'x') +
                              "to be announced";
    const Lines input = TitledProgramme(title);
    const bool dropped = distance <= 9;
    EXPECT_EQ(Filter(kTba, input), dropped ? "" : CrLf(input)) << "distance " << distance;
    EXPECT_EQ(Filter(kNoSwitches, input), CrLf(input)) << "distance " << distance;
  }
}

TEST(FilterLine, TestsToBeAnnouncedInAnyCapitalisation) {
  for (const char* title : {"To Be Announced", "TO BE ANNOUNCED", "Film: to be announced",
                            "tO bE aNnOuNcEd later", "Nu: To be announced"}) {
    EXPECT_EQ(Filter(kTba, TitledProgramme(title)), "") << title;
  }
  for (const char* title : {"Programma: to be announced", "to be announce", "to  be announced",
                            "tba", "T\xD3 be announced"}) {
    EXPECT_EQ(Filter(kTba, TitledProgramme(title)), CrLf(TitledProgramme(title))) << title;
  }
  // The phrase in the start tag's attributes is not the title's text.
  const Lines inAttribute = {kOpen, R"(    <title lang="to be announced">X</title>)", kClose};
  EXPECT_EQ(Filter(kTba, inAttribute), CrLf(inAttribute));
}

TEST(FilterLine, DropsATitleThatIsExactlyTalpa) {
  for (const char* title : {"Talpa", "TALPA", "talpa", "tAlPa"}) {
    EXPECT_EQ(Filter(kTalpa, TitledProgramme(title)), "") << title;
    EXPECT_EQ(Filter(kNoSwitches, TitledProgramme(title)), CrLf(TitledProgramme(title)))
        << title;
  }
  for (const char* title : {"Talpa Nieuws", " Talpa", "Talpa ", "Talpa.", "Talp", ""}) {
    EXPECT_EQ(Filter(kTalpa, TitledProgramme(title)), CrLf(TitledProgramme(title))) << title;
  }
  const Lines withLanguage = {kOpen, R"(    <title lang="nl">Talpa</title>)", kClose};
  EXPECT_EQ(Filter(kTalpa, withLanguage), "");
  EXPECT_EQ(Filter(kTba, withLanguage), CrLf(withLanguage));
}

TEST(FilterLine, DropsTheWholeProgrammeAndWritesTheNext) {
  const Lines first = TitledProgramme("To be announced");
  Lines input = first;
  const Lines second = TitledProgramme("Journaal");
  input.insert(input.end(), second.begin(), second.end());
  EXPECT_EQ(Filter(kTba, input), CrLf(second));
  EXPECT_EQ(Filter(kNoSwitches, input), CrLf(input));
  ExpectCases({
      {"a matching first title drops it though a second does not match",
       kTba,
       {kOpen, "    <title>To be announced</title>", "    <title>Film</title>", kClose},
       {}},
      {"a matching second title drops it",
       kTalpa,
       {kOpen, R"(    <title lang="en">Film</title>)", R"(    <title lang="nl">TALPA</title>)",
        kClose},
       {}},
      {"a title line without its tag's > is kept and never tested",
       kAll,
       {kOpen, "    <title to be announced</title", kClose},
       {kOpen, "    <title to be announced</title", kClose}},
  });
}

TEST(FilterLine, ForgetsADropDecisionAtTheNextOpeningLine) {
  // The dropped programme never closes; the next one is not dropped with it.
  ExpectCases({{"unclosed dropped programme",
                kTba,
                {kOpen, "    <title>To be announced</title>", kOpen, "    <title>Film</title>",
                 kClose},
                {kOpen, "    <title>Film</title>", kClose}}});
}

}  // namespace
}  // namespace zelvane::testing
