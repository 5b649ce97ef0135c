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

// A listing of the form "<tv>", one comment line, "</tv>" whose comment puts
// `bytes` at byte `index` (0-based) of the file.
std::string CommentWithBytesAt(std::size_t index, const std::string& bytes) {
  const std::string head = "<tv>\n<!-- ";
  return head + std::string(index - head.size(), 'x') + bytes + " -->\n</tv>\n";
}

// The lines of `listing` (LF ends), as they come out of a run that changes
// none of them.
std::vector<std::string> LinesOf(const std::string& listing) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  for (std::size_t end = listing.find('\n'); end != std::string::npos;
       begin = end + 1, end = listing.find('\n', begin)) {
    lines.push_back(listing.substr(begin, end - begin));
  }
  if (begin < listing.size()) lines.push_back(listing.substr(begin));
  return lines;
}

// With the ISO-8859-1 declaration in front.
std::vector<std::string> Declared(std::vector<std::string> lines) {
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
  lines.insert(lines.begin(), 1, declaration);
  return lines;
}

// Listings as grabbers write them today: one run each, into out.xml, and
// nothing else is created.
TEST(FilterProgram, WritesTodaysFeedsRight) {
  struct Case {
    std::string name;
    std::vector<std::string> switches;  // after "listing.xml"
    std::string input;
    std::vector<std::string> expected;
  };
  const std::string open = R"(  <programme start="20070715120000" stop="20070715130000" channel="a">)";
  const std::string opened = R"(  <programme start="20070715120000 +0200" stop="20070715130000 +0200" channel="a">)";
  const std::string utf8 = "<tv>\n<x>Sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F" "e &#233; &#8217;</x>\n</tv>\n";
  const std::string bad = CommentWithBytesAt(65535, "\xFF");
  const std::vector<std::string> out = {"--output", "out.xml"};
  const std::vector<std::string> cetOut = {"--output", "out.xml", "--cet"};
  const std::vector<Case> cases = {
      // A listing without declared encoding: the first 65,536 bytes decide.
      {"utf-8 without declaration", out, utf8,
       {"<tv>", "<x>Sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F" "e \xC3\xA9 \xE2\x80\x99</x>", "</tv>"}},
      {"latin-1 without declaration", out, "<tv>\n<x>caf\xE9 &#233;</x>\n</tv>\n",
       Declared({"<tv>", "<x>caf\xE9 \xE9</x>", "</tv>"})},
      {"ascii only", out, "<tv>\n<x>&#233;</x>\n</tv>\n", Declared({"<tv>", "<x>\xE9</x>", "</tv>"})},
      {"declaration without encoding, utf-8", out,
       "<?xml version=\"1.0\"?>\n<x>\xC3\xA9</x>\n", {"<?xml version=\"1.0\"?>", "<x>\xC3\xA9</x>"}},
      {"utf-8 sequence whole inside the 65,536 bytes", out,
       CommentWithBytesAt(65534, "\xC3\xA9"), LinesOf(CommentWithBytesAt(65534, "\xC3\xA9"))},
      {"utf-8 sequence cut off by the 65,536th byte", out, CommentWithBytesAt(65535, "\xC3!"),
       LinesOf(CommentWithBytesAt(65535, "\xC3!"))},
      {"invalid 65,536th byte", out, bad, Declared(LinesOf(bad))},
      {"invalid byte just after the 65,536", out,
       CommentWithBytesAt(65536, "\xFF").replace(20, 2, "\xC3\xA9"),
       LinesOf(CommentWithBytesAt(65536, "\xFF").replace(20, 2, "\xC3\xA9"))},
      {"utf-8 sequence cut off by the end of the input", out, "<tv>\n<x>\xE2\x82",
       {"<tv>", "<x>\xE2\x82"}},
      // Time stamps with an offset attached, partial dates.
      {"offset attached at the 15th character", cetOut,
       "<tv>\n  <programme start=\"20240715120000+0200\" stop=\" 20240715130000-0500 CET\">\n"
       "  </programme>\n",
       Declared({"<tv>",
                 "  <programme start=\"20240715120000+0200\" stop=\"20240715130000-0500 CET\">",
                 "  </programme>"})},
      {"offset attached at the 16th character", cetOut,
       "<tv>\n  <programme start=\"202407151200000+0200\" stop=\"20240715130000+0200\">\n"
       "  </programme>\n",
       Declared({"<tv>",
                 "  <programme start=\"202407151200000+0200 +0200\" stop=\"20240715130000+0200\">",
                 "  </programme>"})},
      {"year and year-month dates", cetOut,
       "<tv>\n  <programme start=\"2007\" stop=\"200707\">\n  </programme>\n",
       Declared({"<tv>", "  <programme start=\"2007 +0100\" stop=\"200707 +0200\">",
                 "  </programme>"})},
      {"partial CET dates", out,
       "<tv>\n  <programme start=\"2007 CET\" stop=\"200707 CET\">\n  </programme>\n",
       Declared({"<tv>", "  <programme start=\"2007 +0100\" stop=\"200707 +0200\">",
                 "  </programme>"})},
      // Cleaning.
      {"paragraph end tags", out, "<tv>\n<desc><p>one</p><P>two</P></desc>\n</tv>\n",
       Declared({"<tv>", "<desc> one  two </desc>", "</tv>"})},
      {"references to DEL and the C1 controls", out,
       "<tv>\n<x>&#126;&#127;&#150;&#x9F;&#160; &#150 \\&#159;</x>\n</tv>\n",
       Declared({"<tv>", "<x>~&#127;&#150;&#x9F;\xA0 &amp;#150 &#159;</x>", "</tv>"})},
      {"C1 controls in a UTF-8 listing", out, "<tv>\n<x>\xC3\xA9&#150;&#160;</x>\n",
       {"<tv>", "<x>\xC3\xA9&#150;\xC2\xA0</x>"}},
      // Values after "=".
      {"--output=, then --cet", {"--output=out.xml", "--cet"},
       "<tv>\n" + open + "\n  </programme>\n",
       Declared({"<tv>", opened, "  </programme>"})},
      {"--cet=-1 and --rating=x", {"--rating=x", "--OUTPUT='out.xml'", "--cet=-1"},
       "<tv>\n" + open + "\n  </programme>\n",
       Declared({"<tv>",
                 R"(  <programme start="20070715120000 +0100" stop="20070715130000 +0100" channel="a">)",
                 "  </programme>"})},
      // Programmes whose closing line never comes.
      {"closing tag beyond the 20th character", {"--output", "out.xml", "--kenmerk"},
       "<tv>\n" + open + "\n    <title>A</title>\n    <kenmerken>HD</kenmerken>\n"
       "          </programme>\n" + open + "\n    <title>B</title>\n          </programme>\n</tv>\n",
       Declared({"<tv>", open, "    <title>A</title>",
                 "  <desc>Kenmerken: HD</desc>", "          </programme>", open,
                 "    <title>B</title>", "          </programme>", "</tv>"})},
      {"cut-off download", out,
       "<tv>\n" + open + "\n    <title>A</title>\n  </programme>\n" + open +
           "\n    <category>x</category>\n    <title>B</title>\n    <desc>D",
       Declared({"<tv>", open, "    <title>A</title>", "  </programme>", open,
                 "    <title>B</title>", "    <category>x</category>", "    <desc>D"})},
      {"drop rules apply to an unclosed programme", {"--output", "out.xml", "--tba"},
       "<tv>\n" + open + "\n    <title>To be announced</title>\n" + open +
           "\n    <title>B</title>\n  </programme>\n" + open + "\n    <title>To be announced</title>\n",
       Declared({"<tv>", open, "    <title>B</title>", "  </programme>"})},
  };
  for (const Case& c : cases) {
    const std::filesystem::path directory = FreshDirectory("feeds");
    WriteFile(directory / "listing.xml", c.input);
    std::vector<std::string> arguments = {"listing.xml"};
    arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
    const ProgramResult result = RunProgram(arguments, directory);
    EXPECT_EQ(result.status, 0) << c.name;
    EXPECT_EQ(result.err, "") << c.name;
    EXPECT_EQ(ReadFile(directory / "out.xml"), CrLf(c.expected)) << c.name;
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
      ++files;
    }
    EXPECT_EQ(files, 2u) << c.name << ": nothing but the listing and out.xml";
  }
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
