// Whole-program tests on input no listing generator should write: every byte
// value, enormous lines and programmes, files of nothing but control bytes,
// absurd numbers and names. Each run ends with the result the rules give,
// and its memory stays in proportion to what it has to hold.
#include "program_runner_posix.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zelvane::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";

// Every byte value but the three that shape lines (LF, CR and Ctrl-Z), in
// ascending order.
std::string EveryByte() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) {
    if (b != '\n' && b != '\r' && b != 26) bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

// `text` with every "&" escaped: what the cleaning makes of EveryByte(),
// whose "&" is followed by an apostrophe.
std::string Escaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) escaped += c == '&' ? std::string("&amp;") : std::string(1, c);
  return escaped;
}

// Compares large texts without printing them.
void ExpectSameBytes(const std::string& actual, const std::string& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  std::size_t at = 0;
  while (at < actual.size() && actual[at] == expected[at]) ++at;
  EXPECT_EQ(at, actual.size()) << "first difference at byte " << at;
}

// A run with its peak memory in KiB.
struct MeasuredRun {
  ProgramResult result;
  long peakKiB = 0;
};

MeasuredRun RunMeasured(const std::vector<std::string>& arguments, const fs::path& dir) {
  MeasuredRun run;
  run.result = FinishProgram(StartProgram(arguments, dir, true), dir, nullptr, &run.peakKiB);
  return run;
}

const std::vector<std::string> kAllSwitches = {"--cet", "--kenmerk", "--tba", "--talpa"};

std::vector<std::string> Arguments(const std::string& source, const std::string& destination,
                                   const std::vector<std::string>& switches = kAllSwitches) {
  std::vector<std::string> arguments{source, "--output", destination};
  arguments.insert(arguments.end(), switches.begin(), switches.end());
  return arguments;
}

TEST(Hostile, EveryByteValueInEveryKindOfLine) {
  const std::string all = EveryByte();
  const std::string clean = Escaped(all);
  const std::string high = all.substr(all.find('\x80'));  // 0x80 to 0xFF
  const std::string listing = "<tv " + all + ">\n" +
                              "  <channel>" + all + "</channel>\n" +
                              "  <programme start=\"20070715203000" + high +
                              " CET\" stop=\"20070715213000 CET\" channel=\"" + all + "\">\n" +
                              "    <title>" + all + "</title>\n" +
                              "    <sub-title>" + all + "</sub-title>\n" +
                              "    <desc>" + all + "</desc>\n" +
                              "    <kenmerken>" + all + "</kenmerken>\n" +
                              "    <x>" + all + "</x>\n" +
                              "  </programme>" + all + "\n" +
                              all + "\n";
  // The first line is copied; every other line is cleaned, the stamps get
  // their offsets and the characteristics go into the description, behind a
  // full stop as the description ends in a letter-like byte (0xFF).
  const std::string expected = CrLf({
      kDeclaration,
      "<tv " + all + ">",
      "  <channel>" + clean + "</channel>",
      "  <programme start=\"20070715203000" + high +
          " +0200\" stop=\"20070715213000 +0200\" channel=\"" + clean + "\">",
      "    <title>" + clean + "</title>",
      "    <sub-title>" + clean + "</sub-title>",
      "    <desc>" + clean + ". Kenmerken: " + clean + "</desc>",
      "    <x>" + clean + "</x>",
      "  </programme>" + clean,
      clean,
  });
  const fs::path dir = FreshDirectory("hostile_every_byte");
  WriteFile(dir / "listing.xml", listing);
  const ProgramResult run = RunProgram(Arguments("listing.xml", "out.xml"), dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(dir / "out.xml"), expected);
  EXPECT_EQ(ReadFile(dir / "listing.xml"), listing);
}

