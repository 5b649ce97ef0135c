// Start-up as a user sees it: usage text, settings report, exit status and
// the failure report of a console that cannot be written.
#include "program_runner.h"

#include <gtest/gtest.h>

namespace zelvane::testing {
namespace {

const std::string kUsage = CrLf({
    "Enter parameters:",
    "Zelvane INPUTFILE --output OUTPUTFILE [--cet [cetoffset] [--kenmerk] [--tba]",
    "",
    " If you enter the --cet parameter, to all timecodes without GMT/UTC reference",
    " one will be added. If you enter a cetoffset, this will be added or subtracted.",
    "",
    " Example: if a timecode for a programme in July is missing, and you use --cet,",
    " Zelvane will add \"+0200\".",
    " The benefit is that Zelvane can calculate the proper daylight saving time",
    " offset. If you are in London, and you use the parameter \"--cet -1\", a timecode",
    " in July with missing GMT/UTC reference will receive \"+0100\". If you are in New",
    " York you might want to try \"--cet -6\", and in Athens \"--cet +1\"",
    "",
    " If timecodes contain UTC or CET reference, Zelvane always converts to",
    " a GMT/UTC reference. I.e.: \"UTC\" is converted to \"+0000\" and \"CET\" is",
    " converted to +0100 or +0200 according to rules for calculating the daylight",
    " saving time offset. If there already is GMT/UTC reference (i.e. \"+0100\")",
    " Zelvane will change nothing. --tba omits entries called \"to be announced\".",
});

const std::string kNoCet = "cet: do not add time zone, except for \"UTC\" and \"CET\" references";
const std::string kCet = "cet: add time zone GMT+1 or GMT+2 accordingly for missing references";
const std::string kOffset = "cetoffset: the offset relative to cet will be ";
const std::string kNoKenmerk = "kenmerk: do not add any <kenmerk> data to description";
const std::string kKenmerk = "kenmerk: add any <kenmerk> data to description";
const std::string kTalpa = "talpa: remove TALPA-block from channel";

TEST(Program, WithoutArgumentsPrintsOnlyTheUsage) {
  const ProgramResult result = RunProgram({}, FreshDirectory("usage"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kUsage);
  EXPECT_EQ(result.err, "");
}

TEST(Program, ReportsSettingsAndUsageWhenANameIsMissing) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> report;
  } cases[] = {
      {{"in.xml"}, {"Source: in.xml", "Destination: ", kNoCet, kNoKenmerk}},
      {{"IN.XML", "--OUTPUT"}, {"Source: IN.XML", "Destination: ", kNoCet, kNoKenmerk}},
      {{"--cet", "in.xml", "--output", "out.xml"},
       {"Source: ", "Destination: out.xml", kCet, kOffset + "0", kNoKenmerk}},
      {{"--output", "'out.xml'", "--cet", "'-1'", "--kenmerk", "--talpa", "--tba"},
       {"Source: ", "Destination: out.xml", kCet, kOffset + "-1", kKenmerk, kTalpa}},
      {{"in.xml", "--output", ""}, {"Source: in.xml", "Destination: ", kNoCet, kNoKenmerk}},
      {{"in.xml", "--rating", "--cet", "--output"},
       {"Source: in.xml", "Destination: ", kNoCet, kNoKenmerk}},
      {{"x", "--cet", "2147483647"},
       {"Source: x", "Destination: ", kCet, kOffset + "2147483647", kNoKenmerk}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = {"Running...", ""};
    lines.insert(lines.end(), c.report.begin(), c.report.end());
    const ProgramResult result = RunProgram(c.arguments, FreshDirectory("missing_name"));
    EXPECT_EQ(result.status, 1) << c.report[0];
    EXPECT_EQ(result.out, CrLf(lines) + kUsage) << c.report[0];
    EXPECT_EQ(result.err, "");
  }
}

TEST(Program, HelpAndVersionPrintOnlyWhatTheyAskFor) {
  const std::string version = CrLf({std::string("zelvane ") + ZELVANE_VERSION});
  const std::string help = RunProgram({"--help"}, FreshDirectory("help")).out;
  struct Case {
    std::vector<std::string> arguments;
    std::string out;
  } cases[] = {
      {{"--help"}, help},
      {{"--version"}, version},
      {{"in.xml", "--output", "out.xml", "--help"}, help},
      {{"--version", "--help"}, version},
      {{"--help", "--version"}, help},
      {{"--cet", "--version"}, version},  // an option word is never the offset
      {{"--kenmerk", "--help", "--output", "out.xml"}, help},
  };
  for (const Case& c : cases) {
    const std::filesystem::path directory = FreshDirectory("help");
    WriteFile(directory / "in.xml", "<tv>\n");
    const ProgramResult result = RunProgram(c.arguments, directory);
    EXPECT_EQ(result.status, 0) << c.arguments[0];
    EXPECT_EQ(result.out, c.out) << c.arguments[0];
    EXPECT_EQ(result.err, "") << c.arguments[0];
    EXPECT_FALSE(std::filesystem::exists(directory / "out.xml")) << c.arguments[0];
  }
}

TEST(Program, OtherSpellingsOfHelpAndVersionKeepTheirMeaning) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> report;
  } cases[] = {
      {{"--HELP"}, {"Source: --HELP", "Destination: ", kNoCet, kNoKenmerk}},
      {{"--hel"}, {"Source: --hel", "Destination: ", kNoCet, kNoKenmerk}},
      {{"--helpful"}, {"Source: --helpful", "Destination: ", kNoCet, kNoKenmerk}},
      {{"'--help'"}, {"Source: --help", "Destination: ", kNoCet, kNoKenmerk}},
      {{"--Version"}, {"Source: --Version", "Destination: ", kNoCet, kNoKenmerk}},
      {{"--output", "--help"}, {"Source: ", "Destination: --help", kNoCet, kNoKenmerk}},
      {{"--rating", "--version"}, {"Source: ", "Destination: ", kNoCet, kNoKenmerk}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = {"Running...", ""};
    lines.insert(lines.end(), c.report.begin(), c.report.end());
    const ProgramResult result = RunProgram(c.arguments, FreshDirectory("not_help"));
    EXPECT_EQ(result.status, 1) << c.report[0];
    EXPECT_EQ(result.out, CrLf(lines) + kUsage) << c.report[0];
    EXPECT_EQ(result.err, "");
  }
}

TEST(Program, HelpQuietAndShortFormsDoWhatTheySay) {
  const std::string help = RunProgram({"--help"}, FreshDirectory("help_text")).out;
  EXPECT_EQ(help.substr(0, 15), "Usage: zelvane ");
  const std::string usage = help.substr(0, help.find("\r\n\r\n"));
  int depth = 0;
  for (const char c : usage) {
    depth += c == '[' ? 1 : c == ']' ? -1 : 0;
    EXPECT_GE(depth, 0) << usage;
  }
  EXPECT_EQ(depth, 0) << usage;
  for (const char* text : {"--cet [OFFSET]", "--tz ZONE", "--kenmerk", "--tba", "--talpa",
                           "--rating WORD", "-o, --output NAME", "-q, --quiet", "-h, --help",
                           "--version", "\r\n  -  ", "--option=value", "Exit status",
                           "man zelvane"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }

  const std::string written = CrLf({"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<tv>",
                                    "</tv>"});
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out;
    bool writes;
  } cases[] = {
      {{"-h"}, 0, help, false},
      {{"in.xml", "-o", "out.xml", "-h"}, 0, help, false},
      {{"in.xml", "-o", "out.xml"}, 0, SettingsReport("in.xml", "out.xml"), true},
      {{"in.xml", "--output", "out.xml", "--quiet"}, 0, "", true},
      {{"--QUIETLY", "in.xml", "-o", "out.xml", "--cet", "--kenmerk", "--talpa"}, 0, "", true},
      {{"-q", "in.xml", "-o", "out.xml"}, 0, "", true},
      {{"in.xml", "-q"}, 1, SettingsReport("in.xml", "") + kUsage, false},
      {{"gone.xml", "-q", "-o", "out.xml"}, 1, CrLf({"", "Error: Source file does not exist"}),
       false},
      {{"in.xml", "-O", "out.xml"}, 1, SettingsReport("out.xml", "") + kUsage, false},
  };
  for (const Case& c : cases) {
    const std::filesystem::path directory = FreshDirectory("short_forms");
    WriteFile(directory / "in.xml", "<tv>\n</tv>\n");
    const ProgramResult result = RunProgram(c.arguments, directory);
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.out, c.out) << c.arguments[0];
    EXPECT_EQ(result.err, "") << c.arguments[0];
    EXPECT_EQ(std::filesystem::exists(directory / "out.xml"), c.writes) << c.arguments[0];
    if (c.writes) {
      EXPECT_EQ(ReadFile(directory / "out.xml"), written) << c.arguments[0];
    }
  }
}

TEST(Program, FailsWhenStandardOutputCannotBeWritten) {
  if (kOnWindows) GTEST_SKIP() << "needs /dev/full, which Windows lacks";
  const ProgramResult result =
      RunProgram({"a", "--output", "b"}, FreshDirectory("stdout_full"), "/dev/full");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.substr(0, 40), "Exception EInOutError in module zelvane ");
  EXPECT_NE(result.err.find(".\r\nI/O error 28.\r\n\r\n"), std::string::npos) << result.err;

  const ProgramResult usage = RunProgram({}, FreshDirectory("stdout_full"), "/dev/full");
  EXPECT_EQ(usage.status, 1);
  EXPECT_NE(usage.err.find("I/O error 28."), std::string::npos);
}

}  // namespace
}  // namespace zelvane::testing
