// Micro-benchmarks of the per-line hot path. Run with
//   cmake -S . -B build-bench -DZELVANE_BENCHMARKS=ON -DBUILD_TESTING=OFF
//   cmake --build build-bench -j2 && ./build-bench/zelvane_bench
// Bytes per second are counted over the input line.

#include "base/line_io.h"
#include "base/platform.h"
#include "filter/element_lines.h"
#include "filter/line_cleaning.h"
#include "filter/line_scan.h"
#include "filter/programme_filter.h"
#include "time/time_zone.h"
#include "time/timestamp.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
  LineCleaner cleaner(ListingEncoding::kLatin1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(cleaner.Clean(line, ScanLine(line)).data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(line.size()));
}

void BM_CleanTagLine(benchmark::State& state) { CleanOneLine(state, kTagLine); }
BENCHMARK(BM_CleanTagLine);

void BM_CleanDescriptionLine(benchmark::State& state) { CleanOneLine(state, kDescriptionLine); }
BENCHMARK(BM_CleanDescriptionLine);

// What the reader does for a line: its scanner finds the line's end and
// notes the "<" and "&" on the way, and the filter's answers are made from
// those marks. The line stands in a buffer with room around it, as the
// reader's has.
void BM_ScanMarkedLine(benchmark::State& state) {
  const std::string_view line = state.range(0) == 0 ? kTagLine : kDescriptionLine;
  const std::string buffer = std::string(LineReader::kReadableBefore, ' ') + std::string(line) +
                             "\n" + std::string(LineReader::kReadableAfter, ' ');
  const char* begin = buffer.data() + LineReader::kReadableBefore;
  const char* end = buffer.data() + buffer.size() - LineReader::kReadableAfter;
  const ByteScanner scanner = MarkupScanner();
  for (auto _ : state) {
    LineMarks marks;
    const char* stop = scanner.ToLineEnd(begin, begin, end, marks);
    benchmark::DoNotOptimize(
        ScanMarkedLine(std::string_view(begin, static_cast<std::size_t>(stop - begin)), marks));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(line.size() + 1));
}
BENCHMARK(BM_ScanMarkedLine)->DenseRange(0, 1);

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

// One programme as the listings write it, fed line by line through the
// filter with every switch on.
constexpr std::array<std::string_view, 12> kProgramme = {
    "  <programme start=\"20260715203000 CET\" stop=\"20260715213000 CET\" channel=\"ned1\">",
    "    <title lang=\"nl\">Journaal</title>",
    "    <sub-title lang=\"nl\">Met het laatste nieuws</sub-title>",
    "    <desc lang=\"nl\">Nieuws<br>en weer, met aandacht voor sport &amp; cultuur in "
    "binnen- en buitenland.</desc>",
    "    <credits>",
    "      <actor>Jan de Vries</actor>",
    "      <actor>Anna Jansen</actor>",
    "    </credits>",
    "    <category lang=\"nl\">nieuws</category>",
    "    <kenmerken>Stereo, breedbeeld</kenmerken>",
    "    <episode-num system=\"onscreen\">12</episode-num>",
    "  </programme>",
};

// The element lines of the programme and their scans, as the program's
// reader and splitter hand them to the filter once the programme's shapes
// are known: those of its last copy in a listing of a few.
std::vector<std::pair<std::string, LineScan>> ReadProgramme() {
  std::string listing = "<tv>\n";
  for (int copy = 0; copy < 4; ++copy) {
    for (std::string_view line : kProgramme) listing.append(line).append("\n");
  }
  listing.append("</tv>\n");
  platform::File file = platform::CreateTemporaryFile();
  platform::WriteAll(file, listing.data(), listing.size());
  platform::Rewind(file);
  LineReader reader(std::move(file), MarkupScanner());
  ElementLineSplitter splitter(reader);
  std::vector<std::pair<std::string, LineScan>> lines;
  std::string_view line;
  LineScan scan;
  while (splitter.Next(line, scan)) lines.emplace_back(line, scan);
  lines.pop_back();  // </tv>
  lines.erase(lines.begin(), lines.end() - kProgramme.size());
  return lines;
}

// Written as a listing is, through the writer's buffer to a file, here one
// that drops what it gets.
void BM_FilterProgramme(benchmark::State& state) {
  FilterOptions options;
  options.cet = options.kenmerk = options.tba = options.talpa = true;
  const std::vector<std::pair<std::string, LineScan>> lines = ReadProgramme();
  for (std::size_t i = 0; i < kProgramme.size(); ++i) {
    if (lines[i].first != kProgramme[i]) state.SkipWithError("the splitter cut the programme");
  }
  LineWriter writer(platform::CreateForWriting("/dev/null"), false);
  ProgrammeFilter filter(writer, options, ListingEncoding::kLatin1);
  std::int64_t bytes = 0;
  for (std::string_view line : kProgramme) bytes += static_cast<std::int64_t>(line.size()) + 1;
  for (auto _ : state) {
    for (const auto& [line, scan] : lines) filter.FilterLine(line, scan);
  }
  writer.Close();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}
BENCHMARK(BM_FilterProgramme);

// The kinds of stamp a listing holds: CET in summer and winter, UTC, and a
// stamp without zone under the cet switch.
constexpr std::array<std::string_view, 4> kStamps = {
    "20260715203000 CET", "20260115203000 CET", "20260715183000 UTC", "20260715203000"};

void BM_NormaliseTimeStamp(benchmark::State& state) {
  const std::string_view stamp = kStamps[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(std::string(stamp));
  std::string out;
  TimeStampNormaliser normaliser(true, 0);
  for (auto _ : state) {
    out.clear();
    normaliser.Append(stamp, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(stamp.size()));
}
BENCHMARK(BM_NormaliseTimeStamp)->DenseRange(0, 3);

// Stamps without zone under --tz, in the order of a listing: four days of one
// channel across the start of summer time, then the same days again, as the
// next channel starts over.
void BM_NormaliseTimeStampInZone(benchmark::State& state) {
  const TimeZone zone("Europe/London");
  std::array<std::string, 64> stamps;
  for (std::size_t i = 0; i < stamps.size(); ++i) {
    stamps[i] = "202603" + std::to_string(27 + i / 16) + std::to_string(10 + i % 16 / 2) +
                (i % 2 == 0 ? "0000" : "3000");
  }
  std::string out;
  std::size_t next = 0;
  TimeStampNormaliser normaliser(false, 0, &zone);
  for (auto _ : state) {
    out.clear();
    normaliser.Append(stamps[next], out);
    benchmark::DoNotOptimize(out.data());
    next = (next + 1) % stamps.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(stamps[0].size()));
}
BENCHMARK(BM_NormaliseTimeStampInZone);

}  // namespace
}  // namespace zelvane

BENCHMARK_MAIN();
