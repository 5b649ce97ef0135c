#include "filter/line_scan.h"

#include "base/byte_string.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZELVANE_SCAN_SSE2 1
#endif

namespace zelvane {

namespace {

bool OpensAt(std::string_view line, std::size_t at) {
  static_assert(kProgrammeOpening == "<programme ");
  return LiteralAt(line, at, "<programme ");
}

bool TagMarkupAt(std::string_view line, std::size_t at) {
  if (line.size() - at < 3) return false;
  const char first = LowerAscii(line[at + 1]);
  const char second = LowerAscii(line[at + 2]);
  if (first == '/') return second == 'p' && line.size() - at >= 4 && line[at + 3] == '>';
  return (first == 'p' && second == '>') || (first == 'b' && second == 'r');
}

}  // namespace

LineScan ScanMarkedTags(std::string_view line, const LineMarks& marks) {
  if (!marks.complete) return ScanLine(line);
  LineScan scan;
  scan.ampersand = marks.ampersand;
  scan.headTagStarts = marks.headTagStarts;
  // Only a "<" can open a programme or start tag markup; a line holds few.
  const auto note = [&](std::size_t at) {
    if (scan.openingAt == std::string_view::npos && OpensAt(line, at)) scan.openingAt = at;
    if (!scan.tagMarkup && TagMarkupAt(line, at)) scan.tagMarkup = true;
  };
  for (std::uint32_t bits = marks.headTagStarts; bits != 0; bits &= bits - 1) {
    note(static_cast<std::size_t>(std::countr_zero(bits)));
  }
  if (static_cast<std::uint32_t>(std::popcount(marks.headTagStarts)) == marks.tags) return scan;
  for (std::size_t at = line.find('<', 32); at != std::string_view::npos;
       at = line.find('<', at + 1)) {
    note(at);
  }
  return scan;
}

LineScan ScanLineBytewise(std::string_view line) {
  LineScan scan;
  for (std::size_t at = 0; at < line.size(); ++at) {
    const char c = line[at];
    if (c == '&') {
      scan.ampersand = true;
    } else if (c == '<') {
      if (at < 32) scan.headTagStarts |= std::uint32_t{1} << at;
      if (scan.openingAt == std::string_view::npos && OpensAt(line, at)) scan.openingAt = at;
      if (!scan.tagMarkup && TagMarkupAt(line, at)) scan.tagMarkup = true;
    }
  }
  return scan;
}

namespace {

std::size_t FindPairBytewise(std::string_view text, std::size_t from, char first,
                             char secondLower) {
  for (std::size_t at = from; at + 1 < text.size(); ++at) {
    if (text[at] == first && LowerAscii(text[at + 1]) == secondLower) return at;
  }
  return std::string_view::npos;
}

}  // namespace

#if ZELVANE_SCAN_SSE2

// Positions looked at in one step.
constexpr std::size_t kBlock = 16;

std::size_t FindPairFolded(std::string_view text, std::size_t from, char first,
                           char secondLower) {
  // Setting the case bit folds only letters onto `secondLower`.
  const __m128i firstBytes = _mm_set1_epi8(first);
  const __m128i secondBytes = _mm_set1_epi8(secondLower);
  const __m128i caseBit = _mm_set1_epi8(0x20);
  std::size_t at = from;
  for (; at < text.size() && text.size() - at > kBlock; at += kBlock) {
    const char* bytes = text.data() + at;
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 1));
    const __m128i pairs = _mm_and_si128(_mm_cmpeq_epi8(here, firstBytes),
                                        _mm_cmpeq_epi8(_mm_or_si128(next, caseBit), secondBytes));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(pairs));
    if (bits != 0) return at + static_cast<std::size_t>(std::countr_zero(bits));
  }
  return FindPairBytewise(text, at, first, secondLower);
}

