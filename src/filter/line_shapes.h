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

  // Sixteen bytes, compared at once where the processor can.
  using Bytes16 = unsigned char __attribute__((vector_size(16)));
  // The blocks of a line form's head and tail.
  static constexpr std::size_t kHeadBlocks = 3;
  static constexpr std::size_t kTailBlocks = 2;
  static_assert(kHeadBlocks == 3 && kTailBlocks == 2, "FitsUsualWords compares these");

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
    Shape* other = nullptr;  // the one that followed it before, if another
    // A shape of at most one text run (ByCount) with a first piece of at
    // most 32 bytes and a second of at most 16, in blocks with masks that
    // keep their bytes, each from its start.
    bool inBlocks = false;
    Bytes16 headBlocks[2];
    Bytes16 headBlockMasks[2];
    Bytes16 tailBlock;
    Bytes16 tailBlockMask;
    // The fixed bytes: piece i from ends[i - 1] (0 for the first) to
    // ends[i], hole i between pieces i and i + 1, ended by stops[i].
    std::uint8_t ends[kMaxHoles + 1];
    char stops[kMaxHoles];
    char bytes[kMaxBytes];
    // The shape as a whole line, learned from the last such line that was
    // found by it: that line's first 48 bytes (its indentation and the
    // start of the shape) and last 32, with masks that keep the fixed
    // bytes, and the line's scan. The holes are text runs found by the
    // count of "<", or quoted values, each found by its stop byte.
    struct LineForm {
      // The count of "<" and the place it is found from; 0 for none.
      std::uint64_t key = 0;
      std::uint64_t child = 0;  // the child it is found in, as ChildKey has it
      Bytes16 head[kHeadBlocks];
      Bytes16 headMask[kHeadBlocks];
      Bytes16 tail[kTailBlocks];
      Bytes16 tailMask[kTailBlocks];
      std::size_t size = 0;  // the bytes that the blocks compare, at least
      // The blocks say it all: no more fixed bytes, no quoted values, no
      // child to compare.
      bool plain = false;
      bool wide = false;  // fixed bytes beyond the head's first 32 or the tail's last 16
      std::uint8_t indent = 0;
      LineScan scan;
    } line;
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
    // The scan of an element line with this shape at `at`.
    LineScan ScanAt(std::size_t at) const {
      LineScan placed = scan;
      if (placed.openingAt != std::string_view::npos) placed.openingAt += at;
      // A line of no named element has no place for it.
      if (placed.kind.lineClass != LineClass::kFurther || placed.kind.demoted) {
        placed.kind.at += static_cast<std::uint32_t>(at);
      }
      return placed;
    }
  };

  // A whole line of the usual layout is found by the shape that followed the
  // last one found, now or before, as that shape's line form has it, from
  // where the state stands: elements come in the same order programme after
  // programme, and lines of the usual layout are indented alike. It is
  // found in two steps. The first calls nothing: the line forms' words are
  // compared with the line's under the key of its marks and place.
  struct UsualKey {
    std::uint64_t tags;   // LineKey
    std::uint64_t child;  // ChildKey of the child open, or 0
  };
  [[gnu::always_inline]] static UsualKey KeyOf(const LineMarks& marks, const LayoutState& state) {
    return {LineKey(marks.tags, state.where()),
            state.where() == LayoutState::Where::kChild ? ChildKey(state.child()) : 0};
  }
  Shape* Next() const { return last_->next; }
  Shape* Other() const { return last_->other; }
  // `shape` when it is not null and the words of its line form fit `line`.
  [[gnu::always_inline]] static Shape* ByWords(Shape* shape, std::string_view line,
                                               const UsualKey& key) {
    return shape != nullptr && FitsUsualWords(shape->line, line, key.tags, key.child) ? shape
                                                                                       : nullptr;
  }
  // Takes `shape`, found after the last one, as the shape found now: it
  // then follows the last one, and the one that did before is the other.
  Shape* Take(Shape* shape) {
    Follow(shape);
    last_ = shape;
    shape->hit = true;
    return shape;
  }
  // The second step, on `next`, what ByWords gave of Next(): the checks
  // beyond the words, then Other(). Null when neither fits.
  const Shape* FindUsualLine(Shape* next, std::string_view line, const LineMarks& marks,
                                  const LayoutState& state) {
    if (next != nullptr && (next->line.plain || FitsLineFurther(*next, line, state))) {
      return Take(next);
    }
    Shape* other = ByWords(Other(), line, KeyOf(marks, state));
    if (other != nullptr && (other->line.plain || FitsLineFurther(*other, line, state))) {
      return Take(other);
    }
    return nullptr;
  }

  // The shape of `line`, a whole line whose marks are `marks`, from where
  // `state` stands; null when none fits. Its first "<" is at `head`, with
  // white space before it. The line may be read as the reader's lines may
  // (LineReader::kReadableBefore, kReadableAfter). The shape that followed the last one found is
  // tried first: elements come in the same order programme after programme.
  const Shape* FindLine(std::string_view line, std::size_t head, const LineMarks& marks,
                        const LayoutState& state) {
    Shape* next = last_->next;
    Shape* found = next != nullptr && FitsLine(*next, line, head, marks, state)
                       ? Take(next)
                       : LookForLine(line, head, marks, state);
    if (found != nullptr) LearnLine(*found, line, head);
    return found;
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
    if (!shape.inBlocks) {
      return SameBytes(line.data() + head, shape.bytes, prefix) &&
             SameBytes(line.data() + line.size() - suffix, shape.bytes + prefix, suffix);
    }
    return BlocksFit(shape, line.data() + head, line.data() + line.size() - suffix);
  }
  // True when the first piece of `shape`, which is in blocks, stands at
  // `first` and the second at `second`. Whole blocks are read.
  static bool BlocksFit(const Shape& shape, const char* first, const char* second) {
    const Bytes16 differ = ((Load16(first) ^ shape.headBlocks[0]) & shape.headBlockMasks[0]) |
                           ((Load16(first + 16) ^ shape.headBlocks[1]) & shape.headBlockMasks[1]) |
                           ((Load16(second) ^ shape.tailBlock) & shape.tailBlockMask);
    return Word(differ, 0) == 0 && Word(differ, 8) == 0;
  }
  bool FitsLineAnyway(const Shape& shape, std::string_view line, std::size_t head,
                      const LayoutState& state) const;
  static std::uint64_t LineKey(std::uint32_t tags, LayoutState::Where from) {
    return std::uint64_t{tags} << 8 | (static_cast<std::uint64_t>(from) + 1);
  }
  // The name of a child in a word: exact for names of up to seven bytes,
  // their first seven bytes for longer ones. A name is held where a word
  // can be read (a string holds at least 15 bytes).
  static std::uint64_t ChildKey(const std::string& name) {
    const std::size_t size = name.size();
    const std::uint64_t bytes = Word(name.data()) & ((std::uint64_t{1} << 56) - 1);
    if (size > 7) return bytes | std::uint64_t{0xFF} << 56;
    return (bytes & ((std::uint64_t{1} << (8 * size)) - 1)) | std::uint64_t{size} << 56;
  }
  // The checks of a line form on the words of a line.
  [[gnu::always_inline]] static bool FitsUsualWords(const Shape::LineForm& form,
                                                    std::string_view line, std::uint64_t key,
                                                    std::uint64_t child) {
    if (form.key != key || form.child != child || line.size() < form.size) return false;
    const char* const first = line.data();
    const char* const last = first + line.size() - 16 * kTailBlocks;
    // Most forms have no fixed bytes in the third block of the head and the
    // first of the tail.
    Bytes16 differ = ((Load16(first) ^ form.head[0]) & form.headMask[0]) |
                     ((Load16(first + 16) ^ form.head[1]) & form.headMask[1]) |
                     ((Load16(last + 16) ^ form.tail[1]) & form.tailMask[1]);
    if (form.wide) {
      differ |= ((Load16(first + 32) ^ form.head[2]) & form.headMask[2]) |
                ((Load16(last) ^ form.tail[0]) & form.tailMask[0]);
    }
    return Word(differ, 0) == 0 && Word(differ, 8) == 0;
  }
  // The checks of a line form beyond the words.
  static bool FitsLineFurther(const Shape& shape, std::string_view line, const LayoutState& state);
  // The holes of a line that begins with the first piece of `shape`, whose
  // holes are quoted values, up to `at`. The line holds no more "<" than
  // the pieces: none stands in a hole, or after the last piece.
  static bool QuotedHolesFit(const Shape& shape, std::string_view line, std::size_t at);
  // Learns `line`, found by `shape` with its first "<" at `head`, as the
  // shape's line form.
  static void LearnLine(Shape& shape, std::string_view line, std::size_t head);
  // True when `text` begins with the pieces and holes of `shape`; `end` is
  // then where its last piece ends.
  bool Matches(const Shape& shape, std::string_view text, std::size_t& end) const;
  static Bytes16 Load16(const char* bytes) {
    Bytes16 block;
    std::memcpy(&block, bytes, sizeof block);
    return block;
  }
  static std::uint64_t Word(const Bytes16& block, std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, reinterpret_cast<const char*>(&block) + at, sizeof word);
    return word;
  }
  static std::uint64_t Word(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
  }
  static void PutInBlocks(Shape& shape);
  bool ScanPieces(const std::string_view* pieces, std::size_t count, LineScan& scan,
                  std::uint32_t& tags) const;
  Shape* FreeWay(const char* head, LayoutState::Where from);
  Shape* LookForLine(std::string_view line, std::size_t head, const LineMarks& marks,
                     const LayoutState& state);
  // `shape` follows the last one.
  void Follow(Shape* shape) {
    if (last_->next == shape) return;
    last_->other = last_->next;
    last_->next = shape;
  }
  const ByteScanner* scanner_;
  Shape shapes_[kSets * kWays];
  // No shape, but what followed an element that was walked, by where it
  // left the state.
  Shape after_[4];
  Shape* last_ = &after_[0];  // the shape of the last element
};

}  // namespace zelvane