TEST(Hostile, HugeLineOfReferencesAndMarkup) {
  // 100 MB in the normal build; the sanitizers are many times slower and
  // hold more per byte, so they get a smaller line.
  const std::size_t units = (kAddressSanitizer ? 8 : 100) * 1000 * 1000 / 13;
  const fs::path dir = FreshDirectory("hostile_huge_line");
  std::size_t lineBytes = 0;
  {
    std::string line = "<tv>\n  <desc>";
    line.reserve(units * 13 + 100);
    for (std::size_t i = 0; i < units; ++i) line += "x&#233;<br>&y";
    line += "</desc>\n</tv>\n";
    lineBytes = line.size();
    WriteFile(dir / "listing.xml", line);
  }
  const MeasuredRun run = RunMeasured(Arguments("listing.xml", "out.xml"), dir);
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.err, "");
  std::string expected = CrLf({kDeclaration, "<tv>"}) + "  <desc>";
  expected.reserve(units * 9 + 100);
  for (std::size_t i = 0; i < units; ++i) expected += "x\xE9 &amp;y";
  expected += "</desc>\r\n</tv>\r\n";
  ExpectSameBytes(ReadFile(dir / "out.xml"), expected);
  if (!kAddressSanitizer) {
    // The reader's buffer (up to twice the line) and the cleaned copies: a
    // few times the line, never more.
    const long lineKiB = static_cast<long>(lineBytes / 1024);
    EXPECT_LT(run.peakKiB, 5 * lineKiB + 32 * 1024) << "line of " << lineKiB << " KiB";
  }
}

TEST(Hostile, LargeFileOfShortLinesKeepsMemoryFlat) {
  if (kAddressSanitizer) GTEST_SKIP() << "memory is not measured under AddressSanitizer";
  // 64 MB of programmes: the run holds one programme at a time.
  const fs::path dir = FreshDirectory("hostile_short_lines");
  const std::string programme =
      "  <programme start=\"20070715203000\" stop=\"20070715213000\" channel=\"a\">\n"
      "    <title>Nieuws &amp; weer</title>\n"
      "    <desc>Het nieuws<br>en het weer</desc>\n"
      "    <kenmerken>Stereo</kenmerken>\n"
      "  </programme>\n";
  const std::size_t count = 64 * 1000 * 1000 / programme.size();
  {
    std::string listing = "<tv>\n";
    listing.reserve(count * programme.size() + 16);
    for (std::size_t i = 0; i < count; ++i) listing += programme;
    listing += "</tv>\n";
    WriteFile(dir / "listing.xml", listing);
  }
  const MeasuredRun run = RunMeasured(Arguments("listing.xml", "listing.xml"), dir);
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.err, "");
  EXPECT_LT(run.peakKiB, 16 * 1024) << "for a file of " << count * programme.size() / 1024
                                    << " KiB";
  const std::string result = ReadFile(dir / "listing.xml");
  const std::string written =
      "  <programme start=\"20070715203000 +0200\" stop=\"20070715213000 +0200\" "
      "channel=\"a\">\r\n"
      "    <title>Nieuws &amp; weer</title>\r\n"
      "    <desc>Het nieuws en het weer. Kenmerken: Stereo</desc>\r\n"
      "  </programme>\r\n";
  EXPECT_EQ(result.size(), CrLf({kDeclaration, "<tv>", "</tv>"}).size() + count * written.size());
  EXPECT_EQ(result.substr(result.size() - written.size() - 7), written + "</tv>\r\n");
}

