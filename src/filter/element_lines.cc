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

std::string_view ElementLineSplitter::StartUsual(LineShapes::Shape* next, std::string_view line,
                                                 LineScan& scan) {
  if (const LineShapes::Shape* shape = shapes_.FindUsualLine(next, line, marks_, state_)) {
    state_.MoveTo(shape->to, shape->setsChild ? &shape->toChild : nullptr);
    SetUsualScan(*shape, scan);
    return line;
  }
  return StartOther(line, scan);
}

std::string_view ElementLineSplitter::StartOther(std::string_view line, LineScan& scan) {
  if (!firstLine_ && state_.InText() && marks_.complete) {
    const auto head = static_cast<std::size_t>(std::countr_zero(marks_.headTags | (1u << 31)));
    if (head < 31 && IsWhite(line.data(), head, line.size())) {
      if (const LineShapes::Shape* shape = shapes_.FindLine(line, head, marks_, state_)) {
        state_.MoveTo(shape->to, shape->setsChild ? &shape->toChild : nullptr);
        ShapeScan(*shape, head, scan);
        scan.ampersand = marks_.flagged;
        scan.headTagStarts = marks_.headTags;
        return line;
      }
    }
  }
  return StartCutting(line, scan);
}

std::string_view ElementLineSplitter::StartCutting(std::string_view line, LineScan& scan) {
  const bool firstLine = firstLine_;
  state_.StartLine(firstLine);
  firstLine_ = false;
  indent_ = 0;
  text_ = reader_.Writable(line);
  textSize_ = line.size();
  start_ = 0;
  walked_ = 0;
  gathered_ = false;
  whole_ = !reader_.LineGoesOn();
  if (!whole_) {
    cutting_ = true;
    return NextOfLine(scan);
  }
  return WalkLine(scan, !firstLine);
}

// Walks the whole line just read: it stands as it is unless it holds a
// split point. The shape of its first element is remembered where
// `remember` allows.
std::string_view ElementLineSplitter::WalkLine(LineScan& scan, bool remember) {
  const std::string_view line(text_, textSize_);
  // The first element starts at the first "<", behind white space.
  std::size_t head = 0;
  if (state_.InText()) {
    head = line.find('<');
    if (head == kNone || !IsWhite(line.data(), head, line.size())) head = 0;
  }
  learn_ = remember;
  const LineShapes::Shape* shape = nullptr;
  LayoutState::Stop stop = WalkElement(line.substr(head), 0, true, shape);
  learn_ = true;
  if (stop.kind == LayoutState::Stop::kLineEnd) {
    // The line stands as it is.
    if (shape == nullptr) {
      scan = ScanMarkedLine(line, marks_);
    } else {
      ShapeScan(*shape, head, scan);
      scan.ampersand = marks_.flagged;
      scan.headTagStarts = marks_.headTags;
    }
    return line;
  }
  stop.at += head;
  cutting_ = true;
  const std::string_view first = Emit(WithoutWhiteEnd(line.substr(0, stop.at)), shape, head, scan);
  start_ = stop.at;
  indent_ = stop.indent;
  return first;
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
  for (;;) {
    const std::string_view text(text_ + start_, textSize_ - start_);
    const LineShapes::Shape* shape = nullptr;
    const LayoutState::Stop stop = WalkElement(text, walked_, whole_, shape);
    if (stop.kind == LayoutState::Stop::kLineEnd) {
      cutting_ = false;
      CheckSize(text.size());
      return Emit(text, shape, 0, scan);
    }
    if (stop.kind == LayoutState::Stop::kSplit) {
      CheckSize(stop.at);
      const std::string_view line = Emit(WithoutWhiteEnd(text.substr(0, stop.at)), shape, 0, scan);
      start_ += stop.at;
      walked_ = 0;
      indent_ = stop.indent;
      return line;
    }
    walked_ = stop.at;
    CheckSize(text.size());
    ReadOn(text);
  }
}

// The element line `text` goes on in the next piece of its line. A short
// one goes back to the reader, which gives it again at the start of the
// next piece; a long one is gathered in pieces_, with each piece after it,
// so that the bytes kept are those of one element line and a piece.
void ElementLineSplitter::ReadOn(std::string_view text) {
  if (!gathered_ && text.size() <= reader_.readBlock() / 2 && reader_.GiveBack(text.size())) {
    const std::string_view piece = reader_.ReadLine(marks_);
    text_ = reader_.Writable(piece);
    textSize_ = piece.size();
  } else {
    if (!gathered_) {
      pieces_.clear();
      pieces_.reserve(text.size() + kReadable, kMaxLine + kReadable);
      pieces_.append(text);
      gathered_ = true;
    } else if (start_ > 0) {
      std::memmove(pieces_.data(), text.data(), text.size());
      pieces_.set_size(text.size());
    }
    const std::string_view piece = reader_.ReadLine(marks_);
    // Never doubled past the ceiling: at most a line of kMaxLine and a
    // piece, and the bytes after them that the shapes' blocks may read.
    pieces_.reserve(pieces_.size() + piece.size() + kReadable, kMaxLine + kReadable);
    pieces_.append(piece);
    text_ = pieces_.data();
    textSize_ = pieces_.size();
  }
  start_ = 0;
  whole_ = !reader_.LineGoesOn();
}

// `bytes` as an element line with the current indentation, and its scan:
// from `shape` when the bytes begin with it and hold no further markup.
std::string_view ElementLineSplitter::Emit(std::string_view bytes, const LineShapes::Shape* shape,
                                           std::size_t shapeAt, LineScan& scan) {
  std::string_view line = bytes;
  const auto offset = static_cast<std::size_t>(bytes.data() - text_);
  static_assert(LayoutState::kMaxIndent == 4);
  if (indent_ > 0 && offset >= LayoutState::kMaxIndent) {
    // The bytes before the element line were handed out already: they take
    // its indentation, four blanks written at once.
    std::memcpy(text_ + offset - 4, "    ", 4);
    line = std::string_view(text_ + offset - indent_, bytes.size() + indent_);
  } else if (indent_ > 0) {
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
  // Many elements end with their shape's first piece: a start or end tag.
  scan.ampersand = shape->scan.ampersand ||
                   (!run.empty() && std::memchr(run.data(), '&', run.size()) != nullptr);
  scan.headTagStarts = 0;
  if (!scan.kindKnown) scan.headTagStarts = ScanLine(line, reader_.scanner()).headTagStarts;
  return line;
}

void ElementLineSplitter::RefuseSize() {
  throw EInOutError(failure_code::kLineTooLong, "A line of the source is longer than 256 MiB",
                    FailurePosition::kLineTooLong);
}

}  // namespace zelvane
