#include "filter/line_rules.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelvane {
namespace {

FilterOptions Switches(bool tba, bool talpa) {
  FilterOptions options;
  options.tba = tba;
  options.talpa = talpa;
  return options;
}

const FilterOptions kNoSwitches = Switches(false, false);
const FilterOptions kTba = Switches(true, false);
const FilterOptions kTalpa = Switches(false, true);
const FilterOptions kAll = Switches(true, true);

// The title check for a whole line, as the filter makes it from where
// classification found the title.
bool CheckTitle(std::string_view line, const FilterOptions& options) {
  return CheckTitleAt(line, line.find("<title"), options);
}

// The "<" among the first 32 bytes of `line`, as the reader marks them.
std::uint32_t TagStarts(std::string_view line) {
  std::uint32_t tags = 0;
  for (std::size_t at = 0; at < line.size() && at < 32; ++at) {
    if (line[at] == '<') tags |= std::uint32_t{1} << at;
  }
  return tags;
}

TEST(ClassifyLine, TakesTheFirstTestedHeadTextAndDemotesALineWithoutItsEndTag) {
  constexpr LineClass kFurther = LineClass::kFurther;
  struct Case {
    const char* line;
    LineClass lineClass;
    std::uint32_t at;
    bool demoted;
    std::uint8_t demotedElements;
  } cases[] = {
      {"    <title>T</title>", LineClass::kTitle, 4, false, 0},
      {"  <sub-title>S</sub-title>", LineClass::kSubTitle, 2, false, 0},
      {"<desc lang=\"nl\">D</desc>", LineClass::kDesc, 0, false, 0},
      {"  <kenmerken>K</kenmerken>", LineClass::kKenmerken, 2, false, 0},
      {"  </programme>", LineClass::kClosing, 2, false, 0},
      {"  <x/><desc>D</desc>", LineClass::kDesc, 6, false, 0},
      {"<desc><title>T</title>", LineClass::kTitle, 6, false, 0},
      {"  <category>c</category>", kFurther, 0, false, 0},
      {"    <desc>", kFurther, 4, true, ElementBit(LineClass::kDesc)},
      {"    <title><desc>", kFurther, 4, true,
       ElementBit(LineClass::kTitle) | ElementBit(LineClass::kDesc)},
      {"<desc><sub-title>", kFurther, 6, true,
       ElementBit(LineClass::kSubTitle) | ElementBit(LineClass::kDesc)},
      {"<title>T</programme>", kFurther, 0, true, ElementBit(LineClass::kTitle)},
      {"x              <title>T</title>", kFurther, 0, false, 0},
  };
  for (const Case& c : cases) {
    const LineKind kind = ClassifyLine(c.line, TagStarts(c.line));
    EXPECT_EQ(kind.lineClass, c.lineClass) << c.line;
    EXPECT_EQ(kind.at, c.at) << c.line;
    EXPECT_EQ(kind.demoted, c.demoted) << c.line;
    EXPECT_EQ(kind.demotedElements, c.demotedElements) << c.line;
  }
}

TEST(CheckTitle, AppliesOnlyTheRulesWhoseSwitchIsOn) {
  EXPECT_FALSE(CheckTitle("<title>to be announced</title>", kNoSwitches));
  EXPECT_FALSE(CheckTitle("<title>to be announced</title>", kTalpa));
  EXPECT_TRUE(CheckTitle("<title>to be announced</title>", kTba));
  EXPECT_FALSE(CheckTitle("<title>Talpa</title>", kTba));
  EXPECT_TRUE(CheckTitle("<title>Talpa</title>", kTalpa));
  EXPECT_TRUE(CheckTitle("<title>Talpa<", kTalpa));
  EXPECT_FALSE(CheckTitle("<title>Talpa", kTalpa));
  EXPECT_FALSE(CheckTitle("<title", kAll));
}

TEST(CheckTitle, FindsTheTagEndAndThePhraseAtEveryPlaceOfAWord) {
  // A plain model: the first ">" after "<title", then the phrase 1 to 9
  // bytes after it, or "talpa<" right after it.
  const auto model = [](const std::string& line) {
    const std::size_t tagEnd = line.find('>', line.find("<title"));
    if (tagEnd == std::string::npos) return false;
    std::string lower = line;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t distance = 1; distance <= 9; ++distance) {
      if (tagEnd + distance <= lower.size() &&
          lower.compare(tagEnd + distance, 15, "to be announced") == 0) {
        return true;
      }
    }
    return lower.compare(tagEnd + 1, 6, "talpa<") == 0;
  };
  for (std::size_t attribute = 0; attribute <= 40; ++attribute) {
    for (std::size_t distance = 1; distance <= 11; ++distance) {
      for (const std::string text : {"To Be Announced", "to be announce", "tt to be announced",
                                     "TALPA<", "talpa"}) {
        const std::string line = "    <title" + std::string(attribute, 'a') + ">" +
                                 std::string(distance - 1, 't') + text;
        EXPECT_EQ(CheckTitle(line, kAll), model(line)) << line;
      }
    }
  }
}

}  // namespace
}  // namespace zelvane
