#include "filter/line_rules.h"

#include "base/byte_string.h"
#include "time/timestamp.h"

#include <bit>
#include <cstring>
#include <iterator>
#include <utility>

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

// The value of the attribute `name` (with its `="`) in `line`: the first
// occurrence that follows a blank or a tab, so that pdc-start and vps-start
// are passed over. `found` is false when there is none or its value has no
// closing quote.
struct AttributeValue {
  bool found = false;
  std::size_t begin = 0;
  std::size_t end = 0;
};

AttributeValue FindAttributeValue(std::string_view line, std::string_view name) {
  std::size_t at = line.find(name);
  while (at != kNone && (at == 0 || (line[at - 1] != ' ' && line[at - 1] != '\t'))) {
    at = line.find(name, at + 1);
  }
  AttributeValue value;
  if (at == kNone) return value;
  value.begin = at + name.size();
  value.end = line.find('"', value.begin);
  value.found = value.end != kNone;
  return value;
}

// True when `word` stands in `text` at `at`. A plain loop: the words are
// short and most candidates differ in their second byte, where a call of
// memcmp would cost more than the comparison.
bool StandsAt(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (text[at + i] != word[i]) return false;
  }
  return true;
}

// The texts looked for near the start of a line, in the order in which a
// line is tested: the four named elements, then the closing tag.
constexpr std::size_t kClosingIndex = std::size(kNamedElements);

std::string_view HeadText(std::size_t index) {
  return index == kClosingIndex ? kClosingText : kNamedElements[index].startText;
}

// The index of the head text whose second byte is `second`, or one past the
// closing tag's when there is none.
std::size_t HeadTextIndex(char second) {
  static_assert(kNamedElements[0].startText[1] == 't' && kNamedElements[1].startText[1] == 's' &&
                kNamedElements[2].startText[1] == 'd' && kNamedElements[3].startText[1] == 'k' &&
                kClosingText[1] == '/');
  switch (second) {
    case 't':
      return 0;
    case 's':
      return 1;
    case 'd':
      return 2;
    case 'k':
      return 3;
    case '/':
      return kClosingIndex;
    default:
      return kClosingIndex + 1;
  }
}

// True when `line` ends in `endText` and ">" at or after `from`, as element
// lines mostly do: a quick answer before searching the whole line.
bool EndsWithEndTag(std::string_view line, std::string_view endText, std::size_t from) {
  if (line.size() < endText.size() + 1 || line.back() != '>') return false;
  const std::size_t at = line.size() - endText.size() - 1;
  return at >= from && StandsAt(line, at, endText);
}

}  // namespace

LineClass ClassifyLine(std::string_view line, std::uint32_t headTagStarts, bool& demoted) {
  static_assert(kHeadLength <= 32);
  demoted = false;
  const std::string_view head = line.substr(0, kHeadLength);
  // Every text starts with "<" and no two share their second byte, so each
  // "<" of the head is compared with one text at most; the text tested first
  // wins, at its first place in the head.
  std::size_t found = kClosingIndex + 1;
  std::size_t foundAt = 0;
  for (std::uint32_t bits = headTagStarts & ((std::uint32_t{1} << kHeadLength) - 1); bits != 0;
       bits &= bits - 1) {
    const auto at = static_cast<std::size_t>(std::countr_zero(bits));
    if (at + 1 >= head.size()) break;
    const std::size_t index = HeadTextIndex(head[at + 1]);
    if (index < found && StandsAt(head, at, HeadText(index))) {
      found = index;
      foundAt = at;
    }
  }
  if (found == kClosingIndex) return LineClass::kClosing;
  if (found > kClosingIndex) return LineClass::kFurther;
  const NamedElement& element = kNamedElements[found];
  if (EndsWithEndTag(line, element.endText, foundAt) ||
      line.find(element.endText, foundAt) != kNone) {
    return element.lineClass;
  }
  demoted = true;
  return LineClass::kFurther;
}


