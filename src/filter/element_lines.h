#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_buffer.h"
#include "base/byte_string.h"
#include "base/line_io.h"
#include "filter/layout_state.h"
#include "filter/line_scan.h"

namespace zelvane {

// The lines of a listing repeat a few shapes: the same start tag and end tag
// around a text that differs. A line that begins and ends in text and holds
// no split point is remembered by its shape, the bytes before and after its
// longest text run, with what the walk over it and the filter's
// classification made of it. A later line of the same shape, from the same
// place, holds its "<" only there, so the walk and the classification would
// make the same of it: they are taken from the shape instead.
class LineShapes {
 public:
  struct Shape {
    static constexpr std::size_t kMaxPrefix = 64;
    static constexpr std::size_t kMaxSuffix = 32;

    // What finds the shape, first.
    LayoutState::Where from = LayoutState::Where::kOutside;
    std::uint8_t prefixSize = 0;
    std::uint8_t suffixSize = 0;
    // Remembered (a sentinel is not), and used since: kept on a clash once.
    bool valid = false;
    bool hit = false;
    std::uint32_t tags = 0;  // the "<" of such a line
    Shape* next = nullptr;   // the shape of the line that followed it last
    char prefix[kMaxPrefix];
    char suffix[kMaxSuffix];
    // What the walk made of it.
    LayoutState::Where to = LayoutState::Where::kOutside;
    bool setsChild = false;  // the line opens a child other than the one open
    std::string fromChild;
    std::string toChild;
    LineScan scan;  // but for the answers that depend on the whole line
  };

  // The shape of `line`, whose marks are `marks`, seen before from where
  // `state` stands; null when none fits. The shape that followed the last
  // one found is tried first: lines come in the same order programme after
  // programme.
  const Shape* Find(std::string_view line, const LineMarks& marks, const LayoutState& state) {
    Shape* next = last_->next;
    if (next != nullptr && Fits(*next, line, marks, state)) {
      last_ = next;
      next->hit = true;
      return next;
    }
    return Look(line, marks, state);
  }

  // A line was walked and left the state at `state`: the shape of the next
  // line is guessed from there.
  void Forget(const LayoutState& state) { last_ = &after_[static_cast<std::size_t>(state.where())]; }

  // Remembers the shape of `line` around `run`, walked from `from` (with
  // child `fromChild`) to where `state` stands now without a split.
  void Remember(std::string_view line, const LineMarks& marks, LayoutState::Where from,
                std::string_view fromChild, const LayoutState& state, LayoutState::TextRun run);

 private:
  static constexpr std::size_t kSlots = 64;
  static std::size_t Slot(std::string_view line, const LineMarks& marks,
                          LayoutState::Where from);
  static bool Fits(const Shape& shape, std::string_view line, const LineMarks& marks,
                   const LayoutState& state) {
    if (shape.from != state.where() || shape.tags != marks.tags ||
        line.size() < std::size_t{shape.prefixSize} + shape.suffixSize) {
      return false;
    }
    if (shape.from == LayoutState::Where::kChild && shape.fromChild != state.child()) {
      return false;
    }
    return SameBytes(line.data(), shape.prefix, shape.prefixSize) &&
           SameBytes(line.data() + line.size() - shape.suffixSize, shape.suffix,
                     shape.suffixSize);
  }
  const Shape* Look(std::string_view line, const LineMarks& marks, const LayoutState& state);

  Shape shapes_[kSlots];
  // No shape, but what followed a line that was walked, by where it left
  // the state.
  Shape after_[4];
  Shape* last_ = &after_[0];  // the shape of the last line with "<"
};

// Cuts every line that the reader gives into element lines: each
// `programme` and `channel` start and end tag, and each child of theirs,
// starts an element line of its own, indented as the XMLTV writer indents
// it. A line in the usual layout holds no split point and comes out as it
// is; the filter and the first-line rules see element lines only.
class ElementLineSplitter {
 public:
  // A longer element line ends the run: real listings have lines of a few
  // KiB, and a source without structure (a device, a binary file) must not
  // take all the memory there is.
  static constexpr std::size_t kMaxLine = std::size_t{256} << 20;

  explicit ElementLineSplitter(LineReader& reader) : reader_(reader) {}
  ElementLineSplitter(const ElementLineSplitter&) = delete;
  ElementLineSplitter& operator=(const ElementLineSplitter&) = delete;

  // Puts the next element line into `line`, and what ScanLine says of it
  // into `scan`; false at the end of the input. The view stays valid until
  // the next call. Raises what the reader raises, and EInOutError for an
  // element line longer than kMaxLine.
  bool Next(std::string_view& line, LineScan& scan) {
    if (cutting_) {
      line = inPieces_ ? NextOfPieces(scan) : NextOfLine(scan);
      return true;
    }
    std::string_view read;
    if (!reader_.NextLine(read, marks_)) return false;
    line = StartLine(read, scan);
    return true;
  }

  // True when no element line remains.
  bool AtEnd() { return !cutting_ && reader_.AtEnd(); }
  // The next element line, at least one being left.
  std::string_view ReadLine() {
    std::string_view line;
    LineScan scan;
    Next(line, scan);
    return line;
  }

 private:
  // The first element line of `line`, just read.
  std::string_view StartLine(std::string_view line, LineScan& scan) {
    // Most lines are known by their shape, and a line without "<" changes
    // nothing where it begins in text.
    if (!firstLine_ && state_.InText() && marks_.complete) {
      if (marks_.tags == 0) {
        scan = ScanMarkedLine(line, marks_);
        return line;
      }
      if (const LineShapes::Shape* shape = shapes_.Find(line, marks_, state_)) {
        state_.MoveTo(shape->to, shape->setsChild ? &shape->toChild : nullptr);
        scan = shape->scan;
        scan.ampersand = marks_.ampersand;
        scan.headTagStarts = marks_.headTagStarts;
        return line;
      }
    }
    return StartCutting(line, scan);
  }
  // StartLine for a line that has to be walked, or comes in pieces.
  [[gnu::noinline]] std::string_view StartCutting(std::string_view line, LineScan& scan);
  std::string_view WalkLine(LineScan& scan, bool remember);
  std::string_view NextOfLine(LineScan& scan);
  std::string_view NextOfPieces(LineScan& scan);
  std::string_view Emit(std::string_view bytes, LineScan& scan);
  void CheckSize(std::size_t size) const;

  LineReader& reader_;
  LayoutState state_;
  LineShapes shapes_;
  bool firstLine_ = true;
  // A line that is being cut: its element lines from `rest_` on, or, for a
  // line that comes in pieces, from the start of `pieces_` on, are still to
  // come.
  bool cutting_ = false;
  bool inPieces_ = false;
  std::string_view rest_;
  std::uint8_t indent_ = 0;   // the blanks that the current element line gets
  ByteBuffer pieces_;         // a long line's current element line and what follows it
  std::size_t piecesStart_ = 0;
  std::size_t walked_ = 0;    // bytes of the element line in pieces_ walked so far
  bool piecesWhole_ = false;  // pieces_ reaches the end of its line
  ByteBuffer assembled_;      // an element line with its indentation
  std::string fromChild_;     // the child open before a walk
  LineMarks marks_;
};

}  // namespace zelvane