TEST(Hostile, ProgrammeWithAMillionFurtherLines) {
  const int lines = 1000 * 1000;
  const std::string opening =
      "  <programme start=\"20070715203000\" stop=\"20070715213000\" channel=\"a\">";
  const fs::path dir = FreshDirectory("hostile_million_lines");
  for (const bool drop : {false, true}) {
    const std::string title = drop ? "    <title>To be announced</title>" : "    <title>T</title>";
    std::size_t listingBytes = 0;
    {
      std::string listing = "<tv>\n" + opening + "\n" + title + "\n";
      for (int i = 0; i < lines; ++i) {
        listing.append("<x>").append(std::to_string(i)).append("</x>\n");
      }
      listing += "  </programme>\n</tv>\n";
      listingBytes = listing.size();
      WriteFile(dir / "listing.xml", listing);
    }
    const MeasuredRun run = RunMeasured(Arguments("listing.xml", "out.xml"), dir);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    std::string expected = CrLf({kDeclaration, "<tv>"});
    if (!drop) {
      expected += CrLf({"  <programme start=\"20070715203000 +0200\" stop=\"20070715213000 "
                        "+0200\" channel=\"a\">",
                        title});
      for (int i = 0; i < lines; ++i) {
        expected.append("<x>").append(std::to_string(i)).append("</x>\r\n");
      }
      expected += "  </programme>\r\n";
    }
    expected += "</tv>\r\n";
    ExpectSameBytes(ReadFile(dir / "out.xml"), expected);
    if (!kAddressSanitizer) {
      // Every line of the programme is held until its end: memory in
      // proportion to the programme, a small multiple of its bytes.
      const long listingKiB = static_cast<long>(listingBytes / 1024);
      EXPECT_LT(run.peakKiB, 8 * listingKiB + 16 * 1024) << "listing of " << listingKiB << " KiB";
    }
  }
}

