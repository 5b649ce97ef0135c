#include "base/line_marks.h"

#include <bit>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZELVANE_MARKS_X86 1
#endif

namespace zelvane {

namespace {

constexpr char kCtrlZ = 26;

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
      ++marks.tags;
    }
  }
  return to;
}

#if ZELVANE_MARKS_X86

namespace {

// Notes the "<" of a block at `offset` from the line's start, bit i of
// `tags` standing for byte i of the block.
void NoteBlock(std::uint32_t tags, std::size_t offset, LineMarks& marks) {
  if (offset < 32) {
    marks.headTagStarts |= static_cast<std::uint32_t>(std::uint64_t{tags} << offset);
  }
  marks.tags += static_cast<std::uint32_t>(std::popcount(tags));
}

// The vector scans: 16 bytes a block with SSE2, which every x86-64
// processor has, or 32 with AVX2 where the processor has it (half the
// instructions per byte). The rest of the bytes, fewer than a block, go a
// narrower way. At the block that holds the line's end only the bytes before
// it count.
const char* ScanToLineEndSse2(const char* lineBegin, const char* from, const char* to,
                              LineMarks& marks) {
  constexpr std::ptrdiff_t kBlock = 16;
  __m128i ampersands = _mm_setzero_si128();
  const char* at = from;
  for (; to - at >= kBlock; at += kBlock) {
    const auto is = [](__m128i bytes, char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    const auto bits = [](__m128i mask) {
      return static_cast<std::uint32_t>(_mm_movemask_epi8(mask));
    };
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const std::uint32_t ends = bits(_mm_or_si128(is(bytes, '\n'), is(bytes, kCtrlZ)));
    const std::uint32_t tags = bits(is(bytes, '<'));
    const __m128i amps = is(bytes, '&');
    if (ends != 0) {
      const std::uint32_t before = (ends & (0u - ends)) - 1;
      if ((bits(amps) & before) != 0 || bits(ampersands) != 0) marks.ampersand = true;
      NoteBlock(tags & before, static_cast<std::size_t>(at - lineBegin), marks);
      return at + std::countr_zero(ends);
    }
    ampersands = _mm_or_si128(ampersands, amps);
    if (tags != 0) NoteBlock(tags, static_cast<std::size_t>(at - lineBegin), marks);
  }
  if (_mm_movemask_epi8(ampersands) != 0) marks.ampersand = true;
  return ScanToLineEndBytewise(lineBegin, at, to, marks);
}

__attribute__((target("avx2,popcnt"))) const char* ScanToLineEndAvx2(const char* lineBegin,
                                                             const char* from, const char* to,
                                                             LineMarks& marks) {
  constexpr std::ptrdiff_t kBlock = 32;
  const __m256i lineFeed = _mm256_set1_epi8('\n');
  const __m256i ctrlZ = _mm256_set1_epi8(kCtrlZ);
  const __m256i tagStart = _mm256_set1_epi8('<');
  const __m256i ampersand = _mm256_set1_epi8('&');
  __m256i ampersands = _mm256_setzero_si256();
  const char* at = from;
  for (; to - at >= kBlock; at += kBlock) {
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
      NoteBlock(tags & before, static_cast<std::size_t>(at - lineBegin), marks);
      return at + std::countr_zero(ends);
    }
    ampersands = _mm256_or_si256(ampersands, amps);
    if (tags != 0) NoteBlock(tags, static_cast<std::size_t>(at - lineBegin), marks);
  }
  if (_mm256_movemask_epi8(ampersands) != 0) marks.ampersand = true;
  // The rest of the buffer, fewer than 32 bytes, in a block of 16 or bytewise.
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

const char* FindEitherBytewise(const char* from, const char* to, char a, char b) {
  for (const char* at = from; at != to; ++at) {
    if (*at == a || *at == b) return at;
  }
  return to;
}

const char* FindEither(const char* from, const char* to, char a, char b) {
#if ZELVANE_MARKS_X86
  // Sixteen bytes at a time; the last block ends at `to`, overlapping what
  // was looked at before, whose bytes are left out.
  constexpr std::ptrdiff_t kBlock = 16;
  if (to - from >= kBlock) {
    const __m128i first = _mm_set1_epi8(a);
    const __m128i second = _mm_set1_epi8(b);
    for (const char* at = from; at != to;) {
      const char* block = to - at >= kBlock ? at : to - kBlock;
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
      const auto found = static_cast<std::uint32_t>(_mm_movemask_epi8(
                             _mm_or_si128(_mm_cmpeq_epi8(bytes, first), _mm_cmpeq_epi8(bytes, second))))
                         >> (at - block) << (at - block);
      if (found != 0) return block + std::countr_zero(found);
      at = block + kBlock;
    }
    return to;
  }
#endif
  return FindEitherBytewise(from, to, a, b);
}

const char* FindOutsideQuotesBytewise(const char* from, const char* to, char target,
                                      char& quote) {
  for (const char* at = from; at != to; ++at) {
    const char c = *at;
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == target) {
      return at;
    }
  }
  return to;
}

#if ZELVANE_MARKS_X86

namespace {

// FindOutsideQuotes, 32 bytes at a time. Where a block holds no "'" and no
// quote is open before it, which is how tags mostly quote, the double
// quotes' running parity tells which bytes stand quoted, and the block is
// judged at once; otherwise the search hops from one quote or target to the
// next. The last block ends at `to`, overlapping what was looked at before;
// the bytes before `at` are then left out.
__attribute__((target("avx2,popcnt"))) const char* FindOutsideQuotesAvx2(const char* from,
                                                                         const char* to,
                                                                         char target,
                                                                         char& quote) {
  constexpr std::ptrdiff_t kBlock = 32;
  const __m256i doubleQuote = _mm256_set1_epi8('"');
  const __m256i singleQuote = _mm256_set1_epi8('\'');
  const __m256i targets = _mm256_set1_epi8(target);
#define ZELVANE_BITS(mask) static_cast<std::uint32_t>(_mm256_movemask_epi8(mask))
  for (const char* at = from; at != to;) {
    const char* block = to - at >= kBlock ? at : to - kBlock;
    const auto skipped = static_cast<int>(at - block);
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
    const std::uint32_t keep = ~std::uint32_t{0} << skipped;
    if (quote == 0) {
      const std::uint32_t doubles = ZELVANE_BITS(_mm256_cmpeq_epi8(bytes, doubleQuote)) & keep;
      const std::uint32_t singles = ZELVANE_BITS(_mm256_cmpeq_epi8(bytes, singleQuote)) & keep;
      const std::uint32_t found = ZELVANE_BITS(_mm256_cmpeq_epi8(bytes, targets)) & keep;
      if (singles == 0) {
        // Bit i of `quoted` is set when an odd number of double quotes stand
        // at or before byte i.
        std::uint32_t quoted = doubles;
        quoted ^= quoted << 1;
        quoted ^= quoted << 2;
        quoted ^= quoted << 4;
        quoted ^= quoted << 8;
        quoted ^= quoted << 16;
        const std::uint32_t outside = found & ~quoted;
        if (outside != 0) return block + std::countr_zero(outside);
        if ((std::popcount(doubles) & 1) != 0) quote = '"';
        at = block + kBlock;
        continue;
      }
      const std::uint32_t stops = doubles | singles | found;
      if (stops == 0) {
        at = block + kBlock;
        continue;
      }
      const char* stop = block + std::countr_zero(stops);
      if (*stop == target) return stop;
      quote = *stop;
      at = stop + 1;
      continue;
    }
    const std::uint32_t closing =
        ZELVANE_BITS(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(quote))) & keep;
    if (closing == 0) {
      at = block + kBlock;
      continue;
    }
    quote = 0;
    at = block + std::countr_zero(closing) + 1;
  }
#undef ZELVANE_BITS
  return to;
}

}  // namespace

#endif

const char* FindOutsideQuotes(const char* from, const char* to, char target, char& quote) {
#if ZELVANE_MARKS_X86
  if (to - from >= 32 && __builtin_cpu_supports("avx2")) {
    return FindOutsideQuotesAvx2(from, to, target, quote);
  }
#endif
  return FindOutsideQuotesBytewise(from, to, target, quote);
}

}  // namespace zelvane
