#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_buffer.h"
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

    bool valid = false;
    bool hit = false;  // used since it was remembered: kept on a clash once
    Shape* next = nullptr;  // the shape of the line that followed it last
    LayoutState::Where from = LayoutState::Where::kOutside;
    LayoutState::Where to = LayoutState::Where::kOutside;
    std::string fromChild;
    std::string toChild;
    bool setsChild = false;  // the line opens a child other than the one open
    std::uint32_t tags = 0;  // the "<" of such a line
    std::uint8_t prefixSize = 0;
    std::uint8_t suffixSize = 0;
    char prefix[kMaxPrefix];
    char suffix[kMaxSuffix];
    LineScan scan;  // but for the answers that depend on the whole line
  };

  // The shape of `line`, whose marks are `marks`, seen before from where
  // `state` stands; null when none fits. The shape that followed the last
  // one found is tried first: lines come in the same order programme after
  // programme.
  const Shape* Find(std::string_view line, const LineMarks& marks, const LayoutState& state);

  // A line without a shape changes the state: the next line follows no
  // shape.
  void Forget() { last_ = nullptr; }

  // Remembers the shape of `line` around `run`, walked from `from` (with
  // child `fromChild`) to where `state` stands now without a split.
  void Remember(std::string_view line, const LineMarks& marks, LayoutState::Where from,
                std::string_view fromChild, const LayoutState& state, LayoutState::TextRun run);

 private:
  static constexpr std::size_t kSlots = 64;
  static std::size_t Slot(std::string_view line, const LineMarks& marks,
                          LayoutState::Where from);
  static bool Fits(const Shape& shape, std::string_view line, const LineMarks& marks,
                   const LayoutState& state);
  const Shape* Look(std::string_view line, const LineMarks& marks, const LayoutState& state);

  Shape shapes_[kSlots];
  Shape* last_ = nullptr;  // the shape of the last line with "<"
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

  // True when no element line remains.
  bool AtEnd() { return !cutting_ && reader_.AtEnd(); }

  // The next element line and what ScanLine says of it; the view stays
  // valid until the next call. Raises what the reader raises, and
  // EInOutError for an element line longer than kMaxLine.
  std::string_view ReadLine(LineScan& scan);
  std::string_view ReadLine() {
    LineScan scan;
    return ReadLine(scan);
  }

 private:
  std::string_view StartLine(LineScan& scan);
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
  LineMarks marks_;
};

}  // namespace zelvane
