// CleanLine in the three encodings a listing can have: whatever the line,
// the result escapes every ampersand, creates no markup, keeps UTF-8 valid,
// and grows at most five-fold. The vector line scan answers as the bytewise
// one does.
#include "base/byte_string.h"
#include "base/captured_output.h"
#include "filter/line_cleaning.h"
#include "filter/line_scan.h"
#include "fuzz_check.h"
#include "memory_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelvane::fuzz {
namespace {

constexpr ListingEncoding kEncodings[] = {ListingEncoding::kLatin1, ListingEncoding::kUtf8,
                                          ListingEncoding::kOtherSingleByte};

std::size_t CountIf(std::string_view text, bool (*test)(unsigned char)) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [test](char c) { return test(static_cast<unsigned char>(c)); }));
}

// "&" becomes "&amp;": no rule makes more of one byte.
constexpr std::size_t kMaxGrowth = 5;

}  // namespace
}  // namespace zelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelvane;
  using namespace zelvane::fuzz;
  Input input(data, size);
  const std::uint8_t choice = input.Byte();
  const ListingEncoding encoding = kEncodings[choice % 3];
  const std::string_view line = input.Rest();

  const LineScan scan = ScanLine(line);
  const LineScan bytewise = ScanLine(line, MarkupScanner(VectorLevel::kNone));
  Require(scan.openingAt == bytewise.openingAt && scan.tagMarkup == bytewise.tagMarkup &&
              scan.ampersand == bytewise.ampersand &&
              scan.headTagStarts == bytewise.headTagStarts,
          "the vector scan answers as the bytewise one", line);

  const std::string out = CleanLine(line, encoding);
  Require(AmpersandsWellFormed(out), "every ampersand escaped or a reference", out);
  Require(out.size() <= kMaxGrowth * line.size(), "at most five bytes for one", line);
  if (encoding == ListingEncoding::kUtf8 && IsValidUtf8(line)) {
    Require(IsValidUtf8(out), "valid UTF-8 stays valid", out);
  }
  // A decoded ">" may close a "<br" of the line; short of that, no paragraph
  // or break markup is left.
  if (line.find("&#") == std::string_view::npos) {
    const std::string lower = Lower(out);
    Require(lower.find("<p>") == std::string::npos && lower.find("<br>") == std::string::npos,
            "no paragraph or break markup is left", out);
  }
  // A decoded character never opens markup, ends an attribute or adds a
  // control byte.
  const auto countOf = [](char wanted) {
    return [wanted](std::string_view text) {
      return static_cast<std::size_t>(std::count(text.begin(), text.end(), wanted));
    };
  };
  Require(countOf('<')(out) <= countOf('<')(line), "no new '<'", line);
  Require(countOf('"')(out) <= countOf('"')(line), "no new '\"'", line);
  const auto control = [](unsigned char c) { return c < 0x20; };
  Require(CountIf(out, control) <= CountIf(line, control), "no new control bytes", line);

  if (line.find('&') == std::string_view::npos && line.find('<') == std::string_view::npos) {
    Require(out == line, "a line without '&' and '<' is unchanged", line);
  }
  if (line.find("&#") == std::string_view::npos) {
    for (const ListingEncoding other : kEncodings) {
      Require(CleanLine(line, other) == out, "only references depend on the encoding", line);
    }
  }

  // A cleaner that cleaned another line first, and one that writes the line
  // in small pieces behind an earlier line, give the same bytes: nothing of
  // the earlier text is taken for part of the line.
  LineCleaner cleaner(encoding);
  CapturedOutput output(EmptyFile());
  for (const std::string_view before : {"]]", "&", "x&#"}) {
    cleaner.Clean(before, ScanLine(before));
    Require(cleaner.Clean(line, ScanLine(line)) == out, "cleaning after another line", line);
    output.writer().WriteLineStart(before);
    cleaner.Write(line, ScanLine(line), output.writer(), 3);
    Require(output.Take() == Concat(before, out, "\r\n"), "writing behind other text", line);
  }
  return 0;
}