namespace {

// Scans the sixteen positions of `line` from `lineAt`, whose bytes and the
// one after them stand at `bytes`: the line itself, or a copy of a short
// line padded with zeros, which match nothing. Each position is tested with
// two loads, the byte itself and the one after it: a "<" followed by "p" or
// "b" in either case, or by "/", is a candidate for "<programme " and for
// tag markup, and only candidates are looked at one by one. They are few in
// a listing (an end tag or two a line), so the cost is the same few
// instructions per sixteen bytes however many "<" the line holds.
class BlockScanner {
 public:
  explicit BlockScanner(std::string_view line) : line_(line) {}

  void Scan(const char* bytes, std::size_t lineAt) {
    const auto load = [bytes](std::size_t offset) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + offset));
    };
    const __m128i here = load(0);
    ampersands_ = _mm_or_si128(ampersands_, _mm_cmpeq_epi8(here, _mm_set1_epi8('&')));
    const __m128i tagStart = _mm_cmpeq_epi8(here, _mm_set1_epi8('<'));
    const auto tagBits = static_cast<std::uint32_t>(_mm_movemask_epi8(tagStart));
    if (tagBits == 0) return;
    if (lineAt < 32) scan_.headTagStarts |= static_cast<std::uint32_t>(std::uint64_t{tagBits} << lineAt);
    if (scan_.openingAt != std::string_view::npos && scan_.tagMarkup) return;
    const __m128i next = load(1);
    const __m128i p = _mm_set1_epi8('p');
    __m128i wanted = _mm_cmpeq_epi8(next, p);
    if (!scan_.tagMarkup) {
      // Once tag markup is known, only an exact "<p" can still matter. The
      // "/" of "</p>" has no case: folding leaves it, and any byte it makes
      // from another is sorted out below.
      const __m128i folded = _mm_or_si128(next, _mm_set1_epi8(0x20));
      wanted = _mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi8(folded, p), _mm_cmpeq_epi8(folded, _mm_set1_epi8('b'))),
          _mm_cmpeq_epi8(next, _mm_set1_epi8('/')));
    }
    const __m128i candidates = _mm_and_si128(tagStart, wanted);
    for (auto bits = static_cast<unsigned>(_mm_movemask_epi8(candidates)); bits != 0;
         bits &= bits - 1) {
      const std::size_t at = lineAt + static_cast<std::size_t>(std::countr_zero(bits));
      if (scan_.openingAt == std::string_view::npos && OpensAt(line_, at)) scan_.openingAt = at;
      if (!scan_.tagMarkup && TagMarkupAt(line_, at)) scan_.tagMarkup = true;
    }
  }

  // The last byte of a line that no block reached: it can only be an
  // ampersand or a "<" of the head, since markup needs bytes after its "<".
  void ScanLastByte() {
    const std::size_t at = line_.size() - 1;
    if (line_[at] == '&') ampersands_ = _mm_set1_epi8(-1);
    if (line_[at] == '<' && at < 32) scan_.headTagStarts |= std::uint32_t{1} << at;
  }

  LineScan Result() {
    scan_.ampersand = _mm_movemask_epi8(ampersands_) != 0;
    return scan_;
  }

 private:
  std::string_view line_;
  LineScan scan_;
  __m128i ampersands_ = _mm_setzero_si128();
};

}  // namespace

LineScan ScanLine(std::string_view line) {
  BlockScanner scanner(line);
  if (line.size() <= kBlock) {
    char padded[kBlock + 1] = {};
    if (!line.empty()) std::memcpy(padded, line.data(), line.size());
    scanner.Scan(padded, 0);
    return scanner.Result();
  }
  std::size_t at = 0;
  for (; at + kBlock < line.size(); at += kBlock) scanner.Scan(line.data() + at, at);
  // The last block overlaps the one before it; a candidate seen twice is
  // answered the same both times.
  if (at + 1 < line.size()) {
    const std::size_t last = line.size() - 1 - kBlock;
    scanner.Scan(line.data() + last, last);
  }
  scanner.ScanLastByte();
  return scanner.Result();
}

#else

std::size_t FindPairFolded(std::string_view text, std::size_t from, char first,
                           char secondLower) {
  return FindPairBytewise(text, from, first, secondLower);
}

LineScan ScanLine(std::string_view line) { return ScanLineBytewise(line); }

#endif

}  // namespace zelvane
