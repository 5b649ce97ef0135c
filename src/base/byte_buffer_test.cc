#include "base/byte_buffer.h"

#include "base/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

namespace zelvane {
namespace {

TEST(ByteBuffer, KeepsItsBytesWhileItGrows) {
  ByteBuffer block;
  EXPECT_EQ(block.capacity(), 0u);
  std::string expected;
  // Sizes across several doublings, from the heap into large blocks of the
  // system and on through their growth.
  for (std::size_t size : {1u, 4096u, 4097u, 100000u, 3000000u, 20000000u}) {
    block.reserve(size);
    EXPECT_GE(block.capacity(), size);
    while (expected.size() < size) expected.push_back(static_cast<char>('a' + expected.size() % 26));
    std::memcpy(block.data(), expected.data(), expected.size());
    block.reserve(size * 2 + 1);
    EXPECT_EQ(std::string(block.data(), expected.size()), expected) << size;
  }
  const std::size_t capacity = block.capacity();
  block.reserve(10);
  EXPECT_EQ(block.capacity(), capacity);  // never shrinks
}

TEST(ByteBuffer, RefusesWhatNoMachineHolds) {
  ByteBuffer block;
  block.reserve(100);
  block.data()[0] = 'x';
  EXPECT_THROW(block.reserve(SIZE_MAX - 10), std::bad_alloc);
  EXPECT_THROW(block.reserve(SIZE_MAX / 2 + 1), std::bad_alloc);
  // The block is left as it was.
  EXPECT_GE(block.capacity(), 100u);
  EXPECT_EQ(block.data()[0], 'x');
}

TEST(LargeBlock, GrowsKeepingItsBytesAndRefusesAbsurdSizes) {
  constexpr std::size_t kSize = std::size_t{5} << 20;
  char* block = static_cast<char*>(platform::MapLargeBlock(kSize));
  ASSERT_NE(block, nullptr);
  for (std::size_t i = 0; i < kSize; i += 4096) block[i] = static_cast<char>(i / 4096);
  block[kSize - 1] = 'z';
  EXPECT_EQ(platform::GrowLargeBlock(block, kSize, SIZE_MAX - 1), nullptr);
  char* bigger = static_cast<char*>(platform::GrowLargeBlock(block, kSize, 3 * kSize));
  ASSERT_NE(bigger, nullptr);
  for (std::size_t i = 0; i < kSize; i += 4096) {
    ASSERT_EQ(bigger[i], static_cast<char>(i / 4096)) << i;
  }
  EXPECT_EQ(bigger[kSize - 1], 'z');
  bigger[3 * kSize - 1] = 'y';  // the whole new size is usable
  platform::UnmapLargeBlock(bigger, 3 * kSize);
  EXPECT_EQ(platform::MapLargeBlock(SIZE_MAX - 1), nullptr);
  EXPECT_EQ(platform::MapLargeBlock(0), nullptr);
}

TEST(ByteBuffer, BuildsTextAcrossTheLargeBlockBoundary) {
  ByteBuffer buffer;
  std::string expected;
  const std::string piece = "&amp;<br />";
  while (expected.size() < 3 * ByteBuffer::kLargeBlock) {
    buffer.append(piece);
    expected.append(piece);
    buffer += 'q';
    expected += 'q';
  }
  EXPECT_EQ(std::string_view(buffer), expected);
  buffer.pop_back();
  buffer.set_size(buffer.size() - 4);
  expected.resize(expected.size() - 5);
  EXPECT_EQ(std::string_view(buffer), expected);
  EXPECT_EQ(buffer.back(), expected.back());
  buffer.clear();
  EXPECT_TRUE(buffer.empty());
  buffer.append("", 0);
  buffer += "ab";
  EXPECT_EQ(std::string_view(buffer), "ab");
}

}  // namespace
}  // namespace zelvane
