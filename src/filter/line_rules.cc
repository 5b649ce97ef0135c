#include "filter/line_rules.h"

#include "base/byte_string.h"

#include <array>
#include <bit>
#include <cstring>
#include <iterator>

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// A text near a line's start that classifies the line: the start of a named
// element's start tag, with the end tag that must follow on the same line
// for the line to count as that element, or the closing tag.
struct HeadText {
  LineClass lineClass;
  std::string_view startText;
  std::string_view endTag;  // with its ">"; empty for the closing tag
};

// Indexed by LineClass, the order in which a line is tested.
constexpr HeadText kHeadTexts[] = {
    {LineClass::kTitle, "<title", "</title>"},
    {LineClass::kSubTitle, "<sub-title", "</sub-title>"},
    {LineClass::kDesc, "<desc", "</desc>"},
    {LineClass::kKenmerken, "<kenmerken", "</kenmerken>"},
    {LineClass::kClosing, kClosingText, {}},
};
constexpr std::size_t kNoHeadText = std::size(kHeadTexts);

constexpr std::size_t IndexOf(LineClass lineClass) { return static_cast<std::size_t>(lineClass); }

// The end text that is searched for: the end tag without its ">".
constexpr std::string_view EndText(LineClass element) {
  const std::string_view endTag = kHeadTexts[IndexOf(element)].endTag;
  return std::string_view(endTag.data(), endTag.size() - 1);
}

// The table is indexed by LineClass; every text starts with "<", and no two
// share their second byte, so that each "<" of a line's head is compared
// with one text at most.
constexpr bool HeadTextsHold() {
  if (std::size(kHeadTexts) != IndexOf(LineClass::kFurther)) return false;
  for (std::size_t i = 0; i < std::size(kHeadTexts); ++i) {
    const std::string_view text = kHeadTexts[i].startText;
    if (IndexOf(kHeadTexts[i].lineClass) != i || text.size() < 2 || text[0] != '<') return false;
    if ((kHeadTexts[i].lineClass == LineClass::kClosing) != kHeadTexts[i].endTag.empty()) {
      return false;
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (kHeadTexts[j].startText[1] == text[1]) return false;
    }
  }
  return true;
}
static_assert(HeadTextsHold());

// The index of the head text whose second byte is the table's index, or
// kNoHeadText.
constexpr auto kBySecondByte = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(static_cast<std::uint8_t>(kNoHeadText));
  for (std::size_t i = 0; i < std::size(kHeadTexts); ++i) {
    table[static_cast<unsigned char>(kHeadTexts[i].startText[1])] = static_cast<std::uint8_t>(i);
  }
  return table;
}();

// True when `text` at `at` reads `lowerText` with ASCII letters folded.
bool MatchesFolded(std::string_view text, std::size_t at, std::string_view lowerText) {
  if (at > text.size() || text.size() - at < lowerText.size()) return false;
  for (std::size_t i = 0; i < lowerText.size(); ++i) {
    if (LowerAscii(text[at + i]) != lowerText[i]) return false;
  }
  return true;
}

// The index of the head text that stands wholly in `head` at its "<" at
// `at`, if it is one of those before index `before`; else kNoHeadText.
std::size_t HeadTextAt(std::string_view head, std::size_t at, std::size_t before) {
  if (at + 1 >= head.size()) return kNoHeadText;
  const std::size_t text = kBySecondByte[static_cast<unsigned char>(head[at + 1])];
  const std::string_view rest(head.data() + at, head.size() - at);
  return text < before && rest.starts_with(kHeadTexts[text].startText) ? text : kNoHeadText;
}

// The ElementBit of each named element whose start text stands in `head`
// at one of its "<", which `tagStarts` marks.
std::uint8_t NamedStarts(std::string_view head, std::uint32_t tagStarts) {
  std::uint8_t starts = 0;
  for (std::uint32_t bits = tagStarts; bits != 0; bits &= bits - 1) {
    const auto at = static_cast<std::size_t>(std::countr_zero(bits));
    const std::size_t text = HeadTextAt(head, at, IndexOf(LineClass::kClosing));
    if (text != kNoHeadText) starts |= ElementBit(kHeadTexts[text].lineClass);
  }
  return starts;
}

// True when the end text of `element` follows on `line` at or after `from`.
// Element lines mostly end in its end tag: a quick answer before searching
// the whole line.
bool HasEndText(std::string_view line, LineClass element, std::size_t from) {
  const std::string_view endTag = kHeadTexts[IndexOf(element)].endTag;
  return (line.size() >= from + endTag.size() && line.ends_with(endTag)) ||
         line.find(EndText(element), from) != kNone;
}

// Eight bytes of a line as one integer, for searches a word at a time in
// plain C++ where a few bytes are looked at, too few to pay for a call.
using Word = std::uint64_t;
constexpr Word kEveryByte = 0x0101010101010101;
constexpr Word kLow7 = 0x7F7F7F7F7F7F7F7F;
static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

Word LoadWord(const char* from) {
  Word word;
  std::memcpy(&word, from, sizeof word);
  return word;
}

// The top bit set in each byte of `word` that is zero, and in no other: no
// carry crosses from one byte into the next.
Word ZeroBytes(Word word) { return ~(((word & kLow7) + kLow7) | word | kLow7); }

// The place in memory of the byte whose top bit is bit `bit` of a word.
std::size_t ByteAt(int bit) {
  const auto byte = static_cast<std::size_t>(bit) / 8;
  return std::endian::native == std::endian::little ? byte : 7 - byte;
}