// Writes `head`, then `piece` again and again until at least `bytes` of
// pieces are written, then `tail`. Returns the number of pieces.
std::size_t WriteRepeated(const fs::path& path, const std::string& head, const std::string& piece,
                          std::size_t bytes, const std::string& tail) {
  std::ofstream file(path, std::ios::binary);
  file << head;
  std::string block;
  while (block.size() < (std::size_t{1} << 20)) block += piece;
  std::size_t written = 0;
  for (; written < bytes; written += block.size()) {
    file.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  file << tail;
  file.close();
  EXPECT_TRUE(file) << path;
  return written / piece.size();
}

TEST(Hostile, WhatWouldBeHeldBeyondTheCeilingsEndsTheRunInBoundedMemory) {
  if (kAddressSanitizer) GTEST_SKIP() << "memory is not measured under AddressSanitizer";
  // The ceilings count the memory held, not the bytes of the lines: a
  // programme's buffers (a desc line also costs where it ends and how it is
  // cleaned) and the buffer that gathers a long line. A run stops there
  // with its report and its memory near 256 MiB; buffers that grew past the
  // ceiling held up to 533 MiB of a programme of short desc lines.
  const std::string opening =
      "<tv>\n  <programme start=\"20070715203000\" stop=\"20070715213000\" channel=\"a\">\n";
  const std::string programmeReport = "A programme of the source is larger than 256 MiB.";
  const std::string lineReport = "A line of the source is longer than 256 MiB.";
  struct Case {
    const char* what;
    std::string head, piece;
    std::size_t mebibytes;  // of pieces
    std::string tail;
    std::string report;  // none when the run succeeds
  } cases[] = {
      // 27 bytes a line, which hold 28.
      {"short further lines", opening, "    <actor>Someone</actor>\n", 256, "", programmeReport},
      // 14 bytes a line, which hold 24.
      {"short desc lines", opening, "<desc></desc>\n", 170, "", programmeReport},
      // Holding 240 MiB, just below the ceiling.
      {"fewer short desc lines", opening, "<desc></desc>\n", 140, "  </programme>\n</tv>\n", ""},
      // The line's ceiling is met first, while the programme holds nothing
      // of the line yet.
      {"one desc line", opening + "    <desc>", "x", 257, "</desc>\n", lineReport},
  };
  for (const Case& c : cases) {
    const fs::path dir = FreshDirectory("hostile_ceiling");
    const std::size_t pieces =
        WriteRepeated(dir / "listing.xml", c.head, c.piece, c.mebibytes << 20, c.tail);
    const MeasuredRun run = RunMeasured(Arguments("listing.xml", "out.xml"), dir);
    if (c.report.empty()) {
      EXPECT_EQ(run.result.status, 0) << c.what;
      EXPECT_EQ(run.result.err, "") << c.what;
      // Every line is written with a CR, the stamps with an offset, and the
      // declaration is put in front.
      const std::uintmax_t lines = 4 + pieces;
      EXPECT_EQ(fs::file_size(dir / "out.xml"),
                fs::file_size(dir / "listing.xml") + lines + 2 * 6 + kDeclaration.size() + 2)
          << c.what;
    } else {
      EXPECT_EQ(run.result.status, 1) << c.what;
      ExpectFailureReport(run.result.err, "EInOutError", c.report);
      EXPECT_FALSE(fs::exists(dir / "out.xml")) << c.what;
    }
    EXPECT_LT(run.peakKiB, 320 * 1024) << c.what;
    fs::remove_all(dir);
  }
}

// Compares two files of any size a block at a time.
void ExpectSameFiles(const fs::path& actual, const fs::path& expected) {
  ASSERT_EQ(fs::file_size(actual), fs::file_size(expected));
  std::ifstream actualFile(actual, std::ios::binary);
  std::ifstream expectedFile(expected, std::ios::binary);
  std::vector<char> actualBlock(1 << 20);
  std::vector<char> expectedBlock(1 << 20);
  for (std::uintmax_t at = 0;; at += actualBlock.size()) {
    actualFile.read(actualBlock.data(), static_cast<std::streamsize>(actualBlock.size()));
    expectedFile.read(expectedBlock.data(), static_cast<std::streamsize>(expectedBlock.size()));
    const auto size = static_cast<std::size_t>(actualFile.gcount());
    ASSERT_EQ(std::memcmp(actualBlock.data(), expectedBlock.data(), size), 0)
        << "a difference in the block from byte " << at;
    if (size < actualBlock.size()) return;
  }
}

TEST(Hostile, ListingOnOneLineIsFilteredAsUsualInLittleMemory) {
  // 300 MB without a line end, as some panels export a whole listing; the
  // sanitizers are many times slower and get less.
  const std::size_t size = (kAddressSanitizer ? 8 : 300) * std::size_t{1000 * 1000};
  const fs::path dir = FreshDirectory("hostile_one_line");
  {
    // The same programmes as one line and in the usual layout, written as
    // they are made.
    std::ofstream oneLine(dir / "one_line.xml", std::ios::binary);
    std::ofstream usual(dir / "usual.xml", std::ios::binary);
    oneLine << kDeclaration << "<tv>";
    usual << kDeclaration << "\n<tv>\n";
    std::string compact;
    std::string lines;
    for (std::size_t i = 0, written = 0; written < size; ++i) {
      const std::string month = i % 2 == 0 ? "01" : "07";
      const std::string title = i % 7 == 3    ? "To be announced"
                                : i % 11 == 5 ? "TALPA"
                                              : "Nieuws " + std::to_string(i);
      const std::string programme[] = {
          "<programme start=\"2007" + month + "15203000 CET\" stop=\"2007" + month +
              "15213000 CET\" channel=\"ned1\">",
          "<title lang=\"nl\">" + title + "</title>",
          i % 5 == 1 ? "<!-- herhaling -->" : "<sub-title>Deel 1</sub-title>",
          "<desc lang=\"nl\">Tom & Jerry in het caf\xE9.<br>Met ondertiteling</desc>",
          "<kenmerken>Breedbeeld</kenmerken>",
          "</programme>",
      };
      compact.clear();
      lines.clear();
      for (const std::string& element : programme) {
        compact += element;
        lines.append(element.starts_with("<programme") || element == "</programme>" ? "  " : "    ")
            .append(element)
            .append("\n");
      }
      oneLine << compact;
      usual << lines;
      written += compact.size();
    }
    oneLine << "</tv>";
    usual << "</tv>\n";
    ASSERT_TRUE(oneLine.flush() && usual.flush());
  }
  const MeasuredRun run = RunMeasured(Arguments("one_line.xml", "one_line.out"), dir);
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.err, "");
  if (!kAddressSanitizer) {
    EXPECT_LT(run.peakKiB, 64 * 1024);
  }
  const ProgramResult usualRun = RunProgram(Arguments("usual.xml", "usual.out"), dir);
  EXPECT_EQ(usualRun.status, 0);
  ExpectSameFiles(dir / "one_line.out", dir / "usual.out");
  std::ifstream out(dir / "one_line.out", std::ios::binary);
  std::string head(512, '\0');
  out.read(head.data(), static_cast<std::streamsize>(head.size()));
  EXPECT_TRUE(head.starts_with(CrLf({
      kDeclaration,
      "<tv>",
      "  <programme start=\"20070115203000 +0100\" stop=\"20070115213000 +0100\" "
      "channel=\"ned1\">",
      "    <title lang=\"nl\">Nieuws 0</title>",
      "    <sub-title>Deel 1</sub-title>",
      "    <desc lang=\"nl\">Tom &amp; Jerry in het caf\xE9. Met ondertiteling. "
      "Kenmerken: Breedbeeld</desc>",
      "  </programme>",
  }))) << head;
}

