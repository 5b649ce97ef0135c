#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_buffer.h"
#include "base/line_io.h"
#include "filter/line_scan.h"

namespace zelvane {

// Where the bytes read so far stand in the listing's structure, as far as
// cutting lines into element lines needs to know: outside or inside `tv`, a
// `programme` or `channel`, one of their children, and inside which markup
// (a tag with its quotes, a comment, a CDATA section, a processing
// instruction, a declaration). It carries from one line to the next.
class LayoutState {
 public:
  // Where a walk over the bytes of a line stopped.
  struct Stop {
    enum Kind : std::uint8_t {
      kLineEnd,    // every byte was walked; the line holds no further split
      kSplit,      // the markup at `at` starts the next element line
      kNeedBytes,  // the bytes from `at` on cannot be judged before more come
    };
    Kind kind = kLineEnd;
    std::size_t at = 0;
    std::uint8_t indent = 0;  // kSplit: the blanks that the next element line gets
  };

  // A new line starts: its element line holds nothing yet. On the input's
  // first line a leading byte-order mark counts as white space.
  void StartLine(bool firstLine) {
    content_ = false;
    byteOrderMark_ = firstLine;
  }

  // Walks `text`, the bytes of the current element line read so far, from
  // `from` on (what lies before was walked already). `whole`: `text` reaches
  // the end of its line. A split ends the element line at the split point;
  // the caller starts the next one there and walks it from its second byte.
  Stop Walk(std::string_view text, std::size_t from, bool whole);

  // True where lines that begin and end in text, not in markup, change
  // nothing but by their markup.
  bool InText() const { return inside_ == Inside::kText; }

 private:
  enum class Where : std::uint8_t { kOutside, kTv, kRecord, kChild };
  enum class Inside : std::uint8_t { kText, kTag, kComment, kCdata, kPi, kDeclaration };
  // What a tag does to Where when it ends.
  enum class Effect : std::uint8_t {
    kNone,
    kEnterTv,
    kEnterRecord,
    kEnterChild,
    kLeaveChild,
    kLeaveRecord,
    kLeaveTv,
  };
  struct Markup;

  Markup Recognise(std::string_view text, std::size_t at, bool whole) const;
  bool IsSplitPoint(const Markup& markup) const;
  std::uint8_t Indent(const Markup& markup) const;
  void Enter(const Markup& markup, std::string_view text);
  bool HasContentBefore(std::string_view text, std::size_t at);
  std::size_t WalkTag(std::string_view text, std::size_t from, bool& ended);
  std::size_t WalkDeclaration(std::string_view text, std::size_t from, bool& ended);
  void EndTag(bool empty);

  Where where_ = Where::kOutside;
  Inside inside_ = Inside::kText;
  Effect effect_ = Effect::kNone;  // of the tag being walked
  char quote_ = 0;                 // the quote open in a tag or declaration, or 0
  bool subset_ = false;            // in a declaration's [...] subset
  bool content_ = false;           // the element line holds more than white space
  bool byteOrderMark_ = false;     // a byte-order mark at its start is white space
  std::string child_;              // the name of the child open in kChild
  std::string tagName_;            // the name of a start tag that enters a child
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
  std::string_view NextOfLine(LineScan& scan);
  std::string_view NextOfPieces(LineScan& scan);
  std::string_view Emit(std::string_view bytes, LineScan& scan);
  void CheckSize(std::size_t size) const;

  LineReader& reader_;
  LayoutState state_;
  bool firstLine_ = true;
  // A line that is being cut: its element lines from `rest_` on, or, for a
  // line that comes in pieces, from the start of `pieces_` on, are still to
  // come.
  bool cutting_ = false;
  bool inPieces_ = false;
  bool wholeLine_ = false;    // rest_ is the whole line read
  std::string_view rest_;
  std::size_t walked_ = 0;    // bytes of the current element line in pieces_ walked so far
  std::uint8_t indent_ = 0;   // the blanks that the current element line gets
  ByteBuffer pieces_;         // a long line's current element line and what follows it
  std::size_t piecesStart_ = 0;
  bool piecesWhole_ = false;  // pieces_ reaches the end of its line
  ByteBuffer assembled_;      // an element line with its indentation
  LineMarks marks_;
};

}  // namespace zelvane
