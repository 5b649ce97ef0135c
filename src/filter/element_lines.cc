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

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// `text` without the white space at its end.
std::string_view WithoutWhiteEnd(std::string_view text) {
  std::size_t size = text.size();
  while (size > 0 && IsWhite(text[size - 1])) --size;
  return text.substr(0, size);
}

}  // namespace

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
  // The first element starts at the first "<", behind white space.
  std::size_t head = 0;
  if (state_.InText()) {
    head = rest_.find('<');
    if (head == kNone || !IsWhite(rest_.data(), head, rest_.size())) head = 0;
  }
  learn_ = remember;
  const LineShapes::Shape* shape = nullptr;
  LayoutState::Stop stop = WalkElement(rest_.substr(head), 0, true, shape);
  learn_ = true;
  if (stop.kind == LayoutState::Stop::kLineEnd) {
    // The line stands as it is.
    if (shape == nullptr) {
      scan = ScanMarkedLine(rest_, marks_);
    } else {
      ShapeScan(*shape, head, scan);
      scan.ampersand = marks_.flagged;
      scan.headTagStarts = marks_.headTags;
    }
    return rest_;
  }
  stop.at += head;
  cutting_ = true;
  inPieces_ = false;
  const std::string_view line =
      Emit(WithoutWhiteEnd(rest_.substr(0, stop.at)), shape, head, scan);
  rest_ = rest_.substr(stop.at);
  indent_ = stop.indent;
  return line;
}

LayoutState::Stop ElementLineSplitter::WalkElement(std::string_view text, std::size_t from,
                                                   bool whole,
                                                   const LineShapes::Shape*& shape) {
  shape = nullptr;
  std::size_t after = 0;  // where the fixed bytes of the element's shape end
  const bool atStart = from == 0 && state_.InText() && !text.empty() && text[0] == '<';
  if (pending_ != nullptr && from == 0) {
    shape = pending_;
    after = pendingEnd_;
  } else if (atStart) {
    shape = shapes_.FindElement(text, state_, after);
  }
  pending_ = nullptr;
  if (shape != nullptr) {
    state_.MoveTo(shape->to, shape->setsChild ? &shape->toChild : nullptr);
    // Where the next "<" starts an element of a known shape that splits
    // there, this element ends before it, and that element is known.
    const void* found = std::memchr(text.data() + after, '<', text.size() - after);
    if (found == nullptr && whole) return {LayoutState::Stop::kLineEnd, text.size(), 0};
    if (found != nullptr) {
      const auto next = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
      const LineShapes::Shape* following =
          shapes_.FindElement(text.substr(next), state_, pendingEnd_);
      if (following != nullptr && following->startsSplit) {
        pending_ = following;
        return {LayoutState::Stop::kSplit, next, following->startIndent};
      }
      if (following != nullptr) shapes_.Forget(state_);
    }
    LayoutState::Notes notes;
    const LayoutState::Stop stop = state_.Walk(text, after, whole, &notes);
    // Markup beyond the shape's: the element line is scanned on its own.
    if (notes.tags != 0 || stop.kind == LayoutState::Stop::kNeedBytes) shape = nullptr;
    if (stop.kind != LayoutState::Stop::kNeedBytes && notes.tags != 0) shapes_.Forget(state_);
    return stop;
  }
  const LayoutState::Where place = state_.where();
  if (place == LayoutState::Where::kChild) fromChild_.assign(state_.child());
  LayoutState::Notes notes;
  const LayoutState::Stop stop = state_.Walk(text, from, whole, &notes);
  if (stop.kind == LayoutState::Stop::kNeedBytes) return stop;
  shapes_.Forget(state_);
  if (atStart && learn_ && state_.InText()) {
    const std::size_t end = stop.kind == LayoutState::Stop::kSplit ? stop.at : text.size();
    shapes_.Remember(text.substr(0, end), notes, place, fromChild_, state_);
  }
  return stop;
}

std::string_view ElementLineSplitter::NextOfLine(LineScan& scan) {
  const LineShapes::Shape* shape = nullptr;
  const LayoutState::Stop stop = WalkElement(rest_, 0, true, shape);
  if (stop.kind == LayoutState::Stop::kLineEnd) {
    cutting_ = false;
    return Emit(rest_, shape, 0, scan);
  }
  const std::string_view line = Emit(WithoutWhiteEnd(rest_.substr(0, stop.at)), shape, 0, scan);
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
      return Emit(text, shape, 0, scan);
    }
    if (stop.kind == LayoutState::Stop::kSplit) {
      CheckSize(stop.at);
      const std::string_view line = Emit(WithoutWhiteEnd(text.substr(0, stop.at)), shape, 0, scan);
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
                                           std::size_t shapeAt, LineScan& scan) {
  std::string_view line = bytes;
  if (indent_ > 0) {
    assembled_.clear();
    assembled_.append("    ", indent_);
    assembled_.append(bytes);
    line = assembled_;
  }
  if (shape == nullptr) {
    scan = ScanLine(line, reader_.scanner());
    return line;
  }
  ShapeScan(*shape, indent_ + shapeAt, scan);
  const std::string_view run = bytes.substr(shapeAt + shape->ends[0]);
  scan.ampersand =
      shape->scan.ampersand || std::memchr(run.data(), '&', run.size()) != nullptr;
  scan.headTagStarts = 0;
  if (!scan.kindKnown) scan.headTagStarts = ScanLine(line, reader_.scanner()).headTagStarts;
  return line;
}

void ElementLineSplitter::CheckSize(std::size_t size) const {
  if (size > kMaxLine) {
    throw EInOutError(failure_code::kLineTooLong, "A line of the source is longer than 256 MiB",
                      FailurePosition::kLineTooLong);
  }
}

}  // namespace zelvane
