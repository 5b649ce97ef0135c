#include "base/line_marks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace zelvane {
namespace {

struct Scanned {
  std::size_t stop;
  LineMarks marks;
};

// With `blockBytes` 0 the bytewise reference, otherwise the blocks of at
// most that width that the processor allows.
Scanned Scan(const std::string& text, std::size_t from, std::size_t blockBytes) {
  Scanned result{};
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  const char* stop =
      blockBytes > 0 ? ScanToLineEndInBlocks(blockBytes, begin, begin + from, end, result.marks)
                     : ScanToLineEndBytewise(begin, begin + from, end, result.marks);
  result.stop = static_cast<std::size_t>(stop - begin);
  return result;
}

void ExpectSameMarks(const std::string& text, std::size_t from, std::size_t blockBytes) {
  const Scanned vector = Scan(text, from, blockBytes);
  const Scanned bytewise = Scan(text, from, 0);
  ASSERT_EQ(vector.stop, bytewise.stop) << text << " from " << from;
  ASSERT_EQ(vector.marks.complete, bytewise.marks.complete) << text;
  ASSERT_EQ(vector.marks.ampersand, bytewise.marks.ampersand) << text << " from " << from;
  ASSERT_EQ(vector.marks.headTagStarts, bytewise.marks.headTagStarts) << text << " from " << from;
  ASSERT_EQ(vector.marks.tags, bytewise.marks.tags) << text << " from " << from;
}

void ExpectSameMarks(const std::string& text, std::size_t from) {
  for (std::size_t blockBytes : {16u, 32u}) ExpectSameMarks(text, from, blockBytes);
}

TEST(ScanToLineEnd, NotesTagStartsAndAmpersandsBeforeTheLineEnd) {
  const std::string text = "a<b&c<p<t</p</t<P<\n<&";
  for (std::size_t blockBytes : {0u, 16u, 32u}) {
    const Scanned scanned = Scan(text, 0, blockBytes);
    EXPECT_EQ(scanned.stop, 18u);
    EXPECT_TRUE(scanned.marks.ampersand);
    const std::uint32_t head = (1u << 1) | (1u << 5) | (1u << 7) | (1u << 9) | (1u << 12) |
                               (1u << 15) | (1u << 17);
    EXPECT_EQ(scanned.marks.headTagStarts, head);
    // Every "<" before the LF, not the one after it.
    EXPECT_EQ(scanned.marks.tags, 7u);
  }
  const Scanned ctrlZ = Scan("<x\x1A&\n", 0, 32);
  EXPECT_EQ(ctrlZ.stop, 2u);
  EXPECT_FALSE(ctrlZ.marks.ampersand);
  EXPECT_EQ(ctrlZ.marks.tags, 1u);
}

// Each byte the scan looks for, at every place of texts of every length
// around both vector blocks, scanned from every place.
TEST(ScanToLineEnd, AgreesWithTheBytewiseScanAtEveryPlace) {
  const std::string bytes[] = {"\n", "\x1A", "<", "&", "<&\n", "<p", "<B", "</p", "</", "</x"};
  for (std::size_t length = 0; length <= 70; ++length) {
    for (const std::string& piece : bytes) {
      for (std::size_t at = 0; at + piece.size() <= length; ++at) {
        std::string text(length, 'x');
        text.replace(at, piece.size(), piece);
        for (std::size_t from = 0; from <= length; ++from) ExpectSameMarks(text, from);
      }
    }
  }
}

TEST(ScanToLineEnd, AgreesWithTheBytewiseScanOnRandomText) {
  std::mt19937 random(5);
  const std::string alphabet = "<&\n\x1A\r abpPB/<<&";
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 150, ' ');
    for (char& c : text) {
      c = random() % 6 == 0 ? alphabet[random() % alphabet.size()]
                            : static_cast<char>('a' + random() % 26);
    }
    ExpectSameMarks(text, random() % (text.size() + 1));
  }
}

}  // namespace
}  // namespace zelvane
