#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_scan.h"

namespace zelvane {

// Where the bytes read so far stand in the listing's structure, as far as
// cutting lines into element lines needs to know: outside or inside `tv`, a
// `programme` or `channel`, one of their children, and inside which markup
// (a tag with its quotes, a comment, a CDATA section, a processing
// instruction, a declaration). It carries from one line to the next.
class LayoutState {
 public:
  // Finds the ends of tags with `scanner`, which must outlive the state.
  explicit LayoutState(const ByteScanner& scanner) : scanner_(&scanner) {}

  // Outside tv, directly inside it, directly inside a programme or channel
  // (between its children), or inside one of their children.
  enum class Where : std::uint8_t { kOutside, kTv, kRecord, kChild };

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

  // What a walk notes for remembering the shape of what it walked: the
  // stretches whose bytes do not change how the walk goes, as long as they
  // hold no byte that ends them (a text run after markup ends at "<", a long
  // quoted attribute value of a programme's or channel's start tag at its
  // quote); where its last markup ended (npos: none did); how many "<" it
  // met.
  struct Notes {
    struct Hole {
      std::size_t begin;
      std::size_t end;
      char stop;  // the byte that ends it, found at `end`
    };
    static constexpr std::size_t kMaxHoles = 16;
    // Quoted values shorter than this stay as they are: a language code, a
    // system name. Time stamps, channel names and addresses are longer.
    static constexpr std::size_t kMinQuotedHole = 8;

    Hole holes[kMaxHoles];
    std::size_t holeCount = 0;
    bool tooManyHoles = false;
    std::size_t markupEnd = std::string_view::npos;
    std::size_t tags = 0;

    void Add(std::size_t begin, std::size_t end, char stop) {
      if (holeCount == kMaxHoles) {
        tooManyHoles = true;
        return;
      }
      holes[holeCount++] = Hole{begin, end, stop};
    }
  };

  // Walks `text`, the bytes of the current element line read so far, from
  // `from` on (what lies before was walked already). `whole`: `text` reaches
  // the end of its line. A split ends the element line at the split point;
  // the caller starts the next one there and walks it from its start.
  // `notes`, when given, receives what Notes note.
  Stop Walk(std::string_view text, std::size_t from, bool whole, Notes* notes = nullptr);

  // The most blanks that an element line is indented by.
  static constexpr std::uint8_t kMaxIndent = 4;

  // True when the markup that `element` starts with is a split point from
  // `where`, an element line holding more than white space before it; then
  // `indent` is the next element line's indentation.
  static bool SplitsBefore(std::string_view element, Where where, std::uint8_t& indent);

  // True between markup, not within it.
  bool InText() const { return inside_ == Inside::kText; }
  Where where() const { return where_; }
  // The name of the child open, where() being kChild.
  const std::string& child() const { return child_; }
  // Puts the state where a walk over markup would have put it, with `child`
  // open when it is given.
  void MoveTo(Where where, const std::string* child) {
    where_ = where;
    content_ = true;
    if (child != nullptr) child_.assign(*child);
  }

 private:
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

  static Markup Recognise(std::string_view text, std::size_t at, bool whole);
  static bool IsSplitPoint(const Markup& markup, Where where);
  static std::uint8_t Indent(const Markup& markup, Where where);
  void Enter(const Markup& markup, std::string_view text);
  bool HasContentBefore(std::string_view text, std::size_t at);
  bool WalkText(std::string_view text, std::size_t& at, bool whole, bool afterMarkup,
                Notes* notes, Stop& stop);
  std::size_t WalkTag(std::string_view text, std::size_t from, bool& ended, Notes* notes);
  std::size_t WalkDeclaration(std::string_view text, std::size_t from, bool& ended);
  void EndTag(bool empty);

  const ByteScanner* scanner_;
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

}  // namespace zelvane
