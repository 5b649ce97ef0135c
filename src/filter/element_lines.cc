#include "filter/element_lines.h"

#include "base/failure.h"
#include "filter/line_rules.h"

#include <bit>
#include <cstring>

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

std::size_t LineShapes::Slot(std::string_view line, const LineMarks& marks,
                             LayoutState::Where from) {
  const auto head = static_cast<std::uint32_t>(std::countr_zero(marks.headTagStarts));
  std::uint32_t word;
  std::memcpy(&word, line.data() + head, sizeof word);
  const std::uint32_t key = word * 0x9E3779B1u +
                            (head + 64 * marks.tags) * 0x85EBCA6Bu +
                            static_cast<std::uint32_t>(from);
  return (key * 0xC2B2AE35u) >> (32 - std::countr_zero(kSlots));
}

const LineShapes::Shape* LineShapes::Look(std::string_view line, const LineMarks& marks,
                                          const LayoutState& state) {
  // The bytes that choose the slot: the first "<" and three after it.
  if (!marks.complete || marks.headTagStarts == 0 ||
      line.size() < static_cast<std::size_t>(std::countr_zero(marks.headTagStarts)) + 4) {
    return nullptr;
  }
  Shape& shape = shapes_[Slot(line, marks, state.where())];
  if (!shape.valid || !Fits(shape, line, marks, state)) return nullptr;
  shape.hit = true;
  last_->next = &shape;
  last_ = &shape;
  return &shape;
}

void LineShapes::Remember(std::string_view line, const LineMarks& marks, LayoutState::Where from,
                          std::string_view fromChild, const LayoutState& state,
                          LayoutState::TextRun run) {
  if (run.begin == kNone || !marks.complete || marks.headTagStarts == 0) return;
  const auto head = static_cast<std::size_t>(std::countr_zero(marks.headTagStarts));
  if (line.size() < head + 4) return;
  const std::size_t prefixSize = run.begin;
  const std::size_t suffixSize = line.size() - run.end;
  // The prefix holds the first "<", by which the shape is found.
  if (prefixSize > Shape::kMaxPrefix || suffixSize > Shape::kMaxSuffix ||
      prefixSize <= head) {
    return;
  }
  LineScan scan = ScanMarkedLine(line, marks);
  // An opening in the suffix would stand at a place that moves.
  if (scan.openingAt != kNone && scan.openingAt >= prefixSize) return;
  Shape& shape = shapes_[Slot(line, marks, from)];
  if (shape.valid && shape.hit) {
    shape.hit = false;  // a second chance: the shape in use stays once
    return;
  }
  const std::string_view suffix = line.substr(run.end);
  scan.kindKnown = SuffixLeavesKindAlone(suffix);
  if (scan.kindKnown) scan.kind = ClassifyLine(line, marks.headTagStarts);
  shape.valid = true;
  shape.hit = false;
  shape.next = nullptr;
  shape.from = from;
  shape.to = state.where();
  shape.fromChild.assign(from == LayoutState::Where::kChild ? fromChild : std::string_view());
  shape.toChild.assign(shape.to == LayoutState::Where::kChild ? state.child() : std::string());
  shape.setsChild = shape.to == LayoutState::Where::kChild &&
                    !(from == LayoutState::Where::kChild && fromChild == shape.toChild);
  shape.tags = marks.tags;
  shape.prefixSize = static_cast<std::uint8_t>(prefixSize);
  shape.suffixSize = static_cast<std::uint8_t>(suffixSize);
  std::memcpy(shape.prefix, line.data(), prefixSize);
  std::memcpy(shape.suffix, suffix.data(), suffixSize);
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
// split point. Its shape is remembered where `remember` allows.
std::string_view ElementLineSplitter::WalkLine(LineScan& scan, bool remember) {
  const bool inText = state_.InText();
  const LayoutState::Where from = state_.where();
  // The child open before the walk, which the walk may close.
  if (from == LayoutState::Where::kChild) fromChild_.assign(state_.child());
  LayoutState::TextRun run;
  const LayoutState::Stop stop = state_.Walk(rest_, 0, true, &run);
  if (stop.kind == LayoutState::Stop::kLineEnd) {
    scan = ScanMarkedLine(rest_, marks_);
    shapes_.Forget(state_);
    if (remember && inText && state_.InText()) {
      shapes_.Remember(rest_, marks_, from, fromChild_, state_, run);
    }
    return rest_;
  }
  cutting_ = true;
  inPieces_ = false;
  const std::string_view line = Emit(WithoutWhiteEnd(rest_.substr(0, stop.at)), scan);
  rest_ = rest_.substr(stop.at);
  indent_ = stop.indent;
  return line;
}

std::string_view ElementLineSplitter::NextOfLine(LineScan& scan) {
  const LayoutState::Stop stop = state_.Walk(rest_, 0, true);
  if (stop.kind == LayoutState::Stop::kLineEnd) {
    cutting_ = false;
    shapes_.Forget(state_);
    return Emit(rest_, scan);
  }
  const std::string_view line = Emit(WithoutWhiteEnd(rest_.substr(0, stop.at)), scan);
  rest_ = rest_.substr(stop.at);
  indent_ = stop.indent;
  return line;
}

std::string_view ElementLineSplitter::NextOfPieces(LineScan& scan) {
  for (;;) {
    const std::string_view text(pieces_.data() + piecesStart_, pieces_.size() - piecesStart_);
    const LayoutState::Stop stop = state_.Walk(text, walked_, piecesWhole_);
    if (stop.kind == LayoutState::Stop::kLineEnd) {
      cutting_ = false;
      inPieces_ = false;
      shapes_.Forget(state_);
      CheckSize(text.size());
      return Emit(text, scan);
    }
    if (stop.kind == LayoutState::Stop::kSplit) {
      CheckSize(stop.at);
      const std::string_view line = Emit(WithoutWhiteEnd(text.substr(0, stop.at)), scan);
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
    pieces_.append(piece);
    piecesWhole_ = !reader_.LineGoesOn();
  }
}

// `bytes` as an element line with the current indentation, and its scan.
std::string_view ElementLineSplitter::Emit(std::string_view bytes, LineScan& scan) {
  std::string_view line = bytes;
  if (indent_ > 0) {
    assembled_.clear();
    assembled_.append("    ", indent_);
    assembled_.append(bytes);
    line = assembled_;
  }
  scan = ScanLine(line);
  return line;
}

void ElementLineSplitter::CheckSize(std::size_t size) const {
  if (size > kMaxLine) {
    throw EInOutError(kLineTooLong, "A line of the source is longer than 256 MiB",
                      FailurePosition::kLineTooLong);
  }
}

}  // namespace zelvane
