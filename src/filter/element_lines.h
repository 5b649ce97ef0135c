#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/byte_buffer.h"
#include "base/byte_string.h"
#include "base/line_io.h"
#include "filter/layout_state.h"
#include "filter/line_shapes.h"
#include "filter/line_scan.h"

namespace zelvane {

// Cuts every line that the reader gives into element lines: each
// `programme` and `channel` start and end tag, and each child of theirs,
// starts an element line of its own, indented as the XMLTV writer indents
// it. A line in the usual layout holds no split point and comes out as it
// is; the filter and the first-line rules see element lines only.
class ElementLineSplitter {
  // The line forms of shapes compare whole words at the ends of a line.
  static_assert(LineReader::kReadableBefore >= 16 * LineShapes::kTailBlocks &&
                LineReader::kReadableAfter >= 16 * LineShapes::kHeadBlocks);

 public:
  // A longer element line ends the run: real listings have lines of a few
  // KiB, and a source without structure (a device, a binary file) must not
  // take all the memory there is.
  static constexpr std::size_t kMaxLine = std::size_t{256} << 20;
  // The bytes after a text that a comparison of shapes may read, as after
  // the reader's lines.
  static constexpr std::size_t kReadable = LineReader::kReadableAfter;

  explicit ElementLineSplitter(LineReader& reader)
      : reader_(reader), state_(reader.scanner()), shapes_(reader.scanner()) {}
  ElementLineSplitter(const ElementLineSplitter&) = delete;
  ElementLineSplitter& operator=(const ElementLineSplitter&) = delete;

  // Puts the next element line into `line`, and what ScanLine says of it
  // into `scan`; false at the end of the input. The view stays valid until
  // the next call. Raises what the reader raises, and EInOutError for an
  // element line longer than kMaxLine.
  bool Next(std::string_view& line, LineScan& scan) {
    if (cutting_) {
      line = NextOfLine(scan);
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
  [[gnu::noinline]] std::string_view StartLine(std::string_view line, LineScan& scan) {
    // Most lines are known by their shape, and a line without "<" changes
    // nothing where it begins in text.
    if (!firstLine_ && state_.InText() && marks_.complete) {
      if (marks_.tags == 0) {
        scan = ScanMarkedLine(line, marks_);
        return line;
      }
      // The commonest cases are decided here without a call; any other goes
      // on in StartUsual.
      const LineShapes::UsualKey key = LineShapes::KeyOf(marks_, state_);
      LineShapes::Shape* const next = LineShapes::ByWords(shapes_.Next(), line, key);
      LineShapes::Shape* const found =
          next != nullptr ? next : LineShapes::ByWords(shapes_.Other(), line, key);
      if (found == nullptr || !found->line.plain || found->setsChild) {
        return StartUsual(next, line, scan);
      }
      shapes_.Take(found);
      state_.MoveTo(found->to, nullptr);
      SetUsualScan(*found, scan);
      return line;
    }
    return StartOther(line, scan);
  }
  // StartLine for a line whose usual shape the words of the line forms do
  // not decide; `next` is what LineShapes::ByWords gave of Next().
  [[gnu::noinline]] std::string_view StartUsual(LineShapes::Shape* next, std::string_view line,
                                                LineScan& scan);
  // The scan of a line found whole by `shape`.
  void SetUsualScan(const LineShapes::Shape& shape, LineScan& scan) const {
    scan = shape.line.scan;
    scan.ampersand = marks_.flagged;
    scan.headTagStarts = marks_.headTags;
  }
  // StartLine for a line that the shapes that followed the last one do not
  // find as they found its like: found by another shape, walked, or in
  // pieces.
  [[gnu::noinline]] std::string_view StartOther(std::string_view line, LineScan& scan);
  // StartLine for a line that has to be walked, or comes in pieces.
  std::string_view StartCutting(std::string_view line, LineScan& scan);
  std::string_view WalkLine(LineScan& scan, bool remember);
  std::string_view NextOfLine(LineScan& scan);
  void ReadOn(std::string_view text);
  // Walks the element at the start of `text`, a split point, up to the next
  // split point, the shape of a known element taken over.
  LayoutState::Stop WalkElement(std::string_view text, std::size_t from, bool whole,
                                const LineShapes::Shape*& shape);
  // `bytes`, which stand in the line being cut, as an element line, its
  // scan from `shape` when it has one, the shape's element starting at
  // `shapeAt`.
  std::string_view Emit(std::string_view bytes, const LineShapes::Shape* shape,
                        std::size_t shapeAt, LineScan& scan);
  static void CheckSize(std::size_t size) {
    if (size > kMaxLine) RefuseSize();
  }
  [[noreturn]] static void RefuseSize();

  // True when the first `size` of the `available` bytes at `bytes` are
  // blanks, tabs or CRs. Indentation is mostly a few blanks: eight bytes are
  // compared at once.
  static bool IsWhite(const char* bytes, std::size_t size, std::size_t available) {
    if (size < 8 && available >= 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes, sizeof word);
      // The bytes of the indentation that are not blanks, in the low bits.
      const std::uint64_t blanks = 0x2020202020202020u;
      if (((word ^ blanks) & ((std::uint64_t{1} << (8 * size)) - 1)) == 0) return true;
    }
    for (std::size_t at = 0; at < size; ++at) {
      if (bytes[at] != ' ' && bytes[at] != '\t' && bytes[at] != '\r') return false;
    }
    return true;
  }
  // The scan of an element line that begins with `shape`'s prefix at `at`.
  static void ShapeScan(const LineShapes::Shape& shape, std::size_t at, LineScan& scan) {
    scan = shape.ScanAt(at);
  }

  LineReader& reader_;
  LayoutState state_;
  LineShapes shapes_;
  bool firstLine_ = true;
  // A line that is being cut: its element lines from start_ on are still
  // to come. Its bytes are the reader's, which are ours to change until
  // the next piece is read, or, for an element line longer than half a
  // read block that goes on in the next piece, gathered in pieces_.
  bool cutting_ = false;
  char* text_ = nullptr;
  std::size_t textSize_ = 0;
  std::size_t start_ = 0;
  std::size_t walked_ = 0;     // bytes of the current element line walked so far
  bool whole_ = false;         // the text reaches the end of its line
  bool gathered_ = false;      // the text is in pieces_
  ByteBuffer pieces_;
  std::uint8_t indent_ = 0;    // the blanks that the current element line gets
  // The shape of the element at the start of what is left, found where the
  // element before it ended, and where its fixed bytes end.
  const LineShapes::Shape* pending_ = nullptr;
  std::size_t pendingEnd_ = 0;
  ByteBuffer assembled_;      // an element line with its indentation
  std::string fromChild_;     // the child open before a walk
  bool learn_ = true;         // walks remember the shapes of what they walk
  LineMarks marks_;
};

}  // namespace zelvane
