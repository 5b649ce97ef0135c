#include "base/byte_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zelvane {
namespace {

TEST(ByteBlock, KeepsItsBytesWhileItGrows) {
  ByteBlock block;
  EXPECT_EQ(block.capacity(), 0u);
  std::string expected;
  // Sizes across several doublings, from the heap into large blocks of the
  // system and on through their growth.
  for (std::size_t size : {1u, 4096u, 4097u, 100000u, 3000000u, 20000000u}) {
    block.Reserve(size);
    EXPECT_GE(block.capacity(), size);
    while (expected.size() < size) expected.push_back(static_cast<char>('a' + expected.size() % 26));
    std::memcpy(block.data(), expected.data(), expected.size());
    block.Reserve(size * 2 + 1);
    EXPECT_EQ(std::string(block.data(), expected.size()), expected) << size;
  }
  const std::size_t capacity = block.capacity();
  block.Reserve(10);
  EXPECT_EQ(block.capacity(), capacity);  // never shrinks
}

}  // namespace
}  // namespace zelvane