namespace {

// The end (the closing quote) of a value at `begin` that may be a usual
// stamp, or kNone: the first of the places where a usual stamp can end (14,
// 18 or 20 bytes on) that holds a quote. The normaliser accepts no quote
// within a usual stamp, so a value it accepts ends at its first quote.
std::size_t UsualValueEnd(std::string_view line, std::size_t begin) {
  static constexpr std::size_t kUsualLengths[] = {14, 18, 20};
  for (const std::size_t length : kUsualLengths) {
    const std::size_t at = begin + length;
    if (at >= line.size()) return kNone;
    if (line[at] == '"') return at;
  }
  return kNone;
}

// True when `text` at `at` holds the bytes of `word` (a literal), compared
// in whole words rather than byte by byte.
template <std::size_t N>
bool HoldsAt(std::string_view text, std::size_t at, const char (&word)[N]) {
  return text.size() - at >= N - 1 && std::memcmp(text.data() + at, word, N - 1) == 0;
}

// Puts the normalised stamp of `length` bytes at `to`, in one fixed piece
// for the lengths of the usual results; returns where it ends.
char* PutStamp(char* to, const char* stamp, std::size_t length) {
  static_assert(TimeStampNormaliser::kUsualMaxLength == 20);
  if (length == 20) {
    std::memcpy(to, stamp, 20);
  } else if (length == 14) {
    std::memcpy(to, stamp, 14);
  } else {
    std::memcpy(to, stamp, length);
  }
  return to + length;
}

// The opening line as listings write it: blanks, then
// `<programme start="A" stop="B"` with usual stamps A and B, rewritten
// straight into `out`. The start value is then the first `start="` after a
// blank, and the stop value the first `stop="` after one, as the general path
// finds them: nothing before either value can hold one. False, with `out`
// as it was, for any other line.
bool RewriteUsualOpeningLine(std::string_view line, TimeStampNormaliser& normaliser,
                             std::string& out) {
  static constexpr char kLead[] = "<programme start=\"";
  static constexpr char kBetween[] = "\" stop=\"";
  std::size_t at = 0;
  while (at < line.size() && line[at] == ' ') ++at;
  if (!HoldsAt(line, at, kLead)) return false;
  const std::size_t startBegin = at + sizeof kLead - 1;
  const std::size_t startEnd = UsualValueEnd(line, startBegin);
  if (startEnd == kNone || !HoldsAt(line, startEnd, kBetween)) return false;
  const std::size_t stopBegin = startEnd + sizeof kBetween - 1;
  const std::size_t stopEnd = UsualValueEnd(line, stopBegin);
  if (stopEnd == kNone) return false;
  // Both stamps first, so that the line's length is known before it is
  // written.
  const auto value = [line](std::size_t begin, std::size_t end) {
    return std::string_view(line.data() + begin, end - begin);
  };
  char startStamp[TimeStampNormaliser::kUsualMaxLength];
  char stopStamp[TimeStampNormaliser::kUsualMaxLength];
  const std::size_t startLength = normaliser.WriteUsual(value(startBegin, startEnd), startStamp);
  if (startLength == 0) return false;
  const std::size_t stopLength = normaliser.WriteUsual(value(stopBegin, stopEnd), stopStamp);
  if (stopLength == 0) return false;
  const std::size_t restLength = line.size() - stopEnd;
  out.resize(startBegin + startLength + sizeof kBetween - 1 + stopLength + restLength);
  char* const outBegin = out.data();
  char* const outEnd = outBegin + out.size();
  // The pieces go in fixed sizes where they can, which needs no call: both
  // the line and the result hold more than 32 bytes (two stamps of at least
  // 14 and the texts around them). A short rest goes first as the line's
  // last 32 bytes, and a short start as its first 32; the pieces written
  // after each overwrite what it takes too many.
  constexpr std::size_t kPiece = 32;
  static_assert(sizeof kLead - 1 + 14 + sizeof kBetween - 1 + 14 >= kPiece);
  if (restLength <= kPiece) {
    std::memcpy(outEnd - kPiece, line.data() + line.size() - kPiece, kPiece);
  } else {
    std::memcpy(outEnd - restLength, line.data() + stopEnd, restLength);
  }
  char* to = outBegin;
  if (startBegin <= kPiece) {
    std::memcpy(to, line.data(), kPiece);
  } else {
    std::memcpy(to, line.data(), startBegin);
  }
  to += startBegin;
  to = PutStamp(to, startStamp, startLength);
  std::memcpy(to, kBetween, sizeof kBetween - 1);
  to += sizeof kBetween - 1;
  PutStamp(to, stopStamp, stopLength);
  return true;
}

}  // namespace

