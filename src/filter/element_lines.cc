#include "filter/element_lines.h"

#include "base/failure.h"
#include "filter/line_rules.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The file layer's own code for a line beyond the ceiling.
constexpr std::int32_t kLineTooLong = 104;

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// `text` without the white space at its end.
std::string_view WithoutWhiteEnd(std::string_view text) {
  std::size_t size = text.size();
  while (size > 0 && IsWhite(text[size - 1])) --size;
  return text.substr(0, size);
}

// True when no "<" of `suffix` can count for ClassifyLine: a named element's
// start or the closing tag may stand at one only where the bytes after it
// begin like one, and whether such a text lies within the twenty characters
// that count depends on the length of the text run before the suffix.
bool SuffixLeavesKindAlone(std::string_view suffix) {
  for (std::size_t at = suffix.find('<'); at != kNone; at = suffix.find('<', at + 1)) {
    if (at + 1 == suffix.size()) return false;
    switch (suffix[at + 1]) {
      case 't':
      case 's':
      case 'd':
      case 'k':
        return false;
      case '/':
        if (at + 2 == suffix.size() || suffix[at + 2] == 'p') return false;
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace

LineShapes::Shape* LineShapes::Set(Shape* shapes, const char* head, LayoutState::Where from) {
  std::uint32_t word;
  std::memcpy(&word, head, sizeof word);
  const std::uint32_t key = word * 0x9E3779B1u + static_cast<std::uint32_t>(from) * 0x85EBCA6Bu;
  return shapes + kWays * ((key * 0xC2B2AE35u) >> (32 - std::countr_zero(kSets)));
}

const LineShapes::Shape* LineShapes::LookForLine(std::string_view line, std::size_t head,
                                                 const LineMarks& marks,
                                                 const LayoutState& state) {
  // The bytes that choose the slot: the first "<" and three after it.
  if (line.size() < head + 4) return nullptr;
  Shape* set = Set(shapes_, line.data() + head, state.where());
  for (std::size_t way = 0; way < kWays; ++way) {
    if (set[way].valid && FitsLine(set[way], line, head, marks, state)) return Take(&set[way]);
  }
  return nullptr;
}

bool LineShapes::FitsElement(const Shape& shape, std::string_view text, const LayoutState& state,
                             std::size_t& suffixAt) {
  if (text.size() < shape.prefixSize + std::size_t{shape.suffixSize} || !FitsPlace(shape, state) ||
      !SameBytes(text.data(), shape.prefix, shape.prefixSize)) {
    return false;
  }
  // The text run ends at the first "<" after the prefix; the suffix starts
  // there, and an empty suffix may as well stand at the end.
  const void* found =
      std::memchr(text.data() + shape.prefixSize, '<', text.size() - shape.prefixSize);
  if (found == nullptr) {
    if (shape.suffixSize != 0) return false;
    suffixAt = text.size();
    return true;
  }
  const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
  if (text.size() - at < shape.suffixSize ||
      !SameBytes(text.data() + at, shape.suffix, shape.suffixSize)) {
    return false;
  }
  suffixAt = at;
  return true;
}

const LineShapes::Shape* LineShapes::FindElement(std::string_view text, const LayoutState& state,
                                                 std::size_t& suffixAt) {
  Shape* next = last_->next;
  if (next != nullptr && FitsElement(*next, text, state, suffixAt)) return Take(next);
  if (text.size() < 4) return nullptr;
  Shape* set = Set(shapes_, text.data(), state.where());
  for (std::size_t way = 0; way < kWays; ++way) {
    if (set[way].valid && FitsElement(set[way], text, state, suffixAt)) return Take(&set[way]);
  }
  return nullptr;
}

void LineShapes::Remember(std::string_view element, LayoutState::TextRun run,
                          LayoutState::Where from, std::string_view fromChild,
                          const LayoutState& state) {
  if (run.begin == kNone) return;
  const std::string_view prefix = element.substr(0, run.begin);
  // The suffix runs to the end of the last markup; a run after all markup
  // has none.
  const std::string_view suffix =
      run.markupEnd != kNone && run.markupEnd > run.end
          ? element.substr(run.end, run.markupEnd - run.end)
          : std::string_view();
  // The prefix holds the bytes by which the shape is found.
  if (prefix.size() < 4 || prefix.size() > Shape::kMaxPrefix ||
      suffix.size() > Shape::kMaxSuffix) {
    return;
  }
  const LineScan prefixScan = ScanLine(prefix);
  const LineScan suffixScan = ScanLine(suffix);
  // An opening in the suffix would stand at a place that moves.
  if (suffixScan.openingAt != kNone) return;
  // A way not in use, else one not used since it was remembered; a shape in
  // use gets a second chance.
  Shape* set = Set(shapes_, prefix.data(), from);
  Shape* way = !set[0].valid ? &set[0] : !set[1].valid ? &set[1] : !set[0].hit ? &set[0]
               : !set[1].hit ? &set[1] : nullptr;
  if (way == nullptr) {
    set[0].hit = set[1].hit = false;
    return;
  }
  Shape& shape = *way;
  shape.valid = true;
  shape.hit = false;
  shape.next = nullptr;
  shape.from = from;
  shape.to = state.where();
  shape.fromChild.assign(from == LayoutState::Where::kChild ? fromChild : std::string_view());
  shape.toChild.assign(shape.to == LayoutState::Where::kChild ? state.child() : std::string());
  shape.setsChild = shape.to == LayoutState::Where::kChild &&
                    !(from == LayoutState::Where::kChild && fromChild == shape.toChild);
  shape.prefixSize = static_cast<std::uint8_t>(prefix.size());
  shape.suffixSize = static_cast<std::uint8_t>(suffix.size());
  std::memcpy(shape.prefix, prefix.data(), prefix.size());
  if (!suffix.empty()) std::memcpy(shape.suffix, suffix.data(), suffix.size());
  shape.tags = static_cast<std::uint32_t>(std::count(prefix.begin(), prefix.end(), '<') +
                                          std::count(suffix.begin(), suffix.end(), '<'));
  LineScan scan;
  scan.openingAt = prefixScan.openingAt;
  scan.tagMarkup = prefixScan.tagMarkup || suffixScan.tagMarkup;
  scan.ampersand = prefixScan.ampersand || suffixScan.ampersand;
  // The classification of the element, its text run left out: where no "<"
  // of the suffix can count for it, the run's length does not matter.
  scan.kindKnown = SuffixLeavesKindAlone(suffix);
  if (scan.kindKnown) {
    const std::string bytes = Concat(prefix, suffix);
    scan.kind = ClassifyLine(bytes, ScanLine(bytes).headTagStarts);
  }
  shape.scan = scan;
  last_->next = &shape;
  last_ = &shape;
}

std::string_view ElementLineSplitter::StartCutting(std::string_view line, LineScan& scan) {
  const bool firstLine = firstLine_;
  state_.StartLine(firstLine);
  firstLine_ = false;
  indent_ = 0;
  if (reader_.LineGoesOn()) {
    cutting_ = true;
    inPieces_ = true;
    pieces_.clear();
    pieces_.append(line);
    piecesStart_ = 0;
    piecesWhole_ = false;
    walked_ = 0;
    return NextOfPieces(scan);
  }
  rest_ = line;
  return WalkLine(scan, !firstLine);
}

// Walks the whole line just read: it stands as it is unless it holds a
// split point. The shape of its first element is remembered where
// `remember` allows.
std::string_view ElementLineSplitter::WalkLine(LineScan& scan, bool remember) {
  const bool inText = state_.InText();
  const LayoutState::Where from = state_.where();
  // The child open before the walk, which the walk may close.
  if (from == LayoutState::Where::kChild) fromChild_.assign(state_.child());
  LayoutState::TextRun run;
  const LayoutState::Stop stop = state_.Walk(rest_, 0, true, &run);
  const bool split = stop.kind == LayoutState::Stop::kSplit;
  const std::size_t end = split ? stop.at : rest_.size();
  shapes_.Forget(state_);
  // The element starts at the first "<", behind white space.
  const std::size_t head = rest_.find('<');
  if (remember && inText && state_.InText() && head < end && IsWhite(rest_.data(), head) &&
      run.begin != kNone) {
    run.begin -= head;
    run.end -= head;
    if (run.markupEnd != kNone) run.markupEnd -= head;
    shapes_.Remember(rest_.substr(head, end - head), run, from, fromChild_, state_);
  }
  if (!split) {
    scan = ScanMarkedLine(rest_, marks_);
    return rest_;
  }
  cutting_ = true;
  inPieces_ = false;
  const std::string_view line = Emit(WithoutWhiteEnd(rest_.substr(0, stop.at)), nullptr, scan);
  rest_ = rest_.substr(stop.at);
  indent_ = stop.indent;
  return line;
}

LayoutState::Stop ElementLineSplitter::WalkElement(std::string_view text, std::size_t from,
                                                   bool whole,
                                                   const LineShapes::Shape*& shape) {
  shape = nullptr;
  const bool atStart = from == 0 && state_.InText() && !text.empty() && text[0] == '<';
  if (atStart) {
    std::size_t suffixAt = 0;
    shape = shapes_.FindElement(text, state_, suffixAt);
    if (shape != nullptr) {
      state_.MoveTo(shape->to, shape->setsChild ? &shape->toChild : nullptr);
      LayoutState::TextRun run;
      const LayoutState::Stop stop = state_.Walk(text, suffixAt + shape->suffixSize, whole, &run);
      // Markup beyond the shape's: the element line is scanned on its own.
      if (run.tags != 0 || stop.kind == LayoutState::Stop::kNeedBytes) shape = nullptr;
      if (stop.kind != LayoutState::Stop::kNeedBytes && run.tags != 0) shapes_.Forget(state_);
      return stop;
    }
  }
  const LayoutState::Where place = state_.where();
  if (place == LayoutState::Where::kChild) fromChild_.assign(state_.child());
  LayoutState::TextRun run;
  const LayoutState::Stop stop = state_.Walk(text, from, whole, &run);
  if (stop.kind == LayoutState::Stop::kNeedBytes) return stop;
  shapes_.Forget(state_);
  if (atStart && state_.InText()) {
    const std::size_t end = stop.kind == LayoutState::Stop::kSplit ? stop.at : text.size();
    shapes_.Remember(text.substr(0, end), run, place, fromChild_, state_);
  }
  return stop;
}

std::string_view ElementLineSplitter::NextOfLine(LineScan& scan) {
  const LineShapes::Shape* shape = nullptr;
  const LayoutState::Stop stop = WalkElement(rest_, 0, true, shape);
  if (stop.kind == LayoutState::Stop::kLineEnd) {
    cutting_ = false;
    return Emit(rest_, shape, scan);
  }
  const std::string_view line = Emit(WithoutWhiteEnd(rest_.substr(0, stop.at)), shape, scan);
  rest_ = rest_.substr(stop.at);
  indent_ = stop.indent;
  return line;
}

std::string_view ElementLineSplitter::NextOfPieces(LineScan& scan) {
  for (;;) {
    const std::string_view text(pieces_.data() + piecesStart_, pieces_.size() - piecesStart_);
    const LineShapes::Shape* shape = nullptr;
    const LayoutState::Stop stop = WalkElement(text, walked_, piecesWhole_, shape);
    if (stop.kind == LayoutState::Stop::kLineEnd) {
      cutting_ = false;
      inPieces_ = false;
      CheckSize(text.size());
      return Emit(text, shape, scan);
    }
    if (stop.kind == LayoutState::Stop::kSplit) {
      CheckSize(stop.at);
      const std::string_view line = Emit(WithoutWhiteEnd(text.substr(0, stop.at)), shape, scan);
      piecesStart_ += stop.at;
      walked_ = 0;
      indent_ = stop.indent;
      return line;
    }
    walked_ = stop.at;
    CheckSize(text.size());
    // What was handed out already goes, so that the bytes kept are those of
    // one element line and the piece after it.
    if (piecesStart_ > 0) {
      std::memmove(pieces_.data(), text.data(), text.size());
      pieces_.set_size(text.size());
      piecesStart_ = 0;
    }
    const std::string_view piece = reader_.ReadLine(marks_);
    // Never doubled past the ceiling: at most a line of kMaxLine and a piece.
    pieces_.reserve(pieces_.size() + piece.size(), kMaxLine);
    pieces_.append(piece);
    piecesWhole_ = !reader_.LineGoesOn();
  }
}

// `bytes` as an element line with the current indentation, and its scan:
// from `shape` when the bytes begin with it and hold no further markup.
std::string_view ElementLineSplitter::Emit(std::string_view bytes, const LineShapes::Shape* shape,
                                           LineScan& scan) {
  std::string_view line = bytes;
  if (indent_ > 0) {
    assembled_.clear();
    assembled_.append("    ", indent_);
    assembled_.append(bytes);
    line = assembled_;
  }
  if (shape == nullptr) {
    scan = ScanLine(line);
    return line;
  }
  ShapeScan(*shape, indent_, scan);
  const std::string_view run = bytes.substr(shape->prefixSize);
  scan.ampersand =
      shape->scan.ampersand || std::memchr(run.data(), '&', run.size()) != nullptr;
  scan.headTagStarts = 0;
  if (!scan.kindKnown) scan.headTagStarts = ScanLine(line).headTagStarts;
  return line;
}

void ElementLineSplitter::CheckSize(std::size_t size) const {
  if (size > kMaxLine) {
    throw EInOutError(kLineTooLong, "A line of the source is longer than 256 MiB",
                      FailurePosition::kLineTooLong);
  }
}

}  // namespace zelvane
