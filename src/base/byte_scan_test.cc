#include "base/byte_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace zelvane {
namespace {

// Every level the processor offers, the bytewise one first.
std::vector<VectorLevel> Levels() {
  std::vector<VectorLevel> levels;
  for (const VectorLevel level : {VectorLevel::kNone, VectorLevel::kSse2, VectorLevel::kAvx2}) {
    if (level <= BestVectorLevel()) levels.push_back(level);
  }
  return levels;
}

struct Scanned {
  std::size_t stop;
  LineMarks marks;
};

Scanned Scan(const std::string& text, std::size_t from, VectorLevel level) {
  const ByteScanner scanner('<', '&', level);
  Scanned result{};
  const char* begin = text.data();
  const char* stop = scanner.ToLineEnd(begin, begin + from, begin + text.size(), result.marks);
  result.stop = static_cast<std::size_t>(stop - begin);
  return result;
}

void ExpectSameMarks(const std::string& text, std::size_t from) {
  const Scanned bytewise = Scan(text, from, VectorLevel::kNone);
  for (const VectorLevel level : Levels()) {
    const Scanned vector = Scan(text, from, level);
    ASSERT_EQ(vector.stop, bytewise.stop) << text << " from " << from;
    ASSERT_EQ(vector.marks.flagged, bytewise.marks.flagged) << text << " from " << from;
    ASSERT_EQ(vector.marks.headTags, bytewise.marks.headTags) << text << " from " << from;
    ASSERT_EQ(vector.marks.tags, bytewise.marks.tags) << text << " from " << from;
  }
}

// The other searches at every level give what the bytewise ones give.
void ExpectSameFinds(const std::string& text) {
  const ByteScanner bytewise('<', '&', VectorLevel::kNone);
  const char* begin = text.data();
  const char* end = begin + text.size();
  for (std::size_t from = 0; from <= text.size(); ++from) {
    for (const char quote : {'\0', '"', '\''}) {
      char expectedQuote = quote;
      const char* expected = bytewise.OutsideQuotes(begin + from, end, '>', expectedQuote);
      for (const VectorLevel level : Levels()) {
        char open = quote;
        ASSERT_EQ(ByteScanner('<', '&', level).OutsideQuotes(begin + from, end, '>', open),
                  expected)
            << text << " from " << from;
        ASSERT_EQ(open, expectedQuote) << text << " from " << from;
      }
    }
    for (const VectorLevel level : Levels()) {
      ASSERT_EQ(ByteScanner('<', '&', level).Either(begin + from, end, '"', '<'),
                bytewise.Either(begin + from, end, '"', '<'))
          << text << " from " << from;
    }
  }
}

TEST(ByteScanner, NotesTagsAndFlagsBeforeTheLineEnd) {
  const std::string text = "a<b&c<q<t</q</t<Q<\n<&";
  for (const VectorLevel level : Levels()) {
    const Scanned scanned = Scan(text, 0, level);
    EXPECT_EQ(scanned.stop, 18u);
    EXPECT_TRUE(scanned.marks.flagged);
    const std::uint32_t head = (1u << 1) | (1u << 5) | (1u << 7) | (1u << 9) | (1u << 12) |
                               (1u << 15) | (1u << 17);
    EXPECT_EQ(scanned.marks.headTags, head);
    // Every "<" before the LF, not the one after it.
    EXPECT_EQ(scanned.marks.tags, 7u);
  }
  // A Ctrl-Z is a byte like any other: the reader looks for it on its own.
  const Scanned ctrlZ = Scan("<x\x1A&\n", 0, BestVectorLevel());
  EXPECT_EQ(ctrlZ.stop, 4u);
  EXPECT_TRUE(ctrlZ.marks.flagged);
  EXPECT_EQ(ctrlZ.marks.tags, 1u);
}

TEST(ByteScanner, UsesNoLevelAboveWhatTheProcessorOffers) {
  EXPECT_LE(ByteScanner('<', '&', VectorLevel::kAvx2).level(), BestVectorLevel());
  EXPECT_EQ(ByteScanner('<', '&', VectorLevel::kNone).level(), VectorLevel::kNone);
}

// Each byte a search looks for, at every place of texts of every length
// around both vector blocks, searched from every place.
TEST(ByteScanner, AgreesWithTheBytewiseScanAtEveryPlace) {
  const std::string bytes[] = {"\n", "\x1A", "<", "&", "<&\n", "\"", "'", ">", "\">", "'>\""};
  for (std::size_t length = 0; length <= 70; ++length) {
    for (const std::string& piece : bytes) {
      for (std::size_t at = 0; at + piece.size() <= length; ++at) {
        std::string text(length, 'x');
        text.replace(at, piece.size(), piece);
        for (std::size_t from = 0; from <= length; ++from) ExpectSameMarks(text, from);
        ExpectSameFinds(text);
      }
    }
  }
}

TEST(ByteScanner, AgreesWithTheBytewiseScanOnRandomText) {
  std::mt19937 random(5);
  const std::string alphabet = "<&\n\x1A\r abpPB/<<&\"'>>";
  for (int round = 0; round < 5000; ++round) {
    std::string text(random() % 150, ' ');
    for (char& c : text) {
      c = random() % 6 == 0 ? alphabet[random() % alphabet.size()]
                            : static_cast<char>('a' + random() % 26);
    }
    ExpectSameMarks(text, random() % (text.size() + 1));
    if (round % 10 == 0) ExpectSameFinds(text);
  }
}

}  // namespace
}  // namespace zelvane
