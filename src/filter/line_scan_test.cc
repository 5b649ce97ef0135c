#include "filter/line_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace zelvane {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The scan byte by byte, the reference.
LineScan ScanLineBytewise(std::string_view line) {
  return ScanLine(line, MarkupScanner(VectorLevel::kNone));
}

// The marks the reader would note for `line`.
LineMarks MarksOf(const std::string& line) {
  LineMarks marks;
  MarkupScanner().ToLineEnd(line.data(), line.data(), line.data() + line.size(), marks);
  return marks;
}

void ExpectSameScan(const std::string& line) {
  const LineScan bytewise = ScanLineBytewise(line);
  // A line the reader delivers holds no LF.
  const bool readable = line.find('\n') == std::string::npos;
  for (const LineScan& scan :
       {ScanLine(line), ScanLine(line, MarkupScanner(VectorLevel::kSse2)),
        readable ? ScanMarkedLine(line, MarksOf(line)) : ScanLine(line)}) {
    EXPECT_EQ(scan.openingAt, bytewise.openingAt) << line;
    EXPECT_EQ(scan.tagMarkup, bytewise.tagMarkup) << line;
    EXPECT_EQ(scan.ampersand, bytewise.ampersand) << line;
    EXPECT_EQ(scan.headTagStarts, bytewise.headTagStarts) << line;
  }
}

TEST(ScanLine, FindsWhatTheFilterAsksFor) {
  struct Case {
    std::string line;
    std::size_t openingAt;
    bool tagMarkup;
    bool ampersand;
  };
  const Case cases[] = {
      {"", kNone, false, false},
      {"  <programme start=\"20240101000000\" channel=\"a\">", 2, false, false},
      {"<programme ", 0, false, false},
      {"<programme", kNone, false, false},           // no blank after the name
      {"<programme\tstart=\"1\">", kNone, false, false},
      {"<programmes start=\"1\">", kNone, false, false},
      {"x<programme <programme ", 1, false, false},  // the first one counts
      {"<desc>a<BR>b</desc>", kNone, true, false},
      {"<desc>a<p>b</desc>", kNone, true, false},
      {"<desc>a<P >b</desc>", kNone, false, false},  // "<p" must be followed by ">"
      {"<desc>a<bR/>b</desc>", kNone, false, false},  // "<br/>" is no markup
      {"<desc>a<bR />b</desc>", kNone, true, false},
      {"<desc>a<b>b</desc>", kNone, false, false},
      {"<desc>a &amp; b</desc>", kNone, false, true},
      {"&", kNone, false, true},
      {"<b", kNone, false, false},                   // too short for markup
      {"<br", kNone, false, false},
  };
  EXPECT_EQ(ScanLine("  <title>x</title>").headTagStarts, (1u << 2) | (1u << 10));
  for (const Case& c : cases) {
    for (const LineScan& scan : {ScanLine(c.line), ScanLineBytewise(c.line)}) {
      EXPECT_EQ(scan.openingAt, c.openingAt) << c.line;
      EXPECT_EQ(scan.tagMarkup, c.tagMarkup) << c.line;
      EXPECT_EQ(scan.ampersand, c.ampersand) << c.line;
    }
  }
}

// Every text at every place of lines of every length around the vector
// block, so that each position falls in a block, its tail and the bytes
// after the last whole block.
TEST(ScanLine, AgreesWithTheBytewiseScanAtEveryPlace) {
  const std::string texts[] = {"<programme ", "<p>", "<BR", "&", "<programme", "<pr", "<"};
  for (std::size_t length = 0; length <= 64; ++length) {
    for (const std::string& text : texts) {
      for (std::size_t at = 0; at + text.size() <= length; ++at) {
        std::string line(length, 'x');
        line.replace(at, text.size(), text);
        ExpectSameScan(line);
        std::string blanks(length, ' ');
        blanks.replace(at, text.size(), text);
        ExpectSameScan(blanks);
      }
    }
  }
}

TEST(ScanLine, AgreesWithTheBytewiseScanOnRandomLines) {
  std::mt19937 random(7);
  const std::string alphabet = "<>&pPbBrR mogax \"";
  for (int round = 0; round < 20000; ++round) {
    std::string line(random() % 100, ' ');
    for (char& c : line) {
      c = (random() % 8 == 0) ? static_cast<char>(random() % 256)
                              : alphabet[random() % alphabet.size()];
    }
    if (random() % 4 == 0) line.insert(random() % (line.size() + 1), "<programme ");
    ExpectSameScan(line);
  }
}

}  // namespace
}  // namespace zelvane
