#include "filter/programme_assembly.h"

#include "base/byte_string.h"
#include "base/failure.h"
#include "filter/line_cleaning.h"
#include "filter/line_scan.h"
#include "time/timestamp.h"

#include <cstring>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <iterator>
#include <utility>

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

constexpr std::string_view kClosingText = "</programme";

// A programme is held whole until it ends; one beyond this ends the run
// instead of taking all memory. Real programmes hold a few KiB.
constexpr std::size_t kMaxProgramme = std::size_t{256} << 20;
// The file layer's own code for data beyond a ceiling.
constexpr std::int32_t kTooLarge = 105;

void CheckHeldSize(const ProgrammeBuffer& buffer) {
  if (buffer.HeldBytes() > kMaxProgramme) {
    throw EInOutError(kTooLarge, "A programme of the source is larger than 256 MiB",
                      FailurePosition::kProgrammeTooLarge);
  }
}
// Element start texts count only when they lie wholly in this many leading
// characters: the listings indent their element lines by a few blanks.
constexpr std::size_t kHeadLength = 20;

enum class LineClass { kTitle, kSubTitle, kDesc, kKenmerken, kClosing, kFurther };

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
  return at >= from && line.compare(at, endText.size(), endText) == 0;
}

// Classifies a line that opens no programme by the fixed texts near its
// start; `headTagStarts` marks the "<" among its first bytes. A named element
// line whose end tag does not follow on the same line is a further line: its
// element runs on over the lines below, among which it has to keep its place.
// `demoted` tells such a line.
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

// `scan` holds the ScanLine answers for `line`.
void WriteLineCleaned(std::string_view line, const LineScan& scan, LineWriter& writer,
                      const RunSettings& settings, FilterState& state) {
  WriteCleanLine(line, scan, settings.encoding, state.cleaned, writer);
}

void WriteLineCleaned(std::string_view line, LineWriter& writer, const RunSettings& settings,
                      FilterState& state) {
  WriteLineCleaned(line, ScanLine(line), writer, settings, state);
}

// Stores `line` cleaned at the end of `list`.
void StoreCleanLine(std::string_view line, const LineScan& scan, LineList& list,
                    const RunSettings& settings, FilterState& state) {
  list.Add(CleanLineView(line, scan, settings.encoding, state.cleaned));
}

void StoreCleanLine(std::string_view line, LineList& list, const RunSettings& settings,
                    FilterState& state) {
  StoreCleanLine(line, ScanLine(line), list, settings, state);
}

// The time stamps of an opening line, or of a line its start tag runs on.
std::string_view RewriteIfNeeded(std::string_view line, const RunSettings& settings,
                                 FilterState& state) {
  return RewriteOpeningLine(line, settings, state.rewritten) ? std::string_view(state.rewritten)
                                                             : line;
}

void ContinueOpening(std::string_view line, const RunSettings& settings, FilterState& state) {
  if (line.find('>') != kNone) state.openingContinues = false;
  if (line.empty()) return;
  StoreCleanLine(RewriteIfNeeded(line, settings, state), state.buffer.opening, settings, state);
  CheckHeldSize(state.buffer);
}

// Writes the lines of `list` that are not empty.
void WriteList(const LineList& list, LineWriter& writer) {
  if (!list.MayHoldEmptyLine()) {
    writer.WriteEndedLines(list.EndedLines());
    return;
  }
  for (std::size_t i = 0; i < list.Size(); ++i) {
    if (!list[i].empty()) writer.WriteLine(list[i]);
  }
}

// Writes the programme held, followed by `closingLine` when it has one.
void WriteProgramme(const std::string_view* closingLine, const LineScan& closingScan,
                    LineWriter& writer, const RunSettings& settings, FilterState& state) {
  const ProgrammeBuffer& buffer = state.buffer;
  WriteList(buffer.opening, writer);
  WriteList(buffer.titles, writer);
  WriteList(buffer.subTitles, writer);
  for (std::size_t i = 0; i < buffer.descs.Size(); ++i) {
    WriteLineCleaned(buffer.descs[i], writer, settings, state);
  }
  if (!buffer.kenmerken.empty()) WriteLineCleaned(buffer.kenmerken, writer, settings, state);
  WriteList(buffer.further, writer);
  if (closingLine != nullptr) WriteLineCleaned(*closingLine, closingScan, writer, settings, state);
}

