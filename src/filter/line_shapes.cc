#include "filter/line_shapes.h"

#include "filter/line_rules.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// True when no "<" of `piece`, which follows a hole, can count for
// ClassifyLine: a named element's start or the closing tag may stand at one
// only where the bytes after it begin like one, and whether such a text lies
// within the twenty characters that count depends on the holes' lengths.
bool LeavesKindAlone(std::string_view piece) {
  for (std::size_t at = piece.find('<'); at != kNone; at = piece.find('<', at + 1)) {
    if (at + 1 == piece.size()) return false;
    switch (piece[at + 1]) {
      case 't':
      case 's':
      case 'd':
      case 'k':
        return false;
      case '/':
        if (at + 2 == piece.size() || piece[at + 2] == 'p') return false;
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace

LineShapes::Shape* LineShapes::Set(Shape* shapes, const char* head, LayoutState::Where from) {
  std::uint32_t word;
  std::memcpy(&word, head, sizeof word);
  const std::uint32_t key = word * 0x9E3779B1u + static_cast<std::uint32_t>(from) * 0x85EBCA6Bu;
  return shapes + kWays * ((key * 0xC2B2AE35u) >> (32 - std::countr_zero(kSets)));
}

bool LineShapes::Matches(const Shape& shape, std::string_view text, std::size_t& end) const {
  const char* const data = text.data();
  if (shape.inBlocks) {
    // The first piece, then the text run to the next "<", where the second
    // piece stands.
    const std::size_t prefix = shape.ends[0];
    if (text.size() < prefix) return false;
    if (shape.holes == 0) {
      end = prefix;
      return BlocksFit(shape, data, data);
    }
    const void* found = std::memchr(data + prefix, '<', text.size() - prefix);
    if (found == nullptr) return false;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - data);
    end = at + shape.ends[1] - prefix;
    return text.size() >= end && BlocksFit(shape, data, data + at);
  }
  std::size_t at = 0;
  for (std::size_t i = 0;; ++i) {
    const std::size_t size = shape.PieceSize(i);
    if (text.size() - at < size || !SameBytes(data + at, shape.bytes + shape.PieceBegin(i), size)) {
      return false;
    }
    at += size;
    if (i == shape.holes) break;
    // The hole runs to its stop byte and holds no "<".
    const char stop = shape.stops[i];
    const char* found =
        stop == '<' ? static_cast<const char*>(std::memchr(data + at, '<', text.size() - at))
                    : scanner_->Either(data + at, data + text.size(), stop, '<');
    if (found == nullptr || found == data + text.size() || *found != stop) return false;
    at = static_cast<std::size_t>(found - data);
  }
  end = at;
  return true;
}

bool LineShapes::FitsLineAnyway(const Shape& shape, std::string_view line, std::size_t head,
                                const LayoutState& state) const {
  std::size_t end = 0;
  if (!FitsPlace(shape, state) || !Matches(shape, line.substr(head), end)) return false;
  // No markup after the element's.
  end += head;
  return std::memchr(line.data() + end, '<', line.size() - end) == nullptr;
}

LineShapes::Shape* LineShapes::LookForLine(std::string_view line, std::size_t head,
                                           const LineMarks& marks,
                                           const LayoutState& state) {
  // The bytes that choose the set: the first "<" and three after it.
  if (line.size() < head + 4) return nullptr;
  Shape* set = Set(shapes_, line.data() + head, state.where());
  for (std::size_t way = 0; way < kWays; ++way) {
    if (set[way].valid && FitsLine(set[way], line, head, marks, state)) return Take(&set[way]);
  }
  return nullptr;
}

const LineShapes::Shape* LineShapes::FindElement(std::string_view text, const LayoutState& state,
                                                 std::size_t& end) {
  Shape* next = last_->next;
  if (next != nullptr && FitsPlace(*next, state) && Matches(*next, text, end)) return Take(next);
  Shape* other = last_->other;
  if (other != nullptr && FitsPlace(*other, state) && Matches(*other, text, end)) {
    return Take(other);
  }
  if (text.size() < 4) return nullptr;
  Shape* set = Set(shapes_, text.data(), state.where());
  for (std::size_t way = 0; way < kWays; ++way) {
    if (set[way].valid && FitsPlace(set[way], state) && Matches(set[way], text, end)) {
      return Take(&set[way]);
    }
  }
  return nullptr;
}

// What the filter makes of an element with the `count` `pieces` comes from
// the pieces: an opening only in the first, whose place does not move;
// false where one stands in another. `tags` gets the count of their "<".
bool LineShapes::ScanPieces(const std::string_view* pieces, std::size_t count, LineScan& scan,
                            std::uint32_t& tags) const {
  std::string fixed;
  scan.kindKnown = true;
  for (std::size_t i = 0; i < count; ++i) {
    const LineScan pieceScan = ScanLine(pieces[i], *scanner_);
    if (pieceScan.openingAt != kNone) {
      if (i > 0) return false;
      scan.openingAt = pieceScan.openingAt;
    }
    scan.tagMarkup = scan.tagMarkup || pieceScan.tagMarkup;
    scan.ampersand = scan.ampersand || pieceScan.ampersand;
    if (i > 0 && !LeavesKindAlone(pieces[i])) scan.kindKnown = false;
    tags += static_cast<std::uint32_t>(std::count(pieces[i].begin(), pieces[i].end(), '<'));
    fixed.append(pieces[i]);
  }
  // Its classification, the holes left out: a text found in the first piece
  // stands at the same place whatever the holes hold.
  if (scan.kindKnown) {
    scan.kind = ClassifyLine(fixed, ScanLine(fixed, *scanner_).headTagStarts);
    const bool found = scan.kind.lineClass != LineClass::kFurther || scan.kind.demoted;
    if (found && scan.kind.at >= pieces[0].size()) scan.kindKnown = false;
  }
  return true;
}

// The way of the set for an element that starts at `head`, from `from`,
// where a new shape goes: one not in use, else one not used since it was
// remembered. Null where all were used; they get a second chance.
LineShapes::Shape* LineShapes::FreeWay(const char* head, LayoutState::Where from) {
  Shape* set = Set(shapes_, head, from);
  for (std::size_t i = 0; i < kWays; ++i) {
    if (!set[i].valid) return &set[i];
  }
  for (std::size_t i = 0; i < kWays; ++i) {
    if (!set[i].hit) return &set[i];
  }
  for (std::size_t i = 0; i < kWays; ++i) set[i].hit = false;
  return nullptr;
}

void LineShapes::Remember(std::string_view element, const LayoutState::Notes& notes,
                          LayoutState::Where from, std::string_view fromChild,
                          const LayoutState& state) {
  if (notes.tooManyHoles || notes.markupEnd == kNone) return;
  // The holes before the end of the last markup; the pieces between them.
  std::size_t holes = 0;
  std::size_t holeBytes = 0;
  while (holes < notes.holeCount && notes.holes[holes].end <= notes.markupEnd) {
    holeBytes += notes.holes[holes].end - notes.holes[holes].begin;
    ++holes;
  }
  // The first piece holds the bytes by which the shape is found.
  if (holes > Shape::kMaxHoles || notes.markupEnd - holeBytes > Shape::kMaxBytes ||
      (holes > 0 ? notes.holes[0].begin : notes.markupEnd) < 4) {
    return;
  }
  std::string_view pieces[Shape::kMaxHoles + 1];
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= holes; ++i) {
    const std::size_t end = i < holes ? notes.holes[i].begin : notes.markupEnd;
    pieces[i] = element.substr(begin, end - begin);
    if (i < holes) begin = notes.holes[i].end;
  }
  LineScan scan;
  std::uint32_t tags = 0;
  if (!ScanPieces(pieces, holes + 1, scan, tags)) return;
  Shape* way = FreeWay(element.data(), from);
  if (way == nullptr) return;
  Shape& shape = *way;
  shape.valid = true;
  shape.hit = false;
  shape.next = nullptr;
  shape.other = nullptr;
  shape.from = from;
  shape.to = state.where();
  shape.fromChild.assign(from == LayoutState::Where::kChild ? fromChild : std::string_view());
  shape.toChild.assign(shape.to == LayoutState::Where::kChild ? state.child() : std::string());
  shape.setsChild = shape.to == LayoutState::Where::kChild &&
                    !(from == LayoutState::Where::kChild && fromChild == shape.toChild);
  shape.startsSplit = LayoutState::SplitsBefore(element, from, shape.startIndent);
  shape.holes = static_cast<std::uint8_t>(holes);
  shape.tags = tags;
  std::size_t end = 0;
  for (std::size_t i = 0; i <= holes; ++i) {
    std::memcpy(shape.bytes + end, pieces[i].data(), pieces[i].size());
    end += pieces[i].size();
    shape.ends[i] = static_cast<std::uint8_t>(end);
    if (i < holes) shape.stops[i] = notes.holes[i].stop;
  }
  shape.scan = scan;
  shape.line.key = 0;
  PutInBlocks(shape);
  Follow(&shape);
  last_ = &shape;
}

bool LineShapes::QuotedHolesFit(const Shape& shape, std::string_view line, std::size_t at) {
  const char* const data = line.data();
  for (std::size_t i = 0; i < shape.holes; ++i) {
    // The first stop byte, looked for a word at a time: values are short.
    const std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t stops = ones * static_cast<unsigned char>(shape.stops[i]);
    for (;;) {
      if (at >= line.size()) return false;
      const std::uint64_t match = Word(data + at) ^ stops;
      const std::uint64_t zero = (match - ones) & ~match & (ones << 7);
      if (zero != 0) {
        at += static_cast<std::size_t>(std::countr_zero(zero)) / 8;
        break;
      }
      at += 8;
    }
    const std::size_t size = shape.PieceSize(i + 1);
    if (line.size() < at || line.size() - at < size ||
        !SameBytes(data + at, shape.bytes + shape.PieceBegin(i + 1), size)) {
      return false;
    }
    at += size;
  }
  return true;
}

bool LineShapes::FitsLineFurther(const Shape& shape, std::string_view line,
                                 const LayoutState& state) {
  if (!FitsPlace(shape, state)) return false;
  const std::size_t indent = shape.line.indent;
  const std::size_t prefix = indent + shape.ends[0];
  const std::size_t head = 16 * kHeadBlocks;
  if (prefix > head && !SameBytes(line.data() + head, shape.bytes + head - indent, prefix - head)) {
    return false;
  }
  if (shape.holes == 0) return true;
  if (shape.stops[0] != '<') return QuotedHolesFit(shape, line, prefix);
  // One text run: the last piece ends the line.
  const std::size_t suffix = shape.ends[1] - shape.ends[0];
  return line.size() >= prefix + suffix &&
         SameBytes(line.data() + line.size() - suffix, shape.bytes + shape.ends[0], suffix);
}

void LineShapes::LearnLine(Shape& shape, std::string_view line, std::size_t head) {
  Shape::LineForm& form = shape.line;
  if (form.key != 0 && form.indent == head) return;
  form.key = 0;
  if (head > 16) return;
  bool quoted = shape.holes > 0 && !shape.ByCount();
  for (std::size_t i = 0; i < shape.holes && quoted; ++i) quoted = shape.stops[i] != '<';
  if (!shape.ByCount() && !quoted) return;
  const std::size_t prefix = head + shape.ends[0];
  const std::size_t suffix = shape.ByCount() && shape.holes == 1 ? shape.ends[1] - shape.ends[0] : 0;
  // Bytes in the order of memory, as Word loads them.
  char bytes[16 * kHeadBlocks] = {};
  char masks[16 * kHeadBlocks] = {};
  const std::size_t kept = std::min(prefix, sizeof bytes);
  std::memcpy(bytes, line.data(), kept);
  std::memset(masks, 0xFF, kept);
  char tail[16 * kTailBlocks] = {};
  char tailMask[16 * kTailBlocks] = {};
  const std::size_t tailKept = std::min(suffix, sizeof tail);
  std::memcpy(tail + sizeof tail - tailKept, shape.bytes + shape.ends[0] + suffix - tailKept,
              tailKept);
  std::memset(tailMask + sizeof tail - tailKept, 0xFF, tailKept);
  for (std::size_t i = 0; i < kHeadBlocks; ++i) {
    form.head[i] = Load16(bytes + 16 * i);
    form.headMask[i] = Load16(masks + 16 * i);
  }
  for (std::size_t i = 0; i < kTailBlocks; ++i) {
    form.tail[i] = Load16(tail + 16 * i);
    form.tailMask[i] = Load16(tailMask + 16 * i);
  }
  form.size = prefix + suffix;
  form.wide = prefix > 32 || suffix > 16;
  const bool inChild = shape.from == LayoutState::Where::kChild;
  form.child = inChild ? ChildKey(shape.fromChild) : 0;
  form.plain = !quoted && prefix <= sizeof bytes && suffix <= sizeof tail &&
               (!inChild || shape.fromChild.size() <= 7);
  form.indent = static_cast<std::uint8_t>(head);
  form.scan = shape.ScanAt(head);
  form.key = LineKey(shape.tags, shape.from);
}

void LineShapes::PutInBlocks(Shape& shape) {
  const std::size_t prefix = shape.ends[0];
  const std::size_t suffix = shape.holes == 0 ? 0 : shape.ends[1] - prefix;
  shape.inBlocks = shape.ByCount() && prefix <= 32 && suffix <= 16;
  if (!shape.inBlocks) return;
  char head[32] = {};
  char headMask[32] = {};
  std::memcpy(head, shape.bytes, prefix);
  std::memset(headMask, 0xFF, prefix);
  char tail[16] = {};
  char tailMask[16] = {};
  std::memcpy(tail, shape.bytes + prefix, suffix);
  std::memset(tailMask, 0xFF, suffix);
  for (std::size_t i = 0; i < 2; ++i) {
    shape.headBlocks[i] = Load16(head + 16 * i);
    shape.headBlockMasks[i] = Load16(headMask + 16 * i);
  }
  shape.tailBlock = Load16(tail);
  shape.tailBlockMask = Load16(tailMask);
}

}  // namespace zelvane