TEST(Hostile, FilesOfOnlyLineControlBytes) {
  struct Case {
    const char* name;
    std::string listing;
    std::string expected;
  };
  const std::string megabyte(1 << 20, '\0');
  const Case cases[] = {
      // A Ctrl-Z at the start of a line ends the input: nothing is written.
      {"only Ctrl-Z", std::string(1 << 20, '\x1A'), ""},
      {"one Ctrl-Z", "\x1A", ""},
      {"Ctrl-Z after the first line", "<tv>\n" + std::string(1000, '\x1A'),
       CrLf({kDeclaration, "<tv>"})},
      // A lone CR is dropped: a file of CRs is one empty line.
      {"only CR", std::string(1 << 20, '\r'), CrLf({kDeclaration, ""})},
      // ... so the file is one line, cut into its elements.
      {"CR line ends", "<tv>\r<channel>\r</tv>\r",
       CrLf({kDeclaration, "<tv>", "  <channel>", "</tv>"})},
      {"only LF", std::string(1000, '\n'),
       CrLf({kDeclaration}) + [] {
         std::string lines;
         for (int i = 0; i < 1000; ++i) lines += "\r\n";
         return lines;
       }()},
      {"only NUL", megabyte, CrLf({kDeclaration, megabyte})},
  };
  for (const Case& c : cases) {
    for (const std::string destination : {"out.xml", "listing.xml"}) {
      const fs::path dir = FreshDirectory("hostile_control_bytes");
      WriteFile(dir / "listing.xml", c.listing);
      const ProgramResult run = RunProgram(Arguments("listing.xml", destination), dir);
      EXPECT_EQ(run.status, 0) << c.name;
      EXPECT_EQ(run.err, "") << c.name;
      ExpectSameBytes(ReadFile(dir / destination), c.expected);
      EXPECT_FALSE(fs::exists(dir / "listing.~tm")) << c.name;
    }
  }
}

// The opening line of a programme with `start` as its start stamp.
std::string ProgrammeListing(const std::string& start) {
  return "<tv>\n  <programme start=\"" + start +
         "\" channel=\"a\">\n    <title>T</title>\n  </programme>\n</tv>\n";
}

std::string ProgrammeResult(const std::string& start) {
  return CrLf({kDeclaration, "<tv>", "  <programme start=\"" + start + "\" channel=\"a\">",
               "    <title>T</title>", "  </programme>", "</tv>"});
}