// Ends the programme held, at `closingLine` or, when that is null, where the
// next programme opens or the input ends.
void CloseProgramme(const std::string_view* closingLine, const LineScan& closingScan,
                    LineWriter& writer, const RunSettings& settings, FilterState& state) {
  state.inProgramme = false;
  if (state.dropProgramme) {
    state.dropProgramme = false;
    return;
  }
  ProgrammeBuffer& buffer = state.buffer;
  // A desc element that runs over several lines cannot take the text, nor
  // may a second desc be built beside it: the kenmerken line stays as it is.
  if (settings.kenmerk && !buffer.kenmerken.empty() &&
      !(buffer.descs.Empty() && buffer.furtherDesc)) {
    state.merged.clear();
    if (!buffer.descs.Empty()) state.merged.assign(buffer.descs[buffer.descs.Size() - 1]);
    MergeKenmerken(buffer.kenmerken, state.merged);
    if (buffer.descs.Empty()) {
      buffer.descs.Add(state.merged);
    } else {
      buffer.descs.ReplaceLast(state.merged);
    }
    buffer.kenmerken.clear();
  }
  WriteProgramme(closingLine, closingScan, writer, settings, state);
}

// Ends a programme whose closing line never came: its lines are written as a
// closing line would write them, without one.
void FinishProgramme(LineWriter& writer, const RunSettings& settings, FilterState& state) {
  CloseProgramme(nullptr, LineScan{}, writer, settings, state);
}

void OpenProgramme(std::string_view line, std::size_t openingAt, LineWriter& writer,
                   const RunSettings& settings, FilterState& state) {
  // A programme still open ends here as if it had been closed.
  if (state.inProgramme) FinishProgramme(writer, settings, state);
  state.openingContinues = false;
  const std::size_t tagRest = openingAt + kProgrammeOpening.size();
  const std::string_view rewritten = RewriteIfNeeded(line, settings, state);
  if (line.find(kClosingText, tagRest) != kNone) {
    // The whole programme stands on this line, as generated feeds write it.
    state.inProgramme = false;
    WriteLineCleaned(rewritten, writer, settings, state);
    return;
  }
  state.inProgramme = true;
  state.buffer.Clear();
  StoreCleanLine(rewritten, state.buffer.opening, settings, state);
  // Long start tags are broken over several lines; the lines up to the one
  // holding the tag's ">" belong to the opening.
  state.openingContinues = line.find('>', tagRest) == kNone;
}

}  // namespace

void LineList::Append(std::string_view line) {
  constexpr std::string_view kLineEnd = LineWriter::kLineEnd;
  bytes_.Reserve(size_ + line.size() + kLineEnd.size());
  if (!line.empty()) std::memcpy(bytes_.data() + size_, line.data(), line.size());
  std::memcpy(bytes_.data() + size_ + line.size(), kLineEnd.data(), kLineEnd.size());
  size_ += line.size() + kLineEnd.size();
}

void ProgrammeBuffer::Clear() {
  opening.Clear();
  titles.Clear();
  subTitles.Clear();
  descs.Clear();
  kenmerken.clear();
  further.Clear();
  furtherDesc = false;
}

std::size_t ProgrammeBuffer::HeldBytes() const {
  return opening.EndedLines().size() + titles.EndedLines().size() +
         subTitles.EndedLines().size() + descs.EndedLines().size() + kenmerken.size() +
         further.EndedLines().size();
}

void FinishListing(LineWriter& writer, const RunSettings& settings, FilterState& state) {
  if (state.inProgramme) FinishProgramme(writer, settings, state);
  state.openingContinues = false;
}

