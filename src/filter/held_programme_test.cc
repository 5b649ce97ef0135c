#include "filter/held_programme.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace zelvane {
namespace {

TEST(LineList, HoldsLinesWithTheirLineEnds) {
  LineList list;
  EXPECT_TRUE(list.Empty());
  list.Add("  <title>a</title>");
  list.Add("b");
  EXPECT_EQ(list.Size(), 2u);
  EXPECT_EQ(list[0], "  <title>a</title>");
  EXPECT_EQ(list[1], "b");
  EXPECT_EQ(list.EndedLines(), "  <title>a</title>\r\nb\r\n");
  list.ReplaceLast("longer than b");
  EXPECT_EQ(list[1], "longer than b");
  EXPECT_EQ(list.EndedLines(), "  <title>a</title>\r\nlonger than b\r\n");
  list.Add("");
  EXPECT_EQ(list[2], "");
  list.Clear();
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(list.EndedLines(), "");
}

// What a held programme raises when it is full.
struct ProgrammeFull {};
void RaiseProgrammeFull() { throw ProgrammeFull(); }

// How many times `add` holds a line before `held` is full.
template <typename Add>
std::size_t LinesUntilFull(HeldProgramme& held, Add add) {
  std::size_t lines = 0;
  try {
    for (;; ++lines) add(held);
  } catch (const ProgrammeFull&) {
  }
  return lines;
}

TEST(HeldProgramme, HoldsNoMoreMemoryThanItsCeiling) {
  constexpr std::size_t kMost = 64 << 10;
  const std::string opening = "  <programme start=\"x\">";  // a first block of 4 KiB
  {
    HeldProgramme held(kMost, &RaiseProgrammeFull);
    held.AddToHead(opening);
    // The further lines' block doubles up to 32 KiB, then grows in smaller
    // steps rather than doubling past the ceiling, which it fills to the
    // last line.
    const std::string further(1022, 'x');
    const std::size_t lines =
        LinesUntilFull(held, [&](HeldProgramme& h) { h.AddFurther(further); });
    EXPECT_LE(lines * 1024, kMost - 4096) << lines;
    EXPECT_GT(lines * 1024, kMost - 4096 - 1024) << lines;
    EXPECT_EQ(held.Further().EndedLines().size(), lines * 1024);
  }
  {
    HeldProgramme held(kMost, &RaiseProgrammeFull);
    held.AddToHead(opening);
    // A short desc line holds its bytes and line end, where it ends (8 bytes)
    // and how it is cleaned (1 byte): 25 bytes, all counted.
    const std::size_t descs =
        LinesUntilFull(held, [](HeldProgramme& h) { h.AddDesc("<desc>x</desc>", CleaningNeeds::kNone); });
    EXPECT_LE(descs * 25, kMost - 4096) << descs;
    EXPECT_GT(descs * 25, (kMost - 4096) * 19 / 20) << descs;
    for (std::size_t i = 0; i < descs; ++i) ASSERT_EQ(held.Descs()[i], "<desc>x</desc>");
  }
  {
    // A line that takes the whole ceiling is held; one byte more is not.
    HeldProgramme held(kMost, &RaiseProgrammeFull);
    held.SetKenmerken(std::string(kMost, 'k'), LineScan{}, 0);
    EXPECT_EQ(held.Kenmerken().size(), kMost);
    held.ClearKenmerken();
    EXPECT_THROW(held.SetKenmerken(std::string(kMost + 1, 'k'), LineScan{}, 0), ProgrammeFull);
  }
}

TEST(HeldProgramme, GivesTheMemoryOfAHugeProgrammeBack) {
  constexpr std::size_t kMost = 8 << 20;
  HeldProgramme held(kMost, &RaiseProgrammeFull);
  const std::string line(1000, 'x');
  const auto addFurther = [&](HeldProgramme& h) { h.AddFurther(line); };
  const auto addDesc = [&](HeldProgramme& h) { h.AddDesc(line, CleaningNeeds::kNone); };
  const std::size_t further = LinesUntilFull(held, addFurther);
  EXPECT_GT(further * 1002, kMost - 1002);
  // The next programme has the whole ceiling again, whatever its lines.
  held.Clear();
  const std::size_t descs = LinesUntilFull(held, addDesc);
  EXPECT_GT(descs * 1011, kMost * 19 / 20) << descs;
  held.Clear();
  EXPECT_EQ(LinesUntilFull(held, addFurther), further);
}

}  // namespace
}  // namespace zelvane
