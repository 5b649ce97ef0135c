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

// The elements of a listing repeat a few shapes: the same start tag and end
// tag around a text that differs. An element that begins and ends in text is
// remembered by its shape, the bytes before and after its longest text run,
// with what the walk over it and the filter's classification made of it. A
// later element of the same shape, from the same place, with no "<" in its
// text run, would be walked and classified the same way: the shape says how,
// and only the bytes after it are walked. An element is found by its shape
// as a whole line of the usual layout (its "<" counted by the reader) or
// where a split leaves it.
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
    std::uint32_t tags = 0;  // the "<" of the prefix and the suffix
    Shape* next = nullptr;   // the shape of the element that followed it last
    // From the element's first "<" to its text run, and from the run's end
    // to the end of the element's last markup.
    char prefix[kMaxPrefix];
    char suffix[kMaxSuffix];
    // What the walk made of it.
    LayoutState::Where to = LayoutState::Where::kOutside;
    bool setsChild = false;  // the element opens a child other than the one open
    std::string fromChild;
    std::string toChild;
    // The filter's answers for the prefix and suffix, places counted from the
    // prefix's start; `ampersand` for an "&" among them.
    LineScan scan;
  };

  // The shape of `line`, a whole line whose marks are `marks`, from where
  // `state` stands; null when none fits. Its first "<" is at `head`, with
  // white space before it. The shape that followed the last one found is
  // tried first: elements come in the same order programme after programme.
  const Shape* FindLine(std::string_view line, std::size_t head, const LineMarks& marks,
                        const LayoutState& state) {
    Shape* next = last_->next;
    if (next != nullptr && FitsLine(*next, line, head, marks, state)) return Take(next);
    return LookForLine(line, head, marks, state);
  }

  // The shape of the element at the start of `text`, a "<" where a split
  // left the walk, from where `state` stands; null when none fits. The
  // suffix stands at `suffixAt`.
  const Shape* FindElement(std::string_view text, const LayoutState& state,
                           std::size_t& suffixAt);

  // An element was walked and left the state at `state`: the shape of the
  // next one is guessed from there.
  void Forget(const LayoutState& state) { last_ = &after_[static_cast<std::size_t>(state.where())]; }

  // Remembers the shape of `element`, bytes from a first "<" on, around
  // `run` (places counted from that "<"), walked from `from` (with child
  // `fromChild`) to where `state` stands without a split.
  void Remember(std::string_view element, LayoutState::TextRun run, LayoutState::Where from,
                std::string_view fromChild, const LayoutState& state);

 private:
  // Two ways a set: two shapes that share their first bytes, or a hash,
  // do not push each other out.
  static constexpr std::size_t kSets = 64;
  static constexpr std::size_t kWays = 2;
  static Shape* Set(Shape* shapes, const char* head, LayoutState::Where from);
  static bool FitsPlace(const Shape& shape, const LayoutState& state) {
    return shape.from == state.where() &&
           (shape.from != LayoutState::Where::kChild || shape.fromChild == state.child());
  }
  static bool FitsLine(const Shape& shape, std::string_view line, std::size_t head,
                       const LineMarks& marks, const LayoutState& state) {
    return shape.tags == marks.tags &&
           line.size() >= head + shape.prefixSize + std::size_t{shape.suffixSize} &&
           FitsPlace(shape, state) && SameBytes(line.data() + head, shape.prefix, shape.prefixSize) &&
           SameBytes(line.data() + line.size() - shape.suffixSize, shape.suffix, shape.suffixSize);
  }
  static bool FitsElement(const Shape& shape, std::string_view text, const LayoutState& state,
                          std::size_t& suffixAt);
  const Shape* LookForLine(std::string_view line, std::size_t head, const LineMarks& marks,
                           const LayoutState& state);
  const Shape* Take(Shape* shape) {
    last_->next = shape;
    last_ = shape;
    shape->hit = true;
    return shape;
  }

  Shape shapes_[kSets * kWays];
  // No shape, but what followed an element that was walked, by where it
  // left the state.
  Shape after_[4];
  Shape* last_ = &after_[0];  // the shape of the last element
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
      const auto head = static_cast<std::size_t>(std::countr_zero(marks_.headTagStarts | (1u << 31)));
      if (head < 31 && IsWhite(line.data(), head)) {
        if (const LineShapes::Shape* shape = shapes_.FindLine(line, head, marks_, state_)) {
          state_.MoveTo(shape->to, shape->setsChild ? &shape->toChild : nullptr);
          ShapeScan(*shape, head, scan);
          scan.ampersand = marks_.ampersand;
          scan.headTagStarts = marks_.headTagStarts;
          return line;
        }
      }
    }
    return StartCutting(line, scan);
  }
  // StartLine for a line that has to be walked, or comes in pieces.
  [[gnu::noinline]] std::string_view StartCutting(std::string_view line, LineScan& scan);
  std::string_view WalkLine(LineScan& scan, bool remember);
  std::string_view NextOfLine(LineScan& scan);
  std::string_view NextOfPieces(LineScan& scan);
  // Walks the element at the start of `text`, a split point, up to the next
  // split point, the shape of a known element taken over.
  LayoutState::Stop WalkElement(std::string_view text, std::size_t from, bool whole,
                                const LineShapes::Shape*& shape);
  std::string_view Emit(std::string_view bytes, const LineShapes::Shape* shape, LineScan& scan);
  void CheckSize(std::size_t size) const;

  // True when the `size` bytes at `bytes` are blanks, tabs or CRs.
  static bool IsWhite(const char* bytes, std::size_t size) {
    for (std::size_t at = 0; at < size; ++at) {
      if (bytes[at] != ' ' && bytes[at] != '\t' && bytes[at] != '\r') return false;
    }
    return true;
  }
  // The scan of an element line that begins with `shape`'s prefix at `at`.
  static void ShapeScan(const LineShapes::Shape& shape, std::size_t at, LineScan& scan) {
    scan = shape.scan;
    if (scan.openingAt != std::string_view::npos) scan.openingAt += at;
    // A line of no named element has no place for it.
    if (scan.kind.lineClass != LineClass::kFurther || scan.kind.demoted) {
      scan.kind.at += static_cast<std::uint32_t>(at);
    }
  }

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
  const LineShapes::Shape* piecesShape_ = nullptr;  // the shape the element in pieces_ has
  ByteBuffer assembled_;      // an element line with its indentation
  std::string fromChild_;     // the child open before a walk
  LineMarks marks_;
};

}  // namespace zelvane
