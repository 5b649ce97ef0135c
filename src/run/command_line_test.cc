#include "run/command_line.h"
#include "run/main_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/captured_output.h"

namespace zelvane {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, FindsWordsQuotesAndSeparators) {
  struct Case {
    std::string line;
    Words words;
  } cases[] = {
      {"zelvane in.xml --output out.xml", {"zelvane", "in.xml", "--output", "out.xml"}},
      {"  a\tb\x01" "c\x1f" "d  ", {"a", "b", "c", "d"}},
      {"ab\"c d\"e", {"abc de"}},
      {"z in.xml --output \"\" out.xml", {"z", "in.xml", "--output", "out.xml"}},
      {"z \"my file.xml\"", {"z", "my file.xml"}},
      {"z \"unclosed quote", {"z", "unclosed quote"}},
      {"z a\"\"b", {"z", "ab"}},
      {"z \"\"abc", {"z", "abc"}},
      {"z \"\" \"\"", {"z"}},
      {"z a\\\"b c\"", {"z", "a\\b c"}},
      {"z \"a\"\"b\"", {"z", "ab"}},
      {"", {}},
      {"   ", {}},
      {"z \xE9t\xE9", {"z", "\xE9t\xE9"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
}

TEST(UnquoteValue, StripsOneApostropheAtEachEndAndKeepsCase) {
  struct Case {
    std::string value, expected;
  } cases[] = {
      {"'in.xml'", "in.xml"}, {"'in.xml", "in.xml"}, {"in.xml'", "in.xml"},
      {"'", ""},              {"''", ""},            {"'''", "'"},
      {"Guide.XML", "Guide.XML"}, {"", ""},          {"a'b", "a'b"},
      {"'" + std::string(300, 'x'), std::string(300, 'x')},
      {"'" + std::string(299, 'x') + "'", std::string(299, 'x')},
  };
  for (const Case& c : cases) EXPECT_EQ(UnquoteValue(c.value), c.expected) << c.value;
}

struct Expected {
  std::string source, destination;
  bool cet = false;
  std::int32_t cetoffset = 0;
  bool kenmerk = false, talpa = false, tba = false;
};

TEST(ParseArguments, MatchesOptionsByPrefixInAnyCase) {
  struct Case {
    Words words;
    Expected expected;
  } cases[] = {
      {{"z", "in.xml"}, {"in.xml", ""}},
      {{"z", "IN.XML", "--OUTPUT", "OUT.XML"}, {"IN.XML", "OUT.XML"}},
      {{"z", "in.xml", "--output", "out.xml", "--cet"}, {"in.xml", "out.xml", true, 0}},
      {{"z", "in.xml", "--output", "out.xml", "--cet", "-1"}, {"in.xml", "out.xml", true, -1}},
      {{"z", "in.xml", "--output", "o", "--cet", "--kenmerk"}, {"in.xml", "o", true, 0, true}},
      {{"z", "--cet", "in.xml", "--output", "out.xml"}, {"", "out.xml", true, 0}},
      {{"z", "in.xml", "--output"}, {"in.xml", ""}},
      {{"z", "in.xml", "--rating", "--cet", "--output", "o"}, {"in.xml", "o"}},
      {{"z", "'in.xml'", "--output", "'out.xml'"}, {"in.xml", "out.xml"}},
      {{"z", "a.xml", "b.xml", "--output", "c.xml"}, {"b.xml", "c.xml"}},
      {{"z", "in.xml", "--output", "o", "--talpa", "--tba"}, {"in.xml", "o", false, 0, false, true, true}},
      {{"z", "--outputfile", "o", "--CET", "+1", "i"}, {"i", "o", true, 1}},
      {{"z", "--output=x.xml", "o", "--cetzone", "'-1'", "i"}, {"i", "x.xml", true, -1}},
      {{"z", "i", "--OUTPUT='o.xml'", "--cet=-1", "--kenmerk"}, {"i", "o.xml", true, -1, true}},
      {{"z", "i", "--output=", "--cet=", "7"}, {"7", "", true, 0}},
      {{"z", "i", "--rating=x", "--cet", "--outputs=o", "p"}, {"p", "o", true, 0}},
      {{"z", "--outputfile=x", "--cet", "-1", "i"}, {"i", "x", true, -1}},
      {{"z", "i", "--cetoffset=3", "--kenmerk"}, {"i", "", true, 3, true}},
      {{"z", "i", "--ratings=PG", "-o", "o"}, {"i", "o"}},
      {{"z", "--OutputFile=a=b.xml", "--CETOFFSET='-2'", "i"}, {"i", "a=b.xml", true, -2}},
      {{"z", "i", "--outputfile=", "--kenmerk"}, {"i", "", false, 0, true}},
      {{"z", "i", "--rating", "--cet=2"}, {"i", "", false, 0}},
      {{"z", "--cet=+2", "--tba=x", "--output", "=o"}, {"", "=o", true, 2, false, false, true}},
      {{"z", "--kenmerken", "--tbax", "--TALPA!", "i"}, {"i", "", false, 0, true, true, true}},
      {{"z", "--out", "o"}, {"o", ""}},
      {{"z", "'--cet'"}, {"--cet", ""}},
      {{"z", "--cet", "-5x", "i"}, {"i", "", true, 5}},
      {{"z", "--cet", "-6", "--cet", "3"}, {"", "", true, 3}},
      {{"z", "--cet", "2147483647"}, {"", "", true, 2147483647}},
      {{"z", "--output", "a", "--output", "b"}, {"", "b"}},
      {{"z", "--rating"}, {"", ""}},
      {{"z", "--cet", "-"}, {"", "", true, 0}},
      {{"z", "--cet", "x41"}, {"", "", true, 65}},
      {{"z"}, {"", ""}},
  };
  for (const Case& c : cases) {
    const RunSettings s = ParseArguments(c.words);
    std::string line;
    for (const std::string& w : c.words) line += w + " ";
    EXPECT_EQ(s.source, c.expected.source) << line;
    EXPECT_EQ(s.destination, c.expected.destination) << line;
    EXPECT_EQ(s.filter.cet, c.expected.cet) << line;
    EXPECT_EQ(s.filter.cetoffset, c.expected.cetoffset) << line;
    EXPECT_EQ(s.filter.kenmerk, c.expected.kenmerk) << line;
    EXPECT_EQ(s.filter.talpa, c.expected.talpa) << line;
    EXPECT_EQ(s.filter.tba, c.expected.tba) << line;
  }
}

TEST(ParseArguments, TakesTheZoneAfterTz) {
  struct Case {
    Words words;
    bool tz;
    std::string tzname, source;
    bool cet;
  } cases[] = {
      {{"z", "i", "--tz", "Europe/London"}, true, "Europe/London", "i", false},
      {{"z", "--TZone", "'America/New_York'", "i"}, true, "America/New_York", "i", false},
      {{"z", "--tz", "--cet", "i"}, true, "--cet", "i", false},
      {{"z", "--cet", "--tz", "UTC", "i"}, true, "UTC", "i", true},
      {{"z", "i", "--tz"}, true, "", "i", false},
      {{"z", "--TZ='Europe/London'", "i"}, true, "Europe/London", "i", false},
      {{"z", "--tz=", "i"}, true, "", "i", false},
      {{"z", "--tzone=Asia/Tokyo", "-o", "t.xml", "i"}, true, "Asia/Tokyo", "i", false},
      {{"z", "--t", "UTC"}, false, "", "UTC", false},
  };
  for (const Case& c : cases) {
    const RunSettings s = ParseArguments(c.words);
    EXPECT_EQ(s.filter.tz, c.tz) << c.words[1];
    EXPECT_EQ(s.filter.tzname, c.tzname) << c.words[1];
    EXPECT_EQ(s.source, c.source) << c.words[1];
    EXPECT_EQ(s.filter.cet, c.cet) << c.words[1];
  }
}

TEST(ParseArguments, ShortFormsAreExactWordsAndQuietMatchesByPrefix) {
  struct Case {
    Words words;
    std::string source, destination;
    bool quiet;
    std::int32_t cetoffset;
  } cases[] = {
      {{"z", "-o", "out.xml", "in.xml"}, "in.xml", "out.xml", false, 0},
      {{"z", "-o", "-q"}, "", "-q", false, 0},
      {{"z", "in.xml", "-O"}, "-O", "", false, 0},
      {{"z", "-q", "in.xml"}, "in.xml", "", true, 0},
      {{"z", "--QUIETLY"}, "", "", true, 0},
      {{"z", "--quie"}, "--quie", "", false, 0},
      {{"z", "-qx"}, "-qx", "", false, 0},
      {{"z", "--cet", "-q"}, "", "", true, 0},
      {{"z", "--cet", "-o", "o"}, "", "o", false, 0},
      {{"z", "--cet", "-1", "-o", "o"}, "", "o", false, -1},
  };
  for (const Case& c : cases) {
    const RunSettings s = ParseArguments(c.words);
    EXPECT_EQ(s.source, c.source) << c.words[1];
    EXPECT_EQ(s.destination, c.destination) << c.words[1];
    EXPECT_EQ(s.quiet, c.quiet) << c.words[1];
    EXPECT_EQ(s.filter.cetoffset, c.cetoffset) << c.words[1];
  }
}

TEST(ParseArguments, GivesTheFilterTheLocaleSeparators) {
  const DateTimeSeparators locale{"-", ".", ","};
  for (const Words& words : {Words{"z"}, Words{"z", "i", "--cet", "2", "--tz", "UTC", "-o", "o"}}) {
    const DateTimeSeparators& given = ParseArguments(words, locale).filter.separators;
    EXPECT_EQ(given.date, "-") << words.size();
    EXPECT_EQ(given.time, ".") << words.size();
    EXPECT_EQ(given.decimal, ",") << words.size();
    const DateTimeSeparators& plain = ParseArguments(words).filter.separators;
    EXPECT_EQ(plain.date + plain.time + plain.decimal, "/:.") << words.size();
  }
}

std::string Console(const RunSettings& settings) {
  CapturedOutput console;
  PrintSettings(settings, console.writer());
  return console.Take();
}

TEST(PrintSettings, ReportsNamesAndSwitches) {
  RunSettings plain;
  plain.source = "in.xml";
  EXPECT_EQ(Console(plain),
            "Source: in.xml\r\nDestination: \r\n"
            "cet: do not add time zone, except for \"UTC\" and \"CET\" references\r\n"
            "kenmerk: do not add any <kenmerk> data to description\r\n");

  RunSettings all = plain;
  all.destination = "Out.xml";
  all.filter.cet = true;
  all.filter.cetoffset = -6;
  all.filter.kenmerk = all.filter.talpa = all.filter.tba = true;
  EXPECT_EQ(Console(all),
            "Source: in.xml\r\nDestination: Out.xml\r\n"
            "cet: add time zone GMT+1 or GMT+2 accordingly for missing references\r\n"
            "cetoffset: the offset relative to cet will be -6\r\n"
            "kenmerk: add any <kenmerk> data to description\r\n"
            "talpa: remove TALPA-block from channel\r\n");

  RunSettings zone = plain;
  zone.filter.tz = true;
  zone.filter.tzname = "Australia/Sydney";
  EXPECT_EQ(Console(zone),
            "Source: in.xml\r\nDestination: \r\n"
            "cet: do not add time zone, except for \"UTC\" and \"CET\" references\r\n"
            "tz: add the offset of time zone Australia/Sydney for missing references\r\n"
            "kenmerk: do not add any <kenmerk> data to description\r\n");
}

TEST(PrintUsage, WritesEighteenLines) {
  CapturedOutput console;
  PrintUsage(console.writer());
  const std::string text = console.Take();
  std::size_t lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
    ++lines;
  }
  EXPECT_EQ(lines, 18u);
  EXPECT_EQ(text.substr(0, 19), "Enter parameters:\r\n");
  EXPECT_NE(text.find("\r\n York you might want to try \"--cet -6\", and in Athens \"--cet +1\"\r\n"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 77),
            " Zelvane will change nothing. --tba omits entries called \"to be announced\".\r\n");
}

TEST(RunProgram, ShowsUsageWhenANameIsMissing) {
  struct Case {
    Words words;
    int status;
    bool running;
  } cases[] = {
      {{"z"}, 0, false},
      {{"z", "in.xml"}, 1, true},
      {{"z", "--output", "out.xml"}, 1, true},
      {{"z", "in.xml", "--output"}, 1, true},
      {{"z", "in.xml", "--output", "''"}, 1, true},
  };
  CapturedOutput console, errorConsole;
  PrintUsage(console.writer());
  const std::string usage = console.Take();
  for (const Case& c : cases) {
    EXPECT_EQ(
        RunProgram(c.words, DateTimeSeparators(), console.writer(), errorConsole.writer()),
        c.status);
    const std::string text = console.Take(), errors = errorConsole.Take();
    if (c.running) {
      const RunSettings settings = ParseArguments(c.words);
      EXPECT_EQ(text, "Running...\r\n\r\n" + Console(settings) + usage);
    } else {
      EXPECT_EQ(text, usage);
    }
    EXPECT_EQ(errors, "");
  }
}

TEST(ParseArguments, TakesExactlyHelpAndVersionWhereASourceWouldStand) {
  struct Case {
    Words words;
    RunRequest request;
    const char* source;
  } cases[] = {
      {{"z", "--help"}, RunRequest::kHelp, ""},
      {{"z", "--version"}, RunRequest::kVersion, ""},
      {{"z", "in.xml", "--version", "--help"}, RunRequest::kVersion, "in.xml"},
      {{"z", "--help", "in.xml", "--version"}, RunRequest::kHelp, "in.xml"},
      {{"z", "--cet", "--help"}, RunRequest::kHelp, ""},
      {{"z", "--HELP"}, RunRequest::kRun, "--HELP"},
      {{"z", "--Version"}, RunRequest::kRun, "--Version"},
      {{"z", "--helpx"}, RunRequest::kRun, "--helpx"},
      {{"z", "--versio"}, RunRequest::kRun, "--versio"},
      {{"z", "'--help'"}, RunRequest::kRun, "--help"},
      {{"z", "./--help"}, RunRequest::kRun, "./--help"},
      {{"z", "--output", "--help"}, RunRequest::kRun, ""},
      {{"z", "--rating", "--version"}, RunRequest::kRun, ""},
      {{"z", "-"}, RunRequest::kRun, "-"},
      {{"z", "-h"}, RunRequest::kHelp, ""},
      {{"z", "-h", "--version"}, RunRequest::kHelp, ""},
      {{"z", "-H"}, RunRequest::kRun, "-H"},
  };
  for (const Case& c : cases) {
    const RunSettings settings = ParseArguments(c.words);
    EXPECT_EQ(settings.request, c.request) << c.words[1];
    EXPECT_EQ(settings.source, c.source) << c.words[1];
  }
}

TEST(RunProgram, HelpAndVersionPrintNothingElse) {
  CapturedOutput console, errorConsole;
  PrintHelp(console.writer());
  const std::string help = console.Take();
  struct Case {
    Words words;
    std::string out;
  } cases[] = {
      {{"z", "--help"}, help},
      {{"z", "--version"}, std::string("zelvane ") + ZELVANE_VERSION + "\r\n"},
      {{"z", "missing.xml", "--output", "-", "--help"}, help},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunProgram(c.words, DateTimeSeparators(), console.writer(), errorConsole.writer()),
              0)
        << c.words[1];
    const std::string text = console.Take(), errors = errorConsole.Take();
    EXPECT_EQ(text, c.out) << c.words[1];
    EXPECT_EQ(errors, "") << c.words[1];
  }
}

TEST(RunProgram, ConsoleLinesOfAListingOnStandardOutputGoToStandardError) {
  struct Case {
    Words words;
    std::string errors;
  } cases[] = {
      {{"z", "--output", "-"},
       "Running...\r\n\r\nSource: \r\nDestination: -\r\n"},
      {{"z", "surely-missing.xml", "--output", "-"},
       "Running...\r\n\r\nSource: surely-missing.xml\r\nDestination: -\r\n"},
  };
  CapturedOutput console, errorConsole;
  for (const Case& c : cases) {
    EXPECT_EQ(RunProgram(c.words, DateTimeSeparators(), console.writer(), errorConsole.writer()),
              1)
        << c.words[1];
    const std::string text = console.Take(), errors = errorConsole.Take();
    EXPECT_EQ(text, "") << c.words[1];
    EXPECT_EQ(errors.substr(0, c.errors.size()), c.errors) << c.words[1];
    EXPECT_GT(errors.size(), c.errors.size() + 40) << c.words[1];
  }
}

}  // namespace
}  // namespace zelvane
