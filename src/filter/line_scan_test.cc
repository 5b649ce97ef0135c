#include "filter/line_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <string>

namespace zelvane {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The marks the reader would note for `line`.
LineMarks MarksOf(const std::string& line) {
  LineMarks marks;
  ScanToLineEnd(line.data(), line.data(), line.data() + line.size(), marks);
  return marks;
}

void ExpectSameScan(const std::string& line) {
  const LineScan bytewise = ScanLineBytewise(line);
  // A line the reader delivers holds no LF and no Ctrl-Z.
  const bool readable = line.find_first_of("\n\x1A") == std::string::npos;
  for (const LineScan& scan :
       {ScanLine(line), readable ? ScanMarkedLine(line, MarksOf(line)) : ScanLine(line)}) {
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
      {"<desc>a<bR/>b</desc>", kNone, true, false},
      {"<desc>a<b>b</desc>", kNone, false, false},
      {"<desc>a &amp; b</desc>", kNone, false, true},
      {"&", kNone, false, true},
      {"<b", kNone, false, false},                   // too short for markup
      {"<br", kNone, true, false},
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

// The first place of the pair at or after `from`, found byte by byte.
std::size_t FirstPair(const std::string& text, std::size_t from, char first, char secondLower) {
  for (std::size_t at = from; at + 1 < text.size(); ++at) {
    if (text[at] == first && (text[at + 1] == secondLower || text[at + 1] == secondLower - 32)) {
      return at;
    }
  }
  return kNone;
}

TEST(FindPairFolded, FindsTheFirstPairInEitherCaseFromAnyPlace) {
  std::mt19937 random(3);
  const std::string alphabet = "<&bBlLpP>\x20\xE2\x42\x62";
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 70, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    for (std::size_t from = 0; from <= text.size() + 1; ++from) {
      for (const auto& [first, second] : {std::pair{'<', 'b'}, std::pair{'&', 'l'}}) {
        ASSERT_EQ(FindPairFolded(text, from, first, second), FirstPair(text, from, first, second))
            << text << " from " << from;
      }
    }
  }
  // A pair across the end of a block, and one whose letter is the last byte.
  EXPECT_EQ(FindPairFolded(std::string(15, ' ') + "<B" + std::string(20, ' '), 0, '<', 'b'), 15u);
  EXPECT_EQ(FindPairFolded(std::string(40, ' ') + "&L", 0, '&', 'l'), 40u);
  EXPECT_EQ(FindPairFolded(std::string(40, ' ') + "&", 0, '&', 'l'), kNone);
}

}  // namespace
}  // namespace zelvane
