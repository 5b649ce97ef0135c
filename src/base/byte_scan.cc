#include "base/byte_scan.h"

#include <algorithm>
#include <bit>

// The one place that knows the processor's vector instructions.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZELVANE_X86 1
#endif

namespace zelvane {

namespace {

// -- Byte by byte: the reference, and the code without vector instructions.

const char* ToLineEndBytewise(const ByteScanner& scanner, const char* lineBegin,
                              const char* from, const char* to, LineMarks& marks) {
  for (const char* at = from; at != to; ++at) {
    const char c = *at;
    if (c == '\n') return at;
    if (c == scanner.flag()) {
      marks.flagged = true;
    } else if (c == scanner.tag()) {
      const auto position = static_cast<std::uint32_t>(at - lineBegin);
      if (position < 32) marks.headTags |= std::uint32_t{1} << position;
      ++marks.tags;
    }
  }
  return to;
}

const char* OutsideQuotesBytewise(const char* from, const char* to, char target, char& quote) {
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

const char* EitherBytewise(const char* from, const char* to, char a, char b) {
  for (const char* at = from; at != to; ++at) {
    if (*at == a || *at == b) return at;
  }
  return to;
}

constexpr ByteScanner::Functions kBytewise = {ToLineEndBytewise, OutsideQuotesBytewise,
                                              EitherBytewise};

#if ZELVANE_X86

// Notes the tags of a block at `offset` from the line's start, bit i of
// `tags` standing for byte i of the block.
void NoteBlock(std::uint32_t tags, std::size_t offset, LineMarks& marks) {
  if (offset < 32) marks.headTags |= static_cast<std::uint32_t>(std::uint64_t{tags} << offset);
  marks.tags += static_cast<std::uint32_t>(std::popcount(tags));
}

// -- SSE2, sixteen bytes a block.

const char* ToLineEndSse2(const ByteScanner& scanner, const char* lineBegin, const char* from,
                          const char* to, LineMarks& marks) {
  constexpr std::ptrdiff_t kBlock = 16;
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i tag = _mm_set1_epi8(scanner.tag());
  const __m128i flag = _mm_set1_epi8(scanner.flag());
  __m128i flags = _mm_setzero_si128();
  const char* at = from;
  for (; to - at >= kBlock; at += kBlock) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto ends = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)));
    const auto tags = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tag)));
    const __m128i flagged = _mm_cmpeq_epi8(bytes, flag);
    if (ends != 0) {
      // Only the bytes before the line's end count.
      const std::uint32_t before = (ends & (0u - ends)) - 1;
      if ((static_cast<std::uint32_t>(_mm_movemask_epi8(flagged)) & before) != 0 ||
          _mm_movemask_epi8(flags) != 0) {
        marks.flagged = true;
      }
      NoteBlock(tags & before, static_cast<std::size_t>(at - lineBegin), marks);
      return at + std::countr_zero(ends);
    }
    flags = _mm_or_si128(flags, flagged);
    if (tags != 0) NoteBlock(tags, static_cast<std::size_t>(at - lineBegin), marks);
  }
  if (_mm_movemask_epi8(flags) != 0) marks.flagged = true;
  return ToLineEndBytewise(scanner, lineBegin, at, to, marks);
}

