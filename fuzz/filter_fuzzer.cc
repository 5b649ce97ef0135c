// The whole filter: a listing read by the line reader from a file in memory
// and cut into element lines, every element line through a ProgrammeFilter
// with options from the first fuzz bytes, written to a file in memory. The
// listing is also fed compacted, as producers write it on one line or one
// programme a line.
#include "base/byte_string.h"
#include "base/captured_output.h"
#include "base/failure.h"
#include "base/line_io.h"
#include "base/platform.h"
#include "filter/element_lines.h"
#include "filter/line_cleaning.h"
#include "filter/line_rules.h"
#include "filter/line_scan.h"
#include "filter/programme_filter.h"
#include "fuzz_check.h"
#include "memory_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelvane::fuzz {
namespace {

std::string UpperCopy(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperAscii(c);
  return upper;
}

constexpr ListingEncoding kEncodings[] = {ListingEncoding::kLatin1, ListingEncoding::kUtf8,
                                          ListingEncoding::kOtherSingleByte};

// The options, and in `encoding` the listing's encoding, from the input.
FilterOptions SettingsFrom(Input& input, ListingEncoding& encoding) {
  static constexpr std::int32_t kOffsets[] = {0, 1, -1, -6, 98, -103, 2147483647,
                                              -2147483647 - 1};
  FilterOptions settings;
  const std::uint8_t switches = input.Byte();
  settings.cet = (switches & 1) != 0;
  settings.kenmerk = (switches & 2) != 0;
  settings.talpa = (switches & 4) != 0;
  settings.tba = (switches & 8) != 0;
  encoding = kEncodings[(switches >> 4) % 3];
  settings.cetoffset = kOffsets[input.Byte() % (sizeof kOffsets / sizeof kOffsets[0])];
  return settings;
}

struct ElementLine {
  std::string text;
  LineScan scan;
};

// The element lines of `listing`, read `readBlock` bytes at a time, each
// with the scan the splitter hands out, which says what the line's own scan
// and classification say.
std::vector<ElementLine> ElementLines(std::string_view listing, std::size_t readBlock) {
  LineReader reader(FileHolding(listing), MarkupScanner(), readBlock);
  ElementLineSplitter splitter(reader);
  std::vector<ElementLine> lines;
  std::string_view line;
  LineScan scan;
  while (splitter.Next(line, scan)) {
    Require(line.find_first_of(std::string_view("\r\n\x1A", 3)) == std::string_view::npos,
            "a line holds no line end and no Ctrl-Z", line);
    const LineScan own = ScanLine(line, MarkupScanner(VectorLevel::kNone));
    Require(scan.openingAt == own.openingAt && scan.tagMarkup == own.tagMarkup &&
                scan.ampersand == own.ampersand,
            "the scan handed out is the line's own", line);
    const LineKind kind = ClassifyLine(line, own.headTagStarts);
    const LineKind given = scan.kindKnown ? scan.kind : ClassifyLine(line, scan.headTagStarts);
    Require(given.lineClass == kind.lineClass && given.at == kind.at &&
                given.demoted == kind.demoted && given.demotedElements == kind.demotedElements,
            "the classification handed out is the line's own", line);
    lines.push_back({std::string(line), scan});
  }
  reader.Close();
  return lines;
}

// Filters `listing`, read `readBlock` bytes at a time, with `settings` in
// `encoding`, and checks what comes out.
void CheckFilter(std::string_view listing, const FilterOptions& settings,
                 ListingEncoding encoding, std::size_t readBlock) {
  const std::vector<ElementLine> lines = ElementLines(listing, readBlock);
  std::size_t total = 0;
  std::string layout;
  for (const ElementLine& line : lines) {
    total += line.text.size();
    layout.append(line.text).append("\n");
  }
  // A split adds at most four blanks of indentation.
  Require(total <= listing.size() + 4 * lines.size(), "lines hold no more than the file",
          listing);
  // The element lines are a listing in the usual layout, which is not cut
  // any further.
  const std::vector<ElementLine> again = ElementLines(layout, readBlock);
  const auto sameText = [](const ElementLine& a, const ElementLine& b) { return a.text == b.text; };
  Require(std::equal(again.begin(), again.end(), lines.begin(), lines.end(), sameText),
          "element lines read again are themselves", listing);

  CapturedOutput output(EmptyFile());
  ProgrammeFilter filter(output.writer(), settings, encoding);
  try {
    for (const ElementLine& line : lines) filter.FilterLine(line.text, line.scan);
    filter.Finish();
  } catch (const EConvertError&) {
    // Only a stamp whose date is read can fail: a CET stamp, or a zone-less
    // one with the cet switch.
    Require(settings.cet || UpperCopy(listing).find(" CET") != std::string::npos,
            "EConvertError only with cet or CET stamps", listing);
    return;
  }
  const std::string out = output.Take();

  // Lines ended by CR LF, and nothing else.
  Require(out.empty() || out.ends_with("\r\n"), "output ends with a line end", out);
  std::size_t outLines = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\r') {
      Require(i + 1 < out.size() && out[i + 1] == '\n', "CR only before LF", out);
      ++outLines;
      ++i;
    } else {
      Require(out[i] != '\n', "LF only after CR", out);
      Require(out[i] != '\x1A', "no Ctrl-Z", out);
    }
  }
  Require(outLines <= lines.size(), "no more lines than came in", out);
  Require(AmpersandsWellFormed(out), "every ampersand escaped or a reference", out);
  // Each line can grow by its two rewritten stamps ("+214748364900" at most)
  // and a merged "Kenmerken: ", and then five-fold in the cleaning.
  Require(out.size() <= 5 * (total + 64 * lines.size()), "output proportional to input", out);

  // Without programmes the filter is the line cleaning, line by line.
  const bool anyProgramme = std::any_of(lines.begin(), lines.end(), [](const ElementLine& line) {
    return line.text.find("<programme ") != std::string::npos;
  });
  if (!anyProgramme) {
    std::string expected;
    for (const ElementLine& line : lines) {
      expected.append(CleanLine(line.text, encoding)).append("\r\n");
    }
    Require(out == expected, "outside programmes every line is cleaned and written", listing);
  }
}

}  // namespace
}  // namespace zelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelvane;
  using namespace zelvane::fuzz;
  Input input(data, size);
  ListingEncoding encoding = ListingEncoding::kLatin1;
  const FilterOptions settings = SettingsFrom(input, encoding);
  // Small read blocks put a refill at every place of a line; large ones are
  // the program's own.
  const std::uint8_t block = input.Byte();
  const std::size_t readBlock = block < 128 ? 1 + block % 64 : LineReader::kReadBlock;
  const std::string_view listing = input.Rest();
  CheckFilter(listing, settings, encoding, readBlock);
  CheckFilter(WithoutLineEnds(listing, false), settings, encoding, readBlock);
  CheckFilter(WithoutLineEnds(listing, true), settings, encoding, readBlock);
  return 0;
}
