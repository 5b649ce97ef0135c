// Micro-benchmarks of the per-line hot path. Run with
//   cmake -S . -B build-bench -DZELVANE_BENCHMARKS=ON -DBUILD_TESTING=OFF
//   cmake --build build-bench -j2 && ./build-bench/zelvane_bench
// Bytes per second are counted over the input line.

#include "filter/line_cleaning.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelvane {
namespace {

// Lines as the listings hold them: most are tags with attributes and plain
// text, a few descriptions carry markup, entities and references.
constexpr std::string_view kTagLine =
    "    <title lang=\"nl\">Journaal met het laatste nieuws en weerbericht</title>";
constexpr std::string_view kDescriptionLine =
    "    <desc lang=\"nl\">Tom &amp; Jerry gaan op reis<br>naar Caf&#233; Grey&#39;s, "
    "waar het &#8217;s avonds druk is &amp; Jerry verdwaalt.&lt;br&gt;Met Q & A.</desc>";

void CleanOneLine(benchmark::State& state, std::string_view line) {
  std::string out;
  for (auto _ : state) {
    out.clear();
    AppendCleanLine(line, ListingEncoding::kLatin1, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(line.size()));
}

void BM_CleanTagLine(benchmark::State& state) { CleanOneLine(state, kTagLine); }
BENCHMARK(BM_CleanTagLine);

void BM_CleanDescriptionLine(benchmark::State& state) { CleanOneLine(state, kDescriptionLine); }
BENCHMARK(BM_CleanDescriptionLine);

// Lines made of one piece repeated: each piece is rewritten, so a cleaner
// that searches again from the start or shifts the tail would be quadratic.
constexpr std::array<std::string_view, 5> kPieces = {"<br>", "&", "&#233;", "&lt;br&gt;",
                                                     "<br<p>/>"};

std::string RepeatedLine(std::string_view piece, std::size_t bytes) {
  std::string line;
  line.reserve(bytes + piece.size());
  while (line.size() < bytes) line += piece;
  return line;
}

void BM_CleanAdversarialLine(benchmark::State& state) {
  const std::string_view piece = kPieces[static_cast<std::size_t>(state.range(0))];
  const std::string line = RepeatedLine(piece, static_cast<std::size_t>(state.range(1)));
  state.SetLabel(std::string(piece));
  CleanOneLine(state, line);
}
BENCHMARK(BM_CleanAdversarialLine)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {1 << 20, 10 << 20}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelvane

BENCHMARK_MAIN();