// A tag's quoted values are short: a block of sixteen bytes mostly holds the
// next quote or the target, and the search hops from one to the next. The
// last block ends at `to` and may overlap what was looked at before; the
// bytes before `at` are then left out.
const char* OutsideQuotesSse2(const char* from, const char* to, char target, char& quote) {
  constexpr std::ptrdiff_t kBlock = 16;
  if (to - from < kBlock) return OutsideQuotesBytewise(from, to, target, quote);
  const __m128i doubleQuote = _mm_set1_epi8('"');
  const __m128i singleQuote = _mm_set1_epi8('\'');
  const __m128i targets = _mm_set1_epi8(target);
  for (const char* at = from; at != to;) {
    const char* block = to - at >= kBlock ? at : to - kBlock;
    const auto skipped = static_cast<int>(at - block);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i wanted =
        quote != 0 ? _mm_cmpeq_epi8(bytes, _mm_set1_epi8(quote))
                   : _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, doubleQuote),
                                               _mm_cmpeq_epi8(bytes, singleQuote)),
                                  _mm_cmpeq_epi8(bytes, targets));
    const std::uint32_t ahead =
        static_cast<std::uint32_t>(_mm_movemask_epi8(wanted)) >> skipped << skipped;
    if (ahead == 0) {
      at = block + kBlock;
      continue;
    }
    const char* found = block + std::countr_zero(ahead);
    if (quote != 0) {
      quote = 0;
    } else if (*found == target) {
      return found;
    } else {
      quote = *found;
    }
    at = found + 1;
  }
  return to;
}

const char* EitherSse2(const char* from, const char* to, char a, char b) {
  constexpr std::ptrdiff_t kBlock = 16;
  if (to - from < kBlock) return EitherBytewise(from, to, a, b);
  const __m128i first = _mm_set1_epi8(a);
  const __m128i second = _mm_set1_epi8(b);
  for (const char* at = from; at != to;) {
    const char* block = to - at >= kBlock ? at : to - kBlock;
    const auto skipped = static_cast<int>(at - block);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const std::uint32_t found =
        static_cast<std::uint32_t>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, first), _mm_cmpeq_epi8(bytes, second)))) >>
        skipped << skipped;
    if (found != 0) return block + std::countr_zero(found);
    at = block + kBlock;
  }
  return to;
}

constexpr ByteScanner::Functions kSse2 = {ToLineEndSse2, OutsideQuotesSse2, EitherSse2};

// -- AVX2, 32 bytes a block: half the instructions per byte of SSE2.

#define ZELVANE_BITS(mask) static_cast<std::uint32_t>(_mm256_movemask_epi8(mask))

__attribute__((target("avx2,popcnt"))) const char* ToLineEndAvx2(const ByteScanner& scanner,
                                                                 const char* lineBegin,
                                                                 const char* from,
                                                                 const char* to,
                                                                 LineMarks& marks) {
  constexpr std::ptrdiff_t kBlock = 32;
  const __m256i lineFeed = _mm256_set1_epi8('\n');
  const __m256i tag = _mm256_set1_epi8(scanner.tag());
  const __m256i flag = _mm256_set1_epi8(scanner.flag());
  __m256i flags = _mm256_setzero_si256();
  const char* at = from;
  // Most lines are shorter than 64 bytes: their first 64 are looked at in
  // one step.
  if (from == lineBegin && to - at >= 2 * kBlock) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + kBlock));
    const std::uint64_t ends = std::uint64_t{ZELVANE_BITS(_mm256_cmpeq_epi8(low, lineFeed))} |
                               std::uint64_t{ZELVANE_BITS(_mm256_cmpeq_epi8(high, lineFeed))}
                                   << 32;
    const std::uint64_t tags = std::uint64_t{ZELVANE_BITS(_mm256_cmpeq_epi8(low, tag))} |
                               std::uint64_t{ZELVANE_BITS(_mm256_cmpeq_epi8(high, tag))} << 32;
    const std::uint64_t flagged =
        std::uint64_t{ZELVANE_BITS(_mm256_cmpeq_epi8(low, flag))} |
        std::uint64_t{ZELVANE_BITS(_mm256_cmpeq_epi8(high, flag))} << 32;
    const std::uint64_t before = ends == 0 ? ~std::uint64_t{0} : (ends & (0 - ends)) - 1;
    marks.headTags |= static_cast<std::uint32_t>(tags & before);
    marks.tags += static_cast<std::uint32_t>(std::popcount(tags & before));
    if ((flagged & before) != 0) marks.flagged = true;
    if (ends != 0) return at + std::countr_zero(ends);
    at += 2 * kBlock;
  }
  for (; to - at >= kBlock; at += kBlock) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const std::uint32_t ends = ZELVANE_BITS(_mm256_cmpeq_epi8(bytes, lineFeed));
    const std::uint32_t tags = ZELVANE_BITS(_mm256_cmpeq_epi8(bytes, tag));
    const __m256i flagged = _mm256_cmpeq_epi8(bytes, flag);
    if (ends != 0) {
      const std::uint32_t before = (ends & (0u - ends)) - 1;
      if ((ZELVANE_BITS(flagged) & before) != 0 || ZELVANE_BITS(flags) != 0) marks.flagged = true;
      NoteBlock(tags & before, static_cast<std::size_t>(at - lineBegin), marks);
      return at + std::countr_zero(ends);
    }
    flags = _mm256_or_si256(flags, flagged);
    if (tags != 0) NoteBlock(tags, static_cast<std::size_t>(at - lineBegin), marks);
  }
  if (ZELVANE_BITS(flags) != 0) marks.flagged = true;
  // The rest, fewer than 32 bytes, in a block of 16 or bytewise.
  return ToLineEndSse2(scanner, lineBegin, at, to, marks);
}

