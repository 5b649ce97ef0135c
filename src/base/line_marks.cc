#include "base/line_marks.h"

#include <bit>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZELVANE_MARKS_X86 1
#endif

namespace zelvane {

namespace {

constexpr char kCtrlZ = 26;

void NoteCandidate(std::uint32_t at, LineMarks& marks) {
  if (marks.count == LineMarks::kMaxCandidates) {
    marks.complete = false;
    return;
  }
  marks.candidates[marks.count++] = at;
}

// Whether the "<" at `at` may start an opening or tag markup, as far as the
// bytes up to `to` tell.
bool MayStartMarkup(const char* at, const char* to) {
  if (to - at < 2) return true;
  const char next = static_cast<char>(at[1] | 0x20);
  if (next == 'p' || next == 'b') return true;
  if (at[1] != '/') return false;
  return to - at < 3 || static_cast<char>(at[2] | 0x20) == 'p';
}

}  // namespace

const char* ScanToLineEndBytewise(const char* lineBegin, const char* from, const char* to,
                                  LineMarks& marks) {
  for (const char* at = from; at != to; ++at) {
    const char c = *at;
    if (c == '\n' || c == kCtrlZ) return at;
    if (c == '&') {
      marks.ampersand = true;
    } else if (c == '<') {
      const auto position = static_cast<std::uint32_t>(at - lineBegin);
      if (position < 32) marks.headTagStarts |= std::uint32_t{1} << position;
      if (MayStartMarkup(at, to)) NoteCandidate(position, marks);
    }
  }
  return to;
}

#if ZELVANE_MARKS_X86

namespace {

// Notes the "<" of a block at `offset` from the line's start: those of the
// head, and the candidates.
void NoteBlock(std::uint32_t tags, std::uint32_t candidates, std::size_t offset,
               LineMarks& marks) {
  if (offset < 32) {
    marks.headTagStarts |= static_cast<std::uint32_t>(std::uint64_t{tags} << offset);
  }
  for (; candidates != 0; candidates &= candidates - 1) {
    NoteCandidate(static_cast<std::uint32_t>(offset) +
                      static_cast<std::uint32_t>(std::countr_zero(candidates)),
                  marks);
  }
}

// As NoteBlock, for the "<" of the block at `block`, which has at least two
// bytes after it before `to`: each is tested for a candidate on its own,
// which costs less than vector tests where a block holds a "<" or two.
void NoteTags(std::uint32_t tags, const char* block, std::size_t offset, LineMarks& marks) {
  if (offset < 32) {
    marks.headTagStarts |= static_cast<std::uint32_t>(std::uint64_t{tags} << offset);
  }
  for (; tags != 0; tags &= tags - 1) {
    const auto at = static_cast<std::uint32_t>(std::countr_zero(tags));
    const char next = static_cast<char>(block[at + 1] | 0x20);
    if (next == 'p' || next == 'b' ||
        (block[at + 1] == '/' && static_cast<char>(block[at + 2] | 0x20) == 'p')) {
      NoteCandidate(static_cast<std::uint32_t>(offset) + at, marks);
    }
  }
}

// The vector scans: 16 bytes a block with SSE2, which every x86-64
// processor has, or 32 with AVX2 where the processor has it (half the
// instructions per byte). Blocks stop two bytes short of `to`, so that the
// bytes after each "<" are at hand, and the rest goes byte by byte. SSE2
// tests them for candidates with two more loads of the block, shifted by
// one and two bytes; AVX2 tests each "<" on its own, which costs less where
// a block holds a "<" or two, as a listing's do. At the block that holds
// the line's end only the bytes before it count.
const char* ScanToLineEndSse2(const char* lineBegin, const char* from, const char* to,
                              LineMarks& marks) {
  constexpr std::ptrdiff_t kBlock = 16;
  const __m128i caseBit = _mm_set1_epi8(0x20);
  __m128i ampersands = _mm_setzero_si128();
  const char* at = from;
  for (; to - at >= kBlock + 2; at += kBlock) {
    const auto load = [at](int shift) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + shift));
    };
    const auto is = [](__m128i bytes, char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    const auto bits = [](__m128i mask) {
      return static_cast<std::uint32_t>(_mm_movemask_epi8(mask));
    };
    const __m128i bytes = load(0);
    const std::uint32_t ends = bits(_mm_or_si128(is(bytes, '\n'), is(bytes, kCtrlZ)));
    std::uint32_t tags = bits(is(bytes, '<'));
    const __m128i amps = is(bytes, '&');
    std::uint32_t candidates = 0;
    if (tags != 0) {
      const __m128i next = load(1);
      const __m128i nextFolded = _mm_or_si128(next, caseBit);
      const __m128i third = _mm_or_si128(load(2), caseBit);
      candidates = tags & bits(_mm_or_si128(
                              _mm_or_si128(is(nextFolded, 'p'), is(nextFolded, 'b')),
                              _mm_and_si128(is(next, '/'), is(third, 'p'))));
    }
    if (ends != 0) {
      const std::uint32_t before = (ends & (0u - ends)) - 1;
      if ((bits(amps) & before) != 0 || bits(ampersands) != 0) marks.ampersand = true;
      NoteBlock(tags & before, candidates & before, static_cast<std::size_t>(at - lineBegin),
                marks);
      return at + std::countr_zero(ends);
    }
    ampersands = _mm_or_si128(ampersands, amps);
    if (tags != 0) NoteBlock(tags, candidates, static_cast<std::size_t>(at - lineBegin), marks);
  }
  if (_mm_movemask_epi8(ampersands) != 0) marks.ampersand = true;
  return ScanToLineEndBytewise(lineBegin, at, to, marks);
}

