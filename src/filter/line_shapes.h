#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/byte_string.h"
#include "base/byte_scan.h"
#include "filter/layout_state.h"
#include "filter/line_scan.h"

namespace zelvane {

// The elements of a listing repeat a few shapes: the same tags around texts
// and attribute values that differ. An element that begins and ends in text
// is remembered by its shape: its bytes, but for its holes (the stretches of
// LayoutState::Notes), with what the walk over it and the filter's
// classification made of it. A later element of the same shape, from the
// same place, whose holes hold no "<", would be walked and classified the
// same way: the shape says how. It is found as a whole line of the usual
// layout, or where a split leaves the walk.
class LineShapes {
 public:
  // Searches the holes of shapes with `scanner`, which must outlive them.
  explicit LineShapes(const ByteScanner& scanner) : scanner_(&scanner) {}

  struct Shape {
    static constexpr std::size_t kMaxHoles = 8;
    static constexpr std::size_t kMaxBytes = 160;

    // What finds the shape, first.
    LayoutState::Where from = LayoutState::Where::kOutside;
    // Remembered (a sentinel is not), and used since: kept on a clash once.
    bool valid = false;
    bool hit = false;
    std::uint8_t holes = 0;
    std::uint32_t tags = 0;  // the "<" of the fixed bytes
    Shape* next = nullptr;   // the shape of the element that followed it last
    // A shape told apart by its count of "<" with a first piece of at most
    // 32 bytes and a second of at most 16, in words with masks that keep
    // their bytes: the first piece from its start, the second to its end.
    bool inWords = false;
    std::uint64_t headWords[4];
    std::uint64_t headMasks[4];
    std::uint64_t tailWords[2];
    std::uint64_t tailMasks[2];
    // The fixed bytes: piece i from ends[i - 1] (0 for the first) to
    // ends[i], hole i between pieces i and i + 1, ended by stops[i].
    std::uint8_t ends[kMaxHoles + 1];
    char stops[kMaxHoles];
    char bytes[kMaxBytes];
    // What the walk made of it.
    LayoutState::Where to = LayoutState::Where::kOutside;
    bool setsChild = false;  // the element opens a child other than the one open
    // Its first markup is a split point from where it is found, after
    // something else on an element line; the next line's indentation.
    bool startsSplit = false;
    std::uint8_t startIndent = 0;
    std::string fromChild;
    std::string toChild;
    // The filter's answers for the fixed bytes, places counted from the
    // element's start; `ampersand` for an "&" among them.
    LineScan scan;

    std::size_t PieceBegin(std::size_t i) const { return i == 0 ? 0 : ends[i - 1]; }
    std::size_t PieceSize(std::size_t i) const { return ends[i] - PieceBegin(i); }
    // At most one text run, between two pieces: a line that the count of
    // its "<" tells apart.
    bool ByCount() const { return holes == 0 || (holes == 1 && stops[0] == '<'); }
  };

  // The shape of `line`, a whole line whose marks are `marks`, from where
  // `state` stands; null when none fits. Its first "<" is at `head`, with
  // white space before it. The line may be read as the reader's lines may
  // (LineReader::kReadableBefore, kReadableAfter). The shape that followed the last one found is
  // tried first: elements come in the same order programme after programme.
  const Shape* FindLine(std::string_view line, std::size_t head, const LineMarks& marks,
                        const LayoutState& state) {
    Shape* next = last_->next;
    if (next != nullptr && FitsLine(*next, line, head, marks, state)) return Take(next);
    return LookForLine(line, head, marks, state);
  }

  // The shape of the element at the start of `text`, a "<" where a split
  // left the walk, from where `state` stands; null when none fits. Its
  // fixed bytes end at `end`.
  const Shape* FindElement(std::string_view text, const LayoutState& state, std::size_t& end);

  // An element was walked and left the state at `state`: the shape of the
  // next one is guessed from there.
  void Forget(const LayoutState& state) { last_ = &after_[static_cast<std::size_t>(state.where())]; }

  // Remembers the shape of `element`, bytes from a first "<" on, walked
  // with `notes` (places counted from that "<") from `from` (with child
  // `fromChild`) to where `state` stands without a split.
  void Remember(std::string_view element, const LayoutState::Notes& notes,
                LayoutState::Where from, std::string_view fromChild, const LayoutState& state);

 private:
  // Four ways a set: shapes that share their first bytes (the same element
  // with one, two or three children), or a hash, do not push each other out.
  static constexpr std::size_t kSets = 64;
  static constexpr std::size_t kWays = 4;
  static Shape* Set(Shape* shapes, const char* head, LayoutState::Where from);
  static bool FitsPlace(const Shape& shape, const LayoutState& state) {
    return shape.from == state.where() &&
           (shape.from != LayoutState::Where::kChild || shape.fromChild == state.child());
  }
  // For a line of at most one text run, the reader's count of "<" says
  // that the run holds none, and nothing after the pieces: the second piece
  // must end the line.
  bool FitsLine(const Shape& shape, std::string_view line, std::size_t head,
                const LineMarks& marks, const LayoutState& state) const {
    if (!shape.ByCount()) return FitsLineAnyway(shape, line, head, state);
    const std::size_t prefix = shape.ends[0];
    const std::size_t suffix = shape.holes == 0 ? 0 : shape.ends[1] - prefix;
    if (shape.tags != marks.tags || line.size() < head + prefix + suffix ||
        !FitsPlace(shape, state)) {
      return false;
    }
    if (!shape.inWords) {
      return SameBytes(line.data() + head, shape.bytes, prefix) &&
             SameBytes(line.data() + line.size() - suffix, shape.bytes + prefix, suffix);
    }
    // Whole words, the bytes beyond the pieces masked out.
    const char* const first = line.data() + head;
    const char* const last = line.data() + line.size() - 16;
    std::uint64_t differ = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      differ |= (Word(first + 8 * i) ^ shape.headWords[i]) & shape.headMasks[i];
    }
    for (std::size_t i = 0; i < 2; ++i) {
      differ |= (Word(last + 8 * i) ^ shape.tailWords[i]) & shape.tailMasks[i];
    }
    return differ == 0;
  }
  bool FitsLineAnyway(const Shape& shape, std::string_view line, std::size_t head,
                      const LayoutState& state) const;
  // True when `text` begins with the pieces and holes of `shape`; `end` is
  // then where its last piece ends.
  bool Matches(const Shape& shape, std::string_view text, std::size_t& end) const;
  static std::uint64_t Word(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
  }
  static void PutInWords(Shape& shape);
  const Shape* LookForLine(std::string_view line, std::size_t head, const LineMarks& marks,
                           const LayoutState& state);
  const Shape* Take(Shape* shape) {
    last_->next = shape;
    last_ = shape;
    shape->hit = true;
    return shape;
  }

  const ByteScanner* scanner_;
  Shape shapes_[kSets * kWays];
  // No shape, but what followed an element that was walked, by where it
  // left the state.
  Shape after_[4];
  Shape* last_ = &after_[0];  // the shape of the last element
};

}  // namespace zelvane