TEST(Hostile, AbsurdNumbers) {
  const std::string digits(10000, '7');
  const std::string stamp = "20070715203000" + digits;  // read from its first 14 places
  struct Case {
    const char* name;
    std::vector<std::string> switches;
    std::string start;     // the stamp in the listing
    std::string result;    // as it is written, "" when the run fails
    std::string cetReport;  // the offset the settings report names
  };
  const Case cases[] = {
      {"10,000-digit stamp", {"--cet"}, stamp, stamp + " +0200", "0"},
      {"10,000-digit stamp marked CET", {}, stamp + " CET", stamp + " +0200", ""},
      {"10,000-digit stamp marked UTC", {}, digits + " UTC", digits + " +0000", ""},
      {"10,000-digit stamp that is no date", {"--cet"}, std::string(10000, '9'), "", "0"},
      {"10,000-digit offset", {"--cet", digits}, "20070715203000", "20070715203000 +77777777900",
       "777777777"},
      {"largest offset in summer", {"--cet", "2147483647"}, "20070715203000",
       "20070715203000 +214748364900", "2147483647"},
      {"largest offset in winter", {"--cet", "2147483647"}, "20070115203000",
       "20070115203000 +214748364800", "2147483647"},
      {"smallest offset in summer", {"--cet", "-2147483648"}, "20070715203000",
       "20070715203000 -214748364600", "-2147483648"},
      {"offset past the largest", {"--cet", "2147483648"}, "20070115203000",
       "20070115203000 -214748364700", "-2147483648"},
  };
  for (const Case& c : cases) {
    const fs::path dir = FreshDirectory("hostile_numbers");
    WriteFile(dir / "listing.xml", ProgrammeListing(c.start));
    std::vector<std::string> arguments{"listing.xml", "--output", "out.xml"};
    arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
    const ProgramResult run = RunProgram(arguments, dir);
    if (!c.cetReport.empty()) {
      EXPECT_NE(run.out.find("\r\ncetoffset: the offset relative to cet will be " + c.cetReport +
                             "\r\n"),
                std::string::npos)
          << c.name;
    }
    if (c.result.empty()) {
      EXPECT_EQ(run.status, 1) << c.name;
      EXPECT_EQ(run.err.substr(0, 32), "Exception EConvertError in modul") << c.name;
      EXPECT_NE(run.err.find("is not a valid date and time.\r\n\r\n"), std::string::npos)
          << c.name;
    } else {
      EXPECT_EQ(run.status, 0) << c.name;
      EXPECT_EQ(run.err, "") << c.name;
      EXPECT_EQ(ReadFile(dir / "out.xml"), ProgrammeResult(c.result)) << c.name;
    }
  }
}

TEST(Hostile, ReferenceWithTenThousandDigits) {
  // Its value is far beyond any character: it is kept as it stands.
  const std::string reference = "&#" + std::string(10000, '9') + ";";
  const fs::path dir = FreshDirectory("hostile_reference");
  WriteFile(dir / "listing.xml", "<tv>\n<desc>a" + reference + "&#x" +
                                     std::string(10000, '0') + "41;</desc>\n");
  const ProgramResult run = RunProgram(Arguments("listing.xml", "out.xml"), dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(dir / "out.xml"),
            CrLf({kDeclaration, "<tv>", "<desc>a" + reference + "A</desc>"}));
}

TEST(Hostile, HundredThousandCharacterNames) {
  const std::string longName(100000, 'n');
  const std::string deepName = [] {
    std::string name;
    while (name.size() < 100000) name += "d/";
    return name + "listing.xml";
  }();
  const fs::path dir = FreshDirectory("hostile_names");
  WriteFile(dir / "listing.xml", "<tv>\n</tv>\n");
  struct Case {
    std::string source;
    std::string destination;
    std::string shown = "";  // the destination as the report shows it, when not as given
  };
  // Too long for the system, as a whole or in one component: the open fails.
  for (const Case& c : {Case{longName, "out.xml"}, Case{deepName, "out.xml"},
                        Case{"listing.xml", longName}, Case{"listing.xml", deepName},
                        Case{longName, longName},
                        // Apostrophes are stripped, the name is never cut to
                        // a shorter one.
                        Case{"listing.xml", "'" + longName + "'", longName}}) {
    // Started directly: two such names exceed what one shell word may hold.
    const ProgramResult run =
        FinishProgram(StartProgram({c.source, "--output", c.destination}, dir), dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, SettingsReport(c.source, c.shown.empty() ? c.destination : c.shown));
    ExpectFailureReport(run.err, "EInOutError", "Invalid filename.");
    EXPECT_FALSE(fs::exists(dir / "out.xml"));
  }
}

}  // namespace
}  // namespace zelvane::testing
