#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "program_runner.h"

namespace zelvane::testing {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(ZELVANE_TEST_DATA) / "filter";

// A fixture's text with the CR LF line ends that the program writes; the
// fixtures themselves are kept with LF.
std::string Fixture(const std::string& name) {
  const std::string text = ReadFile(kFixtures / name);
  std::string crLf;
  crLf.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') crLf.push_back('\r');
    crLf.push_back(c);
  }
  return crLf;
}

struct ListingRun {
  const char* name;
  const char* input;
  std::vector<std::string> switches;
  const char* expected;
};

TEST(FilterProgram, WritesWholeListingsAsExpected) {
  const std::vector<ListingRun> runs = {
      {"road_kenmerk", "road.xml", {"--kenmerk"}, "road.kenmerk.expected.xml"},
      {"road_plain", "road.xml", {}, "road.plain.expected.xml"},
      {"drops_tba_talpa", "drops.xml", {"--tba", "--talpa"}, "drops.tba-talpa.expected.xml"},
      {"drops_talpa", "drops.xml", {"--talpa"}, "drops.talpa.expected.xml"},
      {"drops_plain", "drops.xml", {}, "drops.xml"},
      {"merges_kenmerk", "merges.xml", {"--kenmerk"}, "merges.kenmerk.expected.xml"},
      {"layout_all", "layout.xml", {"--kenmerk", "--tba", "--talpa", "--cet"},
       "layout.all.expected.xml"},
  };
  for (const ListingRun& run : runs) {
    const std::filesystem::path directory = FreshDirectory(std::string("filter_") + run.name);
    const std::string source = ReadFile(kFixtures / run.input);
    WriteFile(directory / "listing.xml", source);
    std::vector<std::string> arguments = {"listing.xml", "--output", "out.xml"};
    arguments.insert(arguments.end(), run.switches.begin(), run.switches.end());
    const ProgramResult result = RunProgram(arguments, directory);
    EXPECT_EQ(result.status, 0) << run.name;
    EXPECT_EQ(result.err, "") << run.name;
    EXPECT_EQ(ReadFile(directory / "out.xml"), Fixture(run.expected)) << run.name;
    EXPECT_EQ(ReadFile(directory / "listing.xml"), source) << run.name;
    std::filesystem::remove_all(directory);
  }
}

TEST(FilterProgram, ReplacesTheSourceWithTheFilteredListing) {
  const std::filesystem::path directory = FreshDirectory("filter_replace");
  WriteFile(directory / "listing.xml", ReadFile(kFixtures / "road.xml"));
  const ProgramResult result =
      RunProgram({"listing.xml", "--output", "listing.xml", "--kenmerk"}, directory);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ReadFile(directory / "listing.xml"), Fixture("road.kenmerk.expected.xml"));
  EXPECT_FALSE(std::filesystem::exists(directory / "listing.~tm"));
  std::filesystem::remove_all(directory);
}

// "Exception EConvertError in module zelvane at XXXXXXXX.", the message and
// an empty line, XXXXXXXX being eight upper-case hexadecimal digits.
void ExpectConvertReport(const std::string& err, const std::string& message) {
  const std::string head = "Exception EConvertError in module " + kModule + " at ";
  const std::string tail = ".\r\n" + message + "\r\n\r\n";
  ASSERT_EQ(err.size(), head.size() + 8 + tail.size()) << err;
  EXPECT_EQ(err.substr(0, head.size()), head) << err;
  for (char c : err.substr(head.size(), 8)) {
    EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << err;
  }
  EXPECT_EQ(err.substr(head.size() + 8), tail) << err;
}

TEST(FilterProgram, EndsAtAnImpossibleTimeStampWithTheWholeBlocksWritten) {
  const std::string source = ReadFile(kFixtures / "failure.xml");
  const std::string before = Fixture("failure.before.xml");
  const std::string blocks = before.substr(0, before.size() / 128 * 128);
  ASSERT_GE(blocks.size(), 128u);
  const std::string message = "''2007/2/30 12:0:0.0'' is not a valid date and time.";

  const std::filesystem::path directory = FreshDirectory("filter_failure");
  WriteFile(directory / "listing.xml", source);
  const ProgramResult result =
      RunProgram({"listing.xml", "--output", "out.xml", "--cet"}, directory);
  EXPECT_EQ(result.status, 1);
  ExpectConvertReport(result.err, message);
  // The destination is never created; the working file keeps the blocks.
  EXPECT_FALSE(std::filesystem::exists(directory / "out.xml"));
  EXPECT_EQ(ReadFile(directory / "out.~tm"), blocks);
  EXPECT_EQ(ReadFile(directory / "listing.xml"), source);

  // Replacing the source: the source stays, the working file keeps the blocks.
  const ProgramResult replacing =
      RunProgram({"listing.xml", "--output", "listing.xml", "--cet"}, directory);
  EXPECT_EQ(replacing.status, 1);
  ExpectConvertReport(replacing.err, message);
  EXPECT_EQ(ReadFile(directory / "listing.xml"), source);
  EXPECT_EQ(ReadFile(directory / "listing.~tm"), blocks);

  // Without the cet switch a stamp without zone is never read.
  const ProgramResult plain = RunProgram({"listing.xml", "--output", "plain.xml"}, directory);
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.err, "");
  std::filesystem::remove_all(directory);
}

// Zone-less stamps take the chosen zone's offsets, in place of --cet's;
// other stamps stay as --cet makes them. An unknown zone, and any zone in a
// build without time zones, ends the run before the output exists.
TEST(FilterProgram, TzGivesZoneLessStampsTheZonesOffsets) {
  const std::string listing = CrLf({
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
      "<tv>",
      "  <programme start=\"20240310023000\" stop=\"20241103013000\" channel=\"a\">",
      "  </programme>",
      "  <programme start=\"20240715200000 CET\" stop=\"20240715200000 +0100\" channel=\"a\">",
      "  </programme>",
      "</tv>",
  });
  const std::filesystem::path directory = FreshDirectory("filter_tz");
  WriteFile(directory / "listing.xml", listing);
  const ProgramResult result = RunProgram(
      {"listing.xml", "--output", "out.xml", "--cet", "-6", "--tz", "America/New_York"},
      directory);
  const std::string report =
      "tz: add the offset of time zone America/New_York for missing references\r\n";
  EXPECT_NE(result.out.find(report), std::string::npos) << result.out;
  if (kOnWindows) {
    EXPECT_EQ(result.status, 1);
    ExpectFailureReport(result.err, "EConvertError",
                        "Time zones are not available in this build, so \"America/New_York\" "
                        "cannot be used; use --cet with an offset instead.");
    EXPECT_FALSE(std::filesystem::exists(directory / "out.xml"));
  } else {
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    std::string expected = listing;
    for (const auto& [from, to] : {std::pair{"023000\"", "023000 -0400\""},
                                   std::pair{"013000\"", "013000 -0400\""},
                                   std::pair{"200000 CET", "200000 +0200"}}) {
      expected.replace(expected.find(from), std::string(from).size(), to);
    }
    EXPECT_EQ(ReadFile(directory / "out.xml"), expected);

    const ProgramResult unknown = RunProgram(
        {"listing.xml", "--output", "unknown.xml", "--tz", "Europe/Nowhere"}, directory);
    EXPECT_EQ(unknown.status, 1);
    ExpectFailureReport(unknown.err, "EConvertError", "Unknown time zone \"Europe/Nowhere\".");
    EXPECT_FALSE(std::filesystem::exists(directory / "unknown.xml"));
  }
  EXPECT_EQ(ReadFile(directory / "listing.xml"), listing);
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace zelvane::testing