// As OutsideQuotesSse2, 32 bytes a block. Where a block holds no "'" and
// no quote is open before it, which is how tags mostly quote, the double
// quotes' running parity tells which bytes stand quoted, and the block is
// judged at once.
__attribute__((target("avx2,popcnt"))) const char* OutsideQuotesAvx2(const char* from,
                                                                     const char* to,
                                                                     char target, char& quote) {
  constexpr std::ptrdiff_t kBlock = 32;
  if (to - from < kBlock) return OutsideQuotesSse2(from, to, target, quote);
  const __m256i doubleQuote = _mm256_set1_epi8('"');
  const __m256i singleQuote = _mm256_set1_epi8('\'');
  const __m256i targets = _mm256_set1_epi8(target);
  for (const char* at = from; at != to;) {
    const char* block = to - at >= kBlock ? at : to - kBlock;
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
    const std::uint32_t keep = ~std::uint32_t{0} << (at - block);
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
    const std::uint32_t closing = ZELVANE_BITS(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(quote))) & keep;
    if (closing == 0) {
      at = block + kBlock;
      continue;
    }
    quote = 0;
    at = block + std::countr_zero(closing) + 1;
  }
  return to;
}

#undef ZELVANE_BITS

// Quoted values and text runs are short: sixteen bytes a block do as well.
constexpr ByteScanner::Functions kAvx2 = {ToLineEndAvx2, OutsideQuotesAvx2, EitherSse2};

#endif

const ByteScanner::Functions& FunctionsOf(VectorLevel level) {
#if ZELVANE_X86
  switch (level) {
    case VectorLevel::kAvx2:
      return kAvx2;
    case VectorLevel::kSse2:
      return kSse2;
    case VectorLevel::kNone:
      break;
  }
#else
  static_cast<void>(level);
#endif
  return kBytewise;
}

}  // namespace

VectorLevel BestVectorLevel() {
#if ZELVANE_X86
  // The processor's answer, read from what the runtime found at start.
  return __builtin_cpu_supports("avx2") ? VectorLevel::kAvx2 : VectorLevel::kSse2;
#else
  return VectorLevel::kNone;
#endif
}

ByteScanner::ByteScanner(char tag, char flag, VectorLevel level)
    // No more than the processor offers.
    : ByteScanner(tag, flag, level, std::min(level, BestVectorLevel())) {}

ByteScanner::ByteScanner(char tag, char flag, VectorLevel, VectorLevel usable)
    : functions_(&FunctionsOf(usable)), tag_(tag), flag_(flag), level_(usable) {}

}  // namespace zelvane
