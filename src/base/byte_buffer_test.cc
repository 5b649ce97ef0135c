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
  const std::string piece = "&amp;<x />";
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

TEST(ByteBuffer, GrowsNoFurtherThanAskedNearACeiling) {
  ByteBuffer block;
  block.reserve(5000, 6000);
  EXPECT_EQ(block.capacity(), 6000u);  // not doubled to 8192
  block.reserve(7000, 6000);
  EXPECT_EQ(block.capacity(), 7000u);  // what it needs, nothing more
  block.reserve(9000, 20000);
  EXPECT_EQ(block.capacity(), 14000u);  // doubled, which stays below
  // The same for a large block of the system's, keeping its bytes.
  block.data()[0] = 'x';
  block.data()[13999] = 'y';
  block.reserve(3 * ByteBuffer::kLargeBlock, 3 * ByteBuffer::kLargeBlock + 1);
  EXPECT_EQ(block.capacity(), 3 * ByteBuffer::kLargeBlock + 1);
  EXPECT_EQ(block.data()[0], 'x');
  EXPECT_EQ(block.data()[13999], 'y');
  block.release();
  EXPECT_EQ(block.capacity(), 0u);
  EXPECT_TRUE(block.empty());
  block += "again";
  EXPECT_EQ(std::string_view(block), "again");
}

struct CeilingReached {};

TEST(MemoryCeiling, CountsTheCapacitiesOfItsBuffers) {
  MemoryCeiling ceiling{100000, [] { throw CeilingReached(); }};
  {
    ByteBuffer a(&ceiling);
    ByteBuffer b(&ceiling);
    a.reserve(10);
    EXPECT_EQ(ceiling.held, 4096u);  // a first block, few of its bytes in use
    a.reserve(5000);
    EXPECT_EQ(a.capacity(), 8192u);  // doubled, far below the ceiling
    // Doubling would take more than a quarter of the 91,808 bytes free: b
    // takes what it needs, and then a quarter of what is free.
    b.reserve(50000);
    EXPECT_EQ(b.capacity(), 50000u);
    b.reserve(50001);
    EXPECT_EQ(b.capacity(), 50000u + 41808u / 4);
    EXPECT_EQ(ceiling.held, 8192u + 60452u);
    // One byte more than is free: the buffer is left as it was.
    a.data()[0] = 'a';
    EXPECT_THROW(a.reserve(8192 + 31357), CeilingReached);
    EXPECT_EQ(a.capacity(), 8192u);
    EXPECT_EQ(a.data()[0], 'a');
    a.reserve(8192 + 31356);
    EXPECT_EQ(ceiling.held, 100000u);
    EXPECT_EQ(a.data()[0], 'a');
    b.set_size(b.capacity());
    EXPECT_THROW(b.push_back('b'), CeilingReached);
    b.release();
    EXPECT_EQ(ceiling.held, 8192u + 31356u);
  }
  EXPECT_EQ(ceiling.held, 0u);
}

}  // namespace
}  // namespace zelvane