// The first byte of a word that ZeroBytes marked in `marks`, not zero.
std::size_t FirstMarked(Word marks) {
  return std::endian::native == std::endian::little
             ? static_cast<std::size_t>(std::countr_zero(marks)) / 8
             : static_cast<std::size_t>(std::countl_zero(marks)) / 8;
}

// The first ">" at or after `from` (at most line.size()), or npos. It mostly
// follows within a few words.
std::size_t FindTagEnd(std::string_view line, std::size_t from) {
  std::size_t at = from;
  for (int words = 0; words < 4 && line.size() - at >= sizeof(Word); ++words) {
    const Word marks = ZeroBytes(LoadWord(line.data() + at) ^ (kEveryByte * '>'));
    if (marks != 0) return at + FirstMarked(marks);
    at += sizeof(Word);
  }
  return line.find('>', at);
}

// True when "to be announced" (any case) stands 1 to 9 bytes after `tagEnd`.
bool ToBeAnnouncedNear(std::string_view line, std::size_t tagEnd) {
  constexpr std::string_view kPhrase = "to be announced";
  const std::size_t first = tagEnd + 1;
  if (first > line.size() || line.size() - first < sizeof(Word) + kPhrase.size()) {
    for (std::size_t at = first; at <= tagEnd + 9; ++at) {
      if (MatchesFolded(line, at, kPhrase)) return true;
    }
    return false;
  }
  // Only "t" and "T" are "t" with bit 5 set; the phrase is tested at those
  // of the first eight places, then at the ninth.
  for (Word marks = ZeroBytes((LoadWord(line.data() + first) | (kEveryByte * 0x20)) ^
                              (kEveryByte * 't'));
       marks != 0; marks &= marks - 1) {
    if (MatchesFolded(line, first + ByteAt(std::countr_zero(marks)), kPhrase)) return true;
  }
  return MatchesFolded(line, first + sizeof(Word), kPhrase);
}

}  // namespace

std::size_t HeadStart(std::string_view line) {
  std::size_t at = 0;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  return at;
}

LineKind ClassifyLine(std::string_view line, std::uint32_t headTagStarts) {
  static_assert(kHeadLength <= 32);
  const std::size_t lead = HeadStart(line);
  const std::string_view head = line.substr(lead, kHeadLength);
  // The "<" of the head: from the reader's marks where the head lies within
  // the first 32 bytes, as it does in the usual layout.
  std::uint32_t tagStarts = 0;
  if (lead + kHeadLength <= 32) {
    tagStarts = (headTagStarts >> lead) & ((std::uint32_t{1} << kHeadLength) - 1);
  } else {
    for (std::size_t at = 0; at < head.size(); ++at) {
      if (head[at] == '<') tagStarts |= std::uint32_t{1} << at;
    }
  }
  // The text tested first wins, at its first place in the head; nothing
  // comes before the title.
  std::size_t found = kNoHeadText;
  std::size_t foundAt = 0;
  for (std::uint32_t bits = tagStarts; bits != 0 && found != 0; bits &= bits - 1) {
    const auto at = static_cast<std::size_t>(std::countr_zero(bits));
    if (const std::size_t text = HeadTextAt(head, at, found); text != kNoHeadText) {
      found = text;
      foundAt = at;
    }
  }
  if (found == kNoHeadText) return {};
  const LineClass lineClass = kHeadTexts[found].lineClass;
  const auto at = static_cast<std::uint32_t>(lead + foundAt);
  if (lineClass == LineClass::kClosing || HasEndText(line, lineClass, at)) {
    return {at, lineClass, false, 0};
  }
  return {at, LineClass::kFurther, true, NamedStarts(head, tagStarts)};
}

bool CheckTitleAt(std::string_view line, std::size_t titleAt, const FilterOptions& options) {
  if ((!options.tba && !options.talpa) || titleAt == kNone) return false;
  // A start tag that does not end on its line has no title text to test.
  const std::size_t tagEnd = FindTagEnd(line, titleAt);
  if (tagEnd == kNone) return false;
  // "Film: to be announced" is dropped, "Programma: to be announced" is
  // not: the phrase may follow at most eight other characters.
  if (options.tba && ToBeAnnouncedNear(line, tagEnd)) return true;
  return options.talpa && MatchesFolded(line, tagEnd + 1, "talpa<");
}

std::string_view KenmerkenTextAt(std::string_view kenmerkenLine, std::size_t startAt) {
  if (startAt == kNone) return {};
  const std::size_t tagEnd = FindTagEnd(kenmerkenLine, startAt);
  if (tagEnd == kNone) return {};
  const std::size_t endTag =
      kenmerkenLine.find(kHeadTexts[IndexOf(LineClass::kKenmerken)].endTag, tagEnd);
  if (endTag == kNone) return {};
  return kenmerkenLine.substr(tagEnd + 1, endTag - tagEnd - 1);
}

KenmerkenPlace FindKenmerkenPlace(std::string_view descLine) {
  KenmerkenPlace place;
  place.at = descLine.find(EndText(LineClass::kDesc));
  // A description that ends in a letter (or any byte above '?') is closed
  // with a full stop; one ending in a blank, digit or punctuation is not.
  constexpr std::string_view kLabel = ". Kenmerken: ";
  const bool fullStop =
      place.at != kNone && place.at > 0 && static_cast<unsigned char>(descLine[place.at - 1]) > '?';
  place.label = fullStop ? kLabel : kLabel.substr(1);
  return place;
}

void AppendKenmerkenDesc(std::string_view text, std::string& out) {
  out.append("  <desc>Kenmerken: ").append(text).append("</desc>");
}

}  // namespace zelvane