bool RewriteOpeningLine(std::string_view line, const RunSettings& settings, std::string& out) {
  const AttributeValue start = FindAttributeValue(line, "start=\"");
  const AttributeValue stop = FindAttributeValue(line, "stop=\"");
  if (!start.found && !stop.found) return false;
  // Both values are read from the line as it came; they never overlap, since
  // a value ends at the first double quote after its own.
  // Reused from line to line, so that no opening line costs an allocation.
  thread_local std::string startValue;
  thread_local std::string stopValue;
  startValue.clear();
  stopValue.clear();
  if (start.found) {
    AppendNormalisedTimeStamp(line.substr(start.begin, start.end - start.begin), settings.cet,
                              settings.cetoffset, settings.zone, startValue);
  }
  if (stop.found) {
    AppendNormalisedTimeStamp(line.substr(stop.begin, stop.end - stop.begin), settings.cet,
                              settings.cetoffset, settings.zone, stopValue);
  }
  const AttributeValue* first = &start;
  const AttributeValue* second = &stop;
  const std::string* firstValue = &startValue;
  const std::string* secondValue = &stopValue;
  if (!start.found || (stop.found && stop.begin < start.begin)) {
    std::swap(first, second);
    std::swap(firstValue, secondValue);
  }
  out.clear();
  out.append(line.substr(0, first->begin)).append(*firstValue);
  if (second->found) {
    out.append(line.substr(first->end, second->begin - first->end)).append(*secondValue);
    out.append(line.substr(second->end));
  } else {
    out.append(line.substr(first->end));
  }
  return true;
}

bool CheckTitle(std::string_view line, const RunSettings& settings) {
  if (!settings.tba && !settings.talpa) return false;
  const std::size_t title = line.find("<title");
  if (title == kNone) return false;
  // A start tag that does not end on its line has no title text to test.
  const std::size_t tagEnd = line.find('>', title);
  if (tagEnd == kNone) return false;
  if (settings.tba) {
    // "Film: to be announced" is dropped, "Programma: to be announced" is
    // not: the phrase may follow at most eight other characters.
    for (std::size_t distance = 1; distance <= 9; ++distance) {
      if (MatchesFolded(line, tagEnd + distance, "to be announced")) return true;
    }
  }
  return settings.talpa && MatchesFolded(line, tagEnd + 1, "talpa<");
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
  std::string piece;
  piece.reserve(text.size() + 13);
  if (fullStop) piece.push_back('.');
  piece.append(" Kenmerken: ").append(text);
  descLine.insert(at, piece);
}

void FilterLine(std::string_view line, LineWriter& writer, const RunSettings& settings,
                FilterState& state) {
  if (state.inProgramme && state.openingContinues) {
    ContinueOpening(line, settings, state);
    return;
  }
  const LineScan scan = ScanLine(line);
  if (scan.openingAt != kNone) {
    OpenProgramme(line, scan.openingAt, writer, settings, state);
    return;
  }
  // Outside a programme every line goes out at once; element lines that
  // stray there set no flag and are not held for a programme to come.
  if (!state.inProgramme) {
    WriteLineCleaned(line, scan, writer, settings, state);
    return;
  }
  ProgrammeBuffer& buffer = state.buffer;
  bool demoted = false;
  switch (ClassifyLine(line, scan.headTagStarts, demoted)) {
    case LineClass::kTitle:
      if (CheckTitle(line, settings)) state.dropProgramme = true;
      StoreCleanLine(line, scan, buffer.titles, settings, state);
      break;
    case LineClass::kSubTitle:
      StoreCleanLine(line, scan, buffer.subTitles, settings, state);
      break;
    case LineClass::kDesc:
      buffer.descs.Add(line);
      break;
    case LineClass::kKenmerken:
      buffer.kenmerken.assign(line);
      break;
    case LineClass::kClosing:
      CloseProgramme(&line, scan, writer, settings, state);
      break;
    case LineClass::kFurther:
      if (demoted && line.substr(0, kHeadLength).find("<desc") != kNone) {
        buffer.furtherDesc = true;
      }
      // Empty lines are not written inside a programme.
      if (!line.empty()) StoreCleanLine(line, scan, buffer.further, settings, state);
      break;
  }
  if (state.inProgramme) CheckHeldSize(buffer);
}

}  // namespace zelvane
