// Whole-program tests of pipelines: a source "-" reads standard input, a
// destination "-" writes standard output, and the console lines then go to
// standard error.
#include "program_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zelvane::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(ZELVANE_TEST_DATA) / "filter";
const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
const std::string kListing = "<tv>\n<channel id=\"a\">\n</channel>\n</tv>\n";
const std::string kResult =
    CrLf({kDeclaration, "<tv>", "<channel id=\"a\">", "</channel>", "</tv>"});

// A filter fixture, kept with LF, with the CR LF line ends the program writes.
std::string Expected(const std::string& name) {
  std::string crLf;
  for (char c : ReadFile(kFixtures / name)) {
    if (c == '\n') crLf.push_back('\r');
    crLf.push_back(c);
  }
  return crLf;
}

// The console lines of a run without switches.
std::string Report(const std::string& source, const std::string& destination) {
  return CrLf({"Running...", "", "Source: " + source, "Destination: " + destination,
               "cet: do not add time zone, except for \"UTC\" and \"CET\" references",
               "kenmerk: do not add any <kenmerk> data to description"});
}

TEST(Pipeline, FiltersStandardInputToStandardOutputByteForByte) {
  struct Case {
    const char* input;
    std::vector<std::string> switches;
    const char* expected;
  } cases[] = {
      {"layout.xml", {"--kenmerk", "--tba", "--talpa", "--cet"}, "layout.all.expected.xml"},
      {"road.xml", {"--kenmerk"}, "road.kenmerk.expected.xml"},
      {"drops.xml", {"--tba", "--talpa"}, "drops.tba-talpa.expected.xml"},
  };
  for (const Case& c : cases) {
    const fs::path dir = FreshDirectory("pipeline");
    std::vector<std::string> arguments = {"-", "--output", "-"};
    arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
    const ProgramResult run = RunPipeline(arguments, dir, ReadFile(kFixtures / c.input));
    EXPECT_EQ(run.status, 0) << c.input;
    EXPECT_EQ(run.out, Expected(c.expected)) << c.input;
    const std::string head = CrLf({"Running...", "", "Source: -", "Destination: -"});
    EXPECT_EQ(run.err.substr(0, head.size()), head) << c.input;
    // A pipeline replaces nothing: no working file, no file named "-".
    EXPECT_TRUE(fs::is_empty(dir)) << c.input;
  }
}

TEST(Pipeline, ConsoleLinesGoToStandardErrorOnlyWhenTheListingGoesToStandardOutput) {
  const fs::path dir = FreshDirectory("pipeline_console");
  WriteFile(dir / "listing.xml", kListing);

  ProgramResult run = RunPipeline({"-", "--output", "-"}, dir, kListing);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kResult);
  EXPECT_EQ(run.err, Report("-", "-"));

  run = RunProgram({"listing.xml", "--output", "-"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kResult);
  EXPECT_EQ(run.err, Report("listing.xml", "-"));

  run = RunPipeline({"-", "--output", "out.xml"}, dir, kListing);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, Report("-", "out.xml"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(dir / "out.xml"), kResult);
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
}

TEST(Pipeline, MissingNamesAndSourcesAreReportedOnStandardError) {
  const fs::path dir = FreshDirectory("pipeline_missing");
  ProgramResult run = RunPipeline({"--output", "-"}, dir, kListing);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.substr(0, Report("", "-").size()), Report("", "-"));
  EXPECT_NE(run.err.find("\r\nEnter parameters:\r\n"), std::string::npos);

  run = RunProgram({"missing.xml", "--output", "-"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, Report("missing.xml", "-") + CrLf({"", "Error: Source file does not exist"}));
}

TEST(Pipeline, AFileNamedDashIsWrittenAsDotSlashDash) {
  const fs::path dir = FreshDirectory("dash_file");
  WriteFile(dir / "-", kListing);
  // Standard input is not read when the source is the file.
  ProgramResult run = RunPipeline({"./-", "--output", "out.xml"}, dir, "<other>\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, Report("./-", "out.xml"));
  EXPECT_EQ(ReadFile(dir / "out.xml"), kResult);

  // The same name on both sides replaces the file through a working file.
  run = RunProgram({"./-", "--output", "./-"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, Report("./-", "./-"));
  EXPECT_EQ(ReadFile(dir / "-"), kResult);
  EXPECT_FALSE(fs::exists(dir / "-.~tm"));

  // Standard input into the file named "-".
  run = RunPipeline({"-", "--output", "./-"}, dir, "<tv>\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(dir / "-"), CrLf({kDeclaration, "<tv>"}));
}

TEST(Pipeline, FailureLeavesTheWholeBlocksOnStandardOutput) {
  const std::string before = Expected("failure.before.xml");
  const ProgramResult run = RunPipeline({"-", "--output", "-", "--cet"},
                                        FreshDirectory("pipeline_failure"),
                                        ReadFile(kFixtures / "failure.xml"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, before.substr(0, before.size() / 128 * 128));
  const std::string report = CrLf({"Running...", "", "Source: -", "Destination: -",
                                   "cet: add time zone GMT+1 or GMT+2 accordingly for missing "
                                   "references",
                                   "cetoffset: the offset relative to cet will be 0",
                                   "kenmerk: do not add any <kenmerk> data to description"});
  ASSERT_EQ(run.err.substr(0, report.size()), report) << run.err;
  const std::string failure = run.err.substr(report.size());
  const std::string head = "Exception EConvertError in module " + kModule + " at ";
  EXPECT_EQ(failure.substr(0, head.size()), head) << failure;
  EXPECT_NE(failure.find("is not a valid date and time.\r\n\r\n"), std::string::npos) << failure;
}

}  // namespace
}  // namespace zelvane::testing
