#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "program_runner.h"

namespace zelvane::testing {
namespace {

// Real XMLTV files, kept outside the repository.
const std::filesystem::path kCorpus = ZELVANE_CORPUS;

const std::vector<std::vector<std::string>> kSwitchSets = {
    {},
    {"--kenmerk"},
    {"--tba", "--talpa"},
    {"--cet"},
    {"--kenmerk", "--tba", "--talpa", "--cet", "-6"},
};

// Exit status of a shell command.
int Shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string Quoted(const std::filesystem::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

bool HaveXmllint() { return Shell("xmllint --version > /dev/null 2>&1") == 0; }

// For each of `files`, whether `xmllint` with `options` accepts it. One run
// checks them all; only when it complains is each file run on its own.
std::vector<bool> XmllintAccepts(const std::vector<std::filesystem::path>& files,
                                 const std::string& options) {
  std::string command = "xmllint --noout --nonet ";
  command.append(options);
  for (const std::filesystem::path& file : files) command.append(" ").append(Quoted(file));
  command.append(" > /dev/null 2>&1");
  if (Shell(command) == 0) return std::vector<bool>(files.size(), true);
  std::vector<bool> accepted;
  for (const std::filesystem::path& file : files) {
    std::string single = "xmllint --noout --nonet ";
    single.append(options).append(" ").append(Quoted(file)).append(" > /dev/null 2>&1");
    accepted.push_back(Shell(single) == 0);
  }
  return accepted;
}

// `text` with each run of XML white space read as one blank, and none at
// either end. The filter does not write empty lines inside a programme, and
// such a line may stand within a desc that runs over several lines; XMLTV
// readers strip that white space as well.
std::string CollapseWhitespace(std::string_view text) {
  std::string collapsed;
  bool blank = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      blank = !collapsed.empty();
      continue;
    }
    if (blank) collapsed.push_back(' ');
    blank = false;
    collapsed.push_back(c);
  }
  return collapsed;
}

// The text of every title, sub-title and desc element as a parser reads it:
// the canonical form turns every encoding into UTF-8, resolves references
// and line ends, and writes text in one escaped form. Sorted, since the
// filter writes a programme's elements in its own order.
std::vector<std::string> ElementTexts(const std::filesystem::path& file) {
  const std::filesystem::path canonical = file.string().append(".c14n");
  std::string command = "xmllint --nonet --c14n ";
  command.append(Quoted(file)).append(" > ").append(Quoted(canonical)).append(" 2> /dev/null");
  if (Shell(command) != 0) {
    ADD_FAILURE() << "no canonical form of " << file;
    return {};
  }
  const std::string text = ReadFile(canonical);
  std::vector<std::string> texts;
  for (std::string_view name : {"title", "sub-title", "desc"}) {
    // Appended piece by piece: GCC 12 warns falsely on chains of operator+.
    const std::string open = std::string("<").append(name);
    const std::string close = std::string("</").append(name).append(">");
    for (std::size_t at = text.find(open); at != std::string::npos;
         at = text.find(open, at + 1)) {
      const std::size_t after = at + open.size();
      if (after >= text.size() || (text[after] != ' ' && text[after] != '>')) continue;
      const std::size_t contentStart = text.find('>', after);
      const std::size_t contentEnd = text.find(close, contentStart);
      if (contentStart == std::string::npos || contentEnd == std::string::npos) break;
      texts.push_back(std::string(name).append(": ").append(CollapseWhitespace(
          std::string_view(text).substr(contentStart + 1, contentEnd - contentStart - 1))));
    }
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

std::vector<std::filesystem::path> CorpusListings() {
  std::vector<std::filesystem::path> listings;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    if (entry.is_regular_file() && entry.path().extension() == ".xml") {
      listings.push_back(entry.path());
    }
  }
  std::sort(listings.begin(), listings.end());
  return listings;
}

std::string SwitchText(const std::vector<std::string>& switches) {
  std::string text;
  for (const std::string& word : switches) text.append(" ").append(word);
  return text.empty() ? " (no switches)" : text;
}

struct CorpusRun {
  std::string what;  // listing and switches, for the failure message
  std::filesystem::path source;
  std::filesystem::path output;
  bool plain = false;  // no switches
};

TEST(Corpus, StaysWellFormedValidAndReadsTheSame) {
  if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  if (!HaveXmllint()) GTEST_SKIP() << "xmllint is not installed";
  const std::filesystem::path dtd = kCorpus / "xmltv.dtd";
  const bool haveDtd = std::filesystem::exists(dtd);
  const std::filesystem::path directory = FreshDirectory("corpus");
  // The listings name their DTD relative to themselves.
  if (haveDtd) std::filesystem::copy_file(dtd, directory / "xmltv.dtd");

  const std::vector<std::filesystem::path> listings = CorpusListings();
  ASSERT_FALSE(listings.empty());
  std::vector<std::filesystem::path> sources;
  for (std::size_t i = 0; i < listings.size(); ++i) {
    // Plain names: the program folds file names to lower case.
    sources.push_back(directory / std::string("s").append(std::to_string(i)).append(".xml"));
    std::filesystem::copy_file(listings[i], sources.back());
  }
  const std::vector<bool> wellFormed = XmllintAccepts(sources, "");
  const std::vector<bool> valid =
      haveDtd ? XmllintAccepts(sources, std::string("--dtdvalid ").append(Quoted(dtd)))
              : std::vector<bool>(sources.size(), false);

  std::vector<CorpusRun> wellFormedRuns;
  std::vector<CorpusRun> validRuns;
  for (std::size_t i = 0; i < listings.size(); ++i) {
    for (std::size_t k = 0; k < kSwitchSets.size(); ++k) {
      const std::vector<std::string>& switches = kSwitchSets[k];
      CorpusRun run;
      run.what = listings[i].filename().string().append(SwitchText(switches));
      run.source = sources[i];
      run.output = directory / std::string("o").append(std::to_string(i)).append("_").append(
                                   std::to_string(k)).append(".xml");
      run.plain = switches.empty();
      std::vector<std::string> arguments = {run.source.filename().string(), "--output",
                                            run.output.filename().string()};
      arguments.insert(arguments.end(), switches.begin(), switches.end());
      const ProgramResult result = RunProgram(arguments, directory);
      ASSERT_EQ(result.status, 0) << run.what << "\n" << result.err;
      if (wellFormed[i]) wellFormedRuns.push_back(run);
      if (valid[i]) validRuns.push_back(run);
    }
  }

  std::vector<std::filesystem::path> outputs;
  for (const CorpusRun& run : wellFormedRuns) outputs.push_back(run.output);
  const std::vector<bool> outputWellFormed = XmllintAccepts(outputs, "");
  for (std::size_t r = 0; r < wellFormedRuns.size(); ++r) {
    EXPECT_TRUE(outputWellFormed[r]) << wellFormedRuns[r].what << " is no longer well-formed";
  }
  if (haveDtd) {
    outputs.clear();
    for (const CorpusRun& run : validRuns) outputs.push_back(run.output);
    const std::vector<bool> outputValid = XmllintAccepts(outputs, std::string("--dtdvalid ").append(Quoted(dtd)));
    for (std::size_t r = 0; r < validRuns.size(); ++r) {
      EXPECT_TRUE(outputValid[r]) << validRuns[r].what << " no longer validates";
    }
  }
  for (std::size_t r = 0; r < wellFormedRuns.size(); ++r) {
    const CorpusRun& run = wellFormedRuns[r];
    if (run.plain && outputWellFormed[r]) {
      EXPECT_EQ(ElementTexts(run.output), ElementTexts(run.source)) << run.what;
    }
  }
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace zelvane::testing
