#include "filter/line_rules.h"

#include "base/byte_string.h"

#include <bit>
#include <cstring>
#include <iterator>

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// A named element, the start of its start tag and the end tag that must
// follow on the same line for the line to count as that element.
struct NamedElement {
  LineClass lineClass;
  std::string_view startText;
  std::string_view endText;
};

// In the order in which a line is tested.
constexpr NamedElement kNamedElements[] = {
    {LineClass::kTitle, "<title", "</title"},
    {LineClass::kSubTitle, "<sub-title", "</sub-title"},
    {LineClass::kDesc, "<desc", "</desc"},
    {LineClass::kKenmerken, "<kenmerken", "</kenmerken"},
};

// True when `text` at `at` reads `lowerText` with ASCII letters folded.
bool MatchesFolded(std::string_view text, std::size_t at, std::string_view lowerText) {
  if (at > text.size() || text.size() - at < lowerText.size()) return false;
  for (std::size_t i = 0; i < lowerText.size(); ++i) {
    if (LowerAscii(text[at + i]) != lowerText[i]) return false;
  }
  return true;
}

// True when `line` ends in the literal `endTag` (an end text and ">"),
// starting at or after `from`, as element lines mostly do: a quick answer
// before searching the whole line.
template <std::size_t N>
bool EndsWithAfter(std::string_view line, const char (&endTag)[N], std::size_t from) {
  constexpr std::size_t kSize = N - 1;
  return line.size() >= kSize && line.size() - kSize >= from &&
         SameAsLiteral(line.data() + line.size() - kSize, endTag);
}

// The head texts are numbered in the order in which a line is tested: the
// named elements by their index in kNamedElements, then the closing tag,
// then a number for none of them.
constexpr std::size_t kClosingIndex = std::size(kNamedElements);
constexpr std::size_t kNoHeadText = kClosingIndex + 1;

// True when the end text of named element `index` follows on `line` at or
// after `from`.
bool HasEndText(std::string_view line, std::size_t index, std::size_t from) {
  static_assert(kNamedElements[0].endText == "</title" &&
                kNamedElements[1].endText == "</sub-title" &&
                kNamedElements[2].endText == "</desc" && kNamedElements[3].endText == "</kenmerken");
  bool atEnd = false;
  switch (index) {
    case 0:
      atEnd = EndsWithAfter(line, "</title>", from);
      break;
    case 1:
      atEnd = EndsWithAfter(line, "</sub-title>", from);
      break;
    case 2:
      atEnd = EndsWithAfter(line, "</desc>", from);
      break;
    default:
      atEnd = EndsWithAfter(line, "</kenmerken>", from);
      break;
  }
  return atEnd || line.find(kNamedElements[index].endText, from) != kNone;
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
  static_assert(kNamedElements[0].startText == "<title" &&
                kNamedElements[1].startText == "<sub-title" &&
                kNamedElements[2].startText == "<desc" &&
                kNamedElements[3].startText == "<kenmerken" && kClosingText == "</programme");
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
  // Every text starts with "<" and no two share their second byte, so each
  // "<" of the head is compared with one text at most; the text tested first
  // wins, at its first place in the head.
  std::size_t found = kNoHeadText;
  std::size_t foundAt = 0;
  const auto take = [&](std::size_t index, std::size_t at, bool stands) {
    if (stands) {
      found = index;
      foundAt = at;
    }
  };
  for (std::uint32_t bits = tagStarts; bits != 0 && found != 0; bits &= bits - 1) {
    const auto at = static_cast<std::size_t>(std::countr_zero(bits));
    if (at + 1 >= head.size()) break;
    switch (head[at + 1]) {
      case 't':
        take(0, at, LiteralAt(head, at, "<title"));
        break;
      case 's':
        if (found > 1) take(1, at, LiteralAt(head, at, "<sub-title"));
        break;
      case 'd':
        if (found > 2) take(2, at, LiteralAt(head, at, "<desc"));
        break;
      case 'k':
        if (found > 3) take(3, at, LiteralAt(head, at, "<kenmerken"));
        break;
      case '/':
        if (found > kClosingIndex) take(kClosingIndex, at, LiteralAt(head, at, "</programme"));
        break;
      default:
        break;
    }
  }
  if (found == kNoHeadText) return {0, LineClass::kFurther, false};
  foundAt += lead;
  const auto at = static_cast<std::uint32_t>(foundAt);
  if (found == kClosingIndex) return {at, LineClass::kClosing, false};
  if (HasEndText(line, found, foundAt)) return {at, kNamedElements[found].lineClass, false};
  return {at, LineClass::kFurther, true};
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
  const std::size_t endTag = kenmerkenLine.find("</kenmerken>", tagEnd);
  if (endTag == kNone) return {};
  return kenmerkenLine.substr(tagEnd + 1, endTag - tagEnd - 1);
}

KenmerkenPlace FindKenmerkenPlace(std::string_view descLine) {
  KenmerkenPlace place;
  place.at = descLine.find("</desc");
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