bool RewriteOpeningLine(std::string_view line, TimeStampNormaliser& normaliser,
                        std::string& out) {
  if (RewriteUsualOpeningLine(line, normaliser, out)) return true;
  const AttributeValue start = FindAttributeValue(line, "start=\"");
  const AttributeValue stop = FindAttributeValue(line, "stop=\"");
  if (!start.found && !stop.found) return false;
  // Both values are read from the line as it came; they never overlap, since
  // a value ends at the first double quote after its own.
  // The start value is normalised first, so that an invalid one is the one
  // reported; the values are written in the order they stand in the line.
  const AttributeValue* first = &start;
  const AttributeValue* second = &stop;
  const bool swapped = !start.found || (stop.found && stop.begin < start.begin);
  if (swapped) std::swap(first, second);
  const auto value = [line](const AttributeValue* attribute) {
    return line.substr(attribute->begin, attribute->end - attribute->begin);
  };
  out.clear();
  out.append(line.substr(0, first->begin));
  const std::string_view between =
      second->found ? line.substr(first->end, second->begin - first->end) : std::string_view();
  if (!swapped) {
    normaliser.Append(value(first), out);
    if (second->found) {
      out.append(between);
      normaliser.Append(value(second), out);
    }
  } else {
    // The stop value stands first or alone; a start value behind it is
    // still normalised first. Listings seldom write this order, so the one
    // allocation here does not matter.
    std::string startValue;
    if (second->found) normaliser.Append(value(second), startValue);
    normaliser.Append(value(first), out);
    out.append(between).append(startValue);
  }
  out.append(line.substr((second->found ? second : first)->end));
  return true;
}

bool CheckTitle(std::string_view line, const FilterOptions& options) {
  if (!options.tba && !options.talpa) return false;
  const std::size_t title = line.find("<title");
  if (title == kNone) return false;
  // A start tag that does not end on its line has no title text to test.
  const std::size_t tagEnd = line.find('>', title);
  if (tagEnd == kNone) return false;
  if (options.tba) {
    // "Film: to be announced" is dropped, "Programma: to be announced" is
    // not: the phrase may follow at most eight other characters.
    for (std::size_t distance = 1; distance <= 9; ++distance) {
      if (MatchesFolded(line, tagEnd + distance, "to be announced")) return true;
    }
  }
  return options.talpa && MatchesFolded(line, tagEnd + 1, "talpa<");
}

void MergeKenmerken(std::string_view kenmerkenLine, std::string& descLine) {
  std::string_view text;
  const std::size_t tagEnd = kenmerkenLine.find('>', kenmerkenLine.find("<kenmerken"));
  if (tagEnd != kNone) {
    const std::size_t endTag = kenmerkenLine.find("</kenmerken>", tagEnd);
    if (endTag != kNone) text = kenmerkenLine.substr(tagEnd + 1, endTag - tagEnd - 1);
  }
  if (descLine.empty()) {
    descLine.append("  <desc>Kenmerken: ").append(text).append("</desc>");
    return;
  }
  const std::size_t at = descLine.find("</desc");
  if (at == kNone) return;
  // A description that ends in a letter (or any byte above '?') is closed
  // with a full stop; one ending in a blank, digit or punctuation is not.
  const bool fullStop = at > 0 && static_cast<unsigned char>(descLine[at - 1]) > '?';
  // The piece is written into the gap it needs, without a string of its own.
  constexpr std::string_view kLabel = " Kenmerken: ";
  const std::size_t added = (fullStop ? 1 : 0) + kLabel.size() + text.size();
  const std::size_t oldSize = descLine.size();
  descLine.resize(oldSize + added);
  char* to = descLine.data() + at;
  std::memmove(to + added, to, oldSize - at);
  if (fullStop) *to++ = '.';
  std::memcpy(to, kLabel.data(), kLabel.size());
  if (!text.empty()) std::memcpy(to + kLabel.size(), text.data(), text.size());
}

}  // namespace zelvane
