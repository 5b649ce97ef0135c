// The command-line splitter against a quote-toggling reading of its rules,
// and the argument parser on the words it gives and on raw words.
#include "base/byte_string.h"
#include "base/captured_output.h"
#include "fuzz_check.h"
#include "memory_file.h"
#include "run/command_line.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelvane::fuzz {
namespace {

using Words = std::vector<std::string>;

bool IsSeparator(char c) { return c >= 1 && c <= 32; }

// A double quote switches grouping on and off; a pair of quotes standing
// alone is no word.
Words SplitModel(std::string_view line) {
  line = line.substr(0, line.find('\0'));
  Words words;
  std::size_t i = 0;
  for (;;) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i == line.size()) return words;
    if (line.substr(i, 2) == "\"\"") {
      i += 2;
      continue;
    }
    std::string word;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsSeparator(line[i])); ++i) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        word += line[i];
      }
    }
    words.push_back(word);
  }
}

std::string Joined(const Words& words) {
  std::string line;
  for (const std::string& word : words) line.append(" \"").append(word).append("\"");
  return line;
}

// Word 0, the program, is never a name. A value may also stand after the
// first "=" of an option word ("--output=", "--outputfile=").
bool IsUnquotedFormOfSomeWord(const std::string& value, const Words& words) {
  const auto first = words.begin() + (words.empty() ? 0 : 1);
  return value.empty() || std::any_of(first, words.end(), [&](const std::string& word) {
           const std::size_t equals = word.find('=');
           return UnquoteValue(word) == value ||
                  (word.starts_with("--") && equals != std::string::npos &&
                   UnquoteValue(word.substr(equals + 1)) == value);
         });
}

void CheckSettings(const Words& words, std::string_view input) {
  const RunSettings settings = ParseArguments(words);
  Require(IsUnquotedFormOfSomeWord(settings.source, words), "source is a word", input);
  Require(IsUnquotedFormOfSomeWord(settings.destination, words), "destination is a word", input);
  Require(settings.filter.cet || settings.filter.cetoffset == 0, "an offset only with --cet",
          input);

  CapturedOutput console(EmptyFile());
  PrintSettings(settings, console.writer());
  const std::string report = console.Take();
  Require(report.starts_with(Concat("Source: ", settings.source, "\r\nDestination: ",
                                    settings.destination, "\r\n")),
          "report names source and destination", input);
  Require(report.ends_with("\r\n"), "report ends with its line end", input);
}

}  // namespace
}  // namespace zelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelvane;
  using namespace zelvane::fuzz;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const Words words = SplitCommandLine(input);
  Require(words == SplitModel(input), "words as the quoting rules give them", input);
  std::size_t total = 0;
  for (const std::string& word : words) {
    Require(word.find('"') == std::string::npos, "quotes never stay in a word", word);
    total += word.size();
  }
  Require(total <= input.size(), "words are no longer than the line", input);

  Words nonEmpty;
  for (const std::string& word : words) {
    if (!word.empty()) nonEmpty.push_back(word);
  }
  Require(SplitCommandLine(Joined(nonEmpty)) == nonEmpty, "quoted words split back", input);
  CheckSettings(words, input);

  // As the POSIX platform hands them over: words as they come, here cut at
  // zero bytes, empty words and options in any case included.
  Words raw{"zelvane"};
  for (std::size_t from = 0;;) {
    const std::size_t nul = input.find('\0', from);
    raw.emplace_back(input.substr(from, nul == std::string_view::npos ? nul : nul - from));
    if (nul == std::string_view::npos) break;
    from = nul + 1;
  }
  CheckSettings(raw, input);
  for (const std::string& word : raw) {
    const std::string value = UnquoteValue(word);
    Require(value.size() <= word.size(), "unquoting never lengthens", word);
    const std::size_t apostrophes =
        (word.starts_with('\'') ? 1 : 0) + (word.size() > 1 && word.ends_with('\'') ? 1 : 0);
    Require(value.size() + apostrophes == word.size(), "only the apostrophes are stripped", word);
  }
  return 0;
}
