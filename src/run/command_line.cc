#include "run/command_line.h"

#include "base/byte_string.h"

#include <optional>

namespace zelvane {

namespace {

bool IsSeparator(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 1 && byte <= 32;
}

// The word at `index`; the empty string beyond the last.
std::string_view WordAt(const std::vector<std::string>& words, std::size_t index) {
  return index < words.size() ? std::string_view(words[index]) : std::string_view();
}

// True when the lower-case form of `word`, cut to the option's length, is the
// option: a shorter word never matches.
bool MatchesOption(std::string_view word, std::string_view option) {
  return Lower(Left(word, Length(option))) == option;
}

// The value written into the word of an option that takes one: the text
// after the word's first "=", which stands after the option's name or after
// a longer form of it ("--output=out.xml", "--outputfile=out.xml"); nullopt
// when the word holds no "=", and the value is the next word. A longer form
// that ignored its "=" would take the next word, an option perhaps, as its
// value and the written value as a name.
std::optional<std::string_view> AttachedValue(std::string_view word, std::string_view option) {
  const std::size_t equals = word.find('=', option.size());
  if (equals == std::string_view::npos) return std::nullopt;
  return word.substr(equals + 1);
}

// The short forms are exact words: "-O" or "-qx" is a name as before.
bool IsShortOption(std::string_view word) { return word == "-o" || word == "-q" || word == "-h"; }

constexpr std::string_view kUsage[] = {
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
};

constexpr std::string_view kHelp[] = {
    "Usage: zelvane SOURCE --output DESTINATION [--cet [OFFSET]] [--tz ZONE]",
    "               [--kenmerk] [--tba] [--talpa] [--rating WORD] [--quiet]",
    "       zelvane --help",
    "       zelvane --version",
    "",
    "Writes a cleaned copy of the XMLTV listing SOURCE to DESTINATION: every",
    "programme's start and stop time stamps get an explicit UTC offset (UTC gives",
    "+0000, CET +0100 or +0200 by the European summer-time rule), markup becomes",
    "blanks, stray ampersands are escaped and numeric character references are",
    "decoded. When DESTINATION is SOURCE, the source is replaced in one step.",
    "",
    "Options:",
    "  -o, --output NAME  write the result to NAME (required)",
    "  --cet [OFFSET]     give time stamps without a zone the CET offset plus OFFSET",
    "                     hours (--cet -1 for London); the next word is the offset",
    "                     unless it is an option",
    "  --tz ZONE          give time stamps without a zone the offset of ZONE, an",
    "                     IANA time zone such as Europe/London",
    "  --kenmerk          fold each programme's <kenmerken> into its <desc>",
    "  --tba              drop programmes whose title announces \"to be announced\"",
    "  --talpa            drop programmes whose title is the word TALPA, in any case",
    "  --rating WORD      accepted and ignored",
    "  -q, --quiet        print nothing but problems: no \"Running...\" and no",
    "                     report of the settings",
    "  -h, --help         print this help and exit",
    "  --version          print the version and exit",
    "  -                  as SOURCE read standard input, as NAME write standard",
    "                     output (the console lines then go to standard error)",
    "",
    "Long options match by their first letters in any case (--CET, --kenmerken);",
    "an option that takes a value also accepts it as --option=value, the value",
    "being what follows the first \"=\" (--outputfile=x). -o, -q and -h are exact",
    "words. Any other word is the source; the last one wins.",
    "",
    "Exit status: 0 when the listing was filtered, and for --help, --version or no",
    "arguments; 1 when a name is missing, the source does not exist or the run",
    "failed.",
    "",
    "See man zelvane for the full description.",
};

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  // A zero byte ends the command line, as it ends the platform's string.
  const std::size_t nul = commandLine.find('\0');
  if (nul != std::string_view::npos) commandLine = commandLine.substr(0, nul);

  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t end = commandLine.size();
  for (;;) {
    while (i < end && IsSeparator(commandLine[i])) ++i;
    if (i == end) break;
    if (i + 1 < end && commandLine[i] == '"' && commandLine[i + 1] == '"') {
      i += 2;
      continue;
    }
    std::string word;
    while (i < end && !IsSeparator(commandLine[i])) {
      if (commandLine[i] == '"') {
        const std::size_t close = commandLine.find('"', i + 1);
        const std::size_t stop = close == std::string_view::npos ? end : close;
        word.append(commandLine.substr(i + 1, stop - i - 1));
        i = close == std::string_view::npos ? end : close + 1;
      } else {
        word.push_back(commandLine[i++]);
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string UnquoteValue(std::string_view value) {
  // Names keep their case: on a case-sensitive file system a folded name
  // would read or write a file the user did not name.
  std::string result(value);
  if (!result.empty() && result.front() == '\'') result.erase(0, 1);
  if (!result.empty() && result.back() == '\'') result.pop_back();
  return result;
}

RunSettings ParseArguments(const std::vector<std::string>& words,
                           const DateTimeSeparators& separators) {
  RunSettings settings;
  FilterOptions& filter = settings.filter;
  filter.separators = separators;
  const std::size_t count = words.empty() ? 0 : words.size() - 1;
  std::size_t i = 1;
  while (i <= count) {
    const std::string_view word = words[i];
    if (MatchesOption(word, "--output") || word == "-o") {
      const std::optional<std::string_view> attached = AttachedValue(word, "--output");
      settings.destination = UnquoteValue(attached ? *attached : WordAt(words, i + 1));
      i += attached ? 1u : 2u;
    } else if (MatchesOption(word, "--rating")) {
      i += AttachedValue(word, "--rating") ? 1u : 2u;
    } else if (MatchesOption(word, "--cet")) {
      filter.cet = true;
      if (const std::optional<std::string_view> attached = AttachedValue(word, "--cet")) {
        filter.cetoffset = ParseInt(UnquoteValue(*attached)).value;
        ++i;
        continue;
      }
      // The next word is the offset unless it looks like an option; a word
      // that is no number still gives whatever the integer reader makes of it.
      const bool offsetFollows = i < count && WordAt(words, i + 1).substr(0, 2) != "--" &&
                                 !IsShortOption(WordAt(words, i + 1));
      if (offsetFollows) filter.cetoffset = ParseInt(UnquoteValue(words[i + 1])).value;
      i += offsetFollows ? 2 : 1;
    } else if (MatchesOption(word, "--talpa")) {
      filter.talpa = true;
      ++i;
    } else if (MatchesOption(word, "--kenmerk")) {
      filter.kenmerk = true;
      ++i;
    } else if (MatchesOption(word, "--tba")) {
      filter.tba = true;
      ++i;
    } else if (MatchesOption(word, "--tz")) {
      filter.tz = true;
      const std::optional<std::string_view> attached = AttachedValue(word, "--tz");
      filter.tzname = UnquoteValue(attached ? *attached : WordAt(words, i + 1));
      i += attached ? 1u : 2u;
    } else if (MatchesOption(word, "--quiet") || word == "-q") {
      settings.quiet = true;
      ++i;
    } else if (word == "--help" || word == "-h" || word == "--version") {
      // Only these exact words, where a source name would stand, ask for the
      // help text or the version; "--HELP" or "'--help'" is still a name.
      if (settings.request == RunRequest::kRun) {
        settings.request = word == "--version" ? RunRequest::kVersion : RunRequest::kHelp;
      }
      ++i;
    } else {
      settings.source = UnquoteValue(word);
      ++i;
    }
  }
  return settings;
}

void PrintUsage(LineWriter& console) {
  for (std::string_view line : kUsage) console.WriteLine(line);
}

void PrintHelp(LineWriter& console) {
  for (std::string_view line : kHelp) console.WriteLine(line);
}

void PrintSettings(const RunSettings& settings, LineWriter& console) {
  const FilterOptions& filter = settings.filter;
  console.WriteLine(Concat("Source: ", settings.source));
  console.WriteLine(Concat("Destination: ", settings.destination));
  if (filter.cet) {
    console.WriteLine("cet: add time zone GMT+1 or GMT+2 accordingly for missing references");
    console.WriteLine(
        Concat("cetoffset: the offset relative to cet will be ", FormatInt(filter.cetoffset)));
  } else {
    console.WriteLine("cet: do not add time zone, except for \"UTC\" and \"CET\" references");
  }
  if (filter.tz) {
    console.WriteLine(
        Concat("tz: add the offset of time zone ", filter.tzname, " for missing references"));
  }
  if (filter.kenmerk) {
    console.WriteLine("kenmerk: add any <kenmerk> data to description");
  } else {
    console.WriteLine("kenmerk: do not add any <kenmerk> data to description");
  }
  if (filter.talpa) console.WriteLine("talpa: remove TALPA-block from channel");
}

}  // namespace zelvane
