#include "base/line_marks.h"

#include <bit>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZELVANE_MARKS_X86 1
#endif

namespace zelvane {

namespace {

constexpr char kCtrlZ = 26;

void NoteTagStart(const char* lineBegin, const char* at, LineMarks& marks) {
  if (marks.count == LineMarks::kMaxTagStarts) {
    marks.complete = false;
    return;
  }
  marks.tagStarts[marks.count++] = static_cast<std::uint32_t>(at - lineBegin);
}

}  // namespace

const char* ScanToLineEndBytewise(const char* lineBegin, const char* from, const char* to,
                                  LineMarks& marks) {
  for (const char* at = from; at != to; ++at) {
    switch (*at) {
      case '\n':
      case kCtrlZ:
        return at;
      case '<':
        NoteTagStart(lineBegin, at, marks);
        break;
      case '&':
        marks.ampersand = true;
        break;
      default:
        break;
    }
  }
  return to;
}

#if ZELVANE_MARKS_X86

namespace {

// The vector scans: 16 bytes a block with SSE2, which every x86-64
// processor has, or 32 with AVX2 where the processor has it (half the
// instructions per byte). Both note the "<" of each block and stop at the
// block that holds the line's end, where only the bytes before it count.
const char* ScanToLineEndSse2(const char* lineBegin, const char* from, const char* to,
                              LineMarks& marks) {
  constexpr std::ptrdiff_t kBlock = 16;
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i ctrlZ = _mm_set1_epi8(kCtrlZ);
  const __m128i tagStart = _mm_set1_epi8('<');
  const __m128i ampersand = _mm_set1_epi8('&');
  __m128i ampersands = _mm_setzero_si128();
  const char* at = from;
  for (; to - at >= kBlock; at += kBlock) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto ends = static_cast<std::uint32_t>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeed), _mm_cmpeq_epi8(bytes, ctrlZ))));
    auto tags = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tagStart)));
    const __m128i amps = _mm_cmpeq_epi8(bytes, ampersand);
    if (ends != 0) {
      const std::uint32_t before = (ends & (0u - ends)) - 1;
      tags &= before;
      if ((static_cast<std::uint32_t>(_mm_movemask_epi8(amps)) & before) != 0) {
        marks.ampersand = true;
      }
      for (; tags != 0; tags &= tags - 1) {
        NoteTagStart(lineBegin, at + std::countr_zero(tags), marks);
      }
      if (_mm_movemask_epi8(ampersands) != 0) marks.ampersand = true;
      return at + std::countr_zero(ends);
    }
    ampersands = _mm_or_si128(ampersands, amps);
    for (; tags != 0; tags &= tags - 1) {
      NoteTagStart(lineBegin, at + std::countr_zero(tags), marks);
    }
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
  for (; to - at >= kBlock; at += kBlock) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const auto ends = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_or_si256(_mm256_cmpeq_epi8(bytes, lineFeed), _mm256_cmpeq_epi8(bytes, ctrlZ))));
    auto tags =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, tagStart)));
    const __m256i amps = _mm256_cmpeq_epi8(bytes, ampersand);
    if (ends != 0) {
      const std::uint32_t before = (ends & (0u - ends)) - 1;
      tags &= before;
      if ((static_cast<std::uint32_t>(_mm256_movemask_epi8(amps)) & before) != 0) {
        marks.ampersand = true;
      }
      for (; tags != 0; tags &= tags - 1) {
        NoteTagStart(lineBegin, at + std::countr_zero(tags), marks);
      }
      if (_mm256_movemask_epi8(ampersands) != 0) marks.ampersand = true;
      return at + std::countr_zero(ends);
    }
    ampersands = _mm256_or_si256(ampersands, amps);
    for (; tags != 0; tags &= tags - 1) {
      NoteTagStart(lineBegin, at + std::countr_zero(tags), marks);
    }
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

}  // namespace zelvane