__attribute__((target("avx2"))) const char* ScanToLineEndAvx2(const char* lineBegin,
                                                             const char* from, const char* to,
                                                             LineMarks& marks) {
  constexpr std::ptrdiff_t kBlock = 32;
  const __m256i lineFeed = _mm256_set1_epi8('\n');
  const __m256i ctrlZ = _mm256_set1_epi8(kCtrlZ);
  const __m256i tagStart = _mm256_set1_epi8('<');
  const __m256i ampersand = _mm256_set1_epi8('&');
  __m256i ampersands = _mm256_setzero_si256();
  const char* at = from;
  for (; to - at >= kBlock + 2; at += kBlock) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const auto ends = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_or_si256(_mm256_cmpeq_epi8(bytes, lineFeed), _mm256_cmpeq_epi8(bytes, ctrlZ))));
    const auto tags =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, tagStart)));
    const __m256i amps = _mm256_cmpeq_epi8(bytes, ampersand);
    if (ends != 0) {
      const std::uint32_t before = (ends & (0u - ends)) - 1;
      if ((static_cast<std::uint32_t>(_mm256_movemask_epi8(amps)) & before) != 0 ||
          _mm256_movemask_epi8(ampersands) != 0) {
        marks.ampersand = true;
      }
      NoteTags(tags & before, at, static_cast<std::size_t>(at - lineBegin), marks);
      return at + std::countr_zero(ends);
    }
    ampersands = _mm256_or_si256(ampersands, amps);
    if (tags != 0) NoteTags(tags, at, static_cast<std::size_t>(at - lineBegin), marks);
  }
  if (_mm256_movemask_epi8(ampersands) != 0) marks.ampersand = true;
  // The rest of the buffer, fewer than 34 bytes, in a block of 16 or bytewise.
  return ScanToLineEndSse2(lineBegin, at, to, marks);
}

}  // namespace

const char* ScanToLineEndInBlocks(std::size_t blockBytes, const char* lineBegin,
                                  const char* from, const char* to, LineMarks& marks) {
  // The processor's answer is read from what the runtime found at start.
  if (blockBytes >= 32 && __builtin_cpu_supports("avx2")) {
    return ScanToLineEndAvx2(lineBegin, from, to, marks);
  }
  if (blockBytes >= 16) return ScanToLineEndSse2(lineBegin, from, to, marks);
  return ScanToLineEndBytewise(lineBegin, from, to, marks);
}

#else

const char* ScanToLineEndInBlocks(std::size_t, const char* lineBegin, const char* from,
                                  const char* to, LineMarks& marks) {
  return ScanToLineEndBytewise(lineBegin, from, to, marks);
}

#endif

const char* ScanToLineEnd(const char* lineBegin, const char* from, const char* to,
                          LineMarks& marks) {
  return ScanToLineEndInBlocks(32, lineBegin, from, to, marks);
}

}  // namespace zelvane
