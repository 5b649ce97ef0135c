#include "base/byte_buffer.h"

#include "base/platform.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zelvane {

ByteBuffer::~ByteBuffer() {
  if (large_) {
    platform::UnmapLargeBlock(bytes_, capacity_);
  } else {
    std::free(bytes_);
  }
}

void ByteBuffer::Grow(std::size_t size) {
  std::size_t grown = capacity_ == 0 ? 4096 : capacity_ * 2;
  while (grown < size) {
    if (grown > SIZE_MAX / 2) throw std::bad_alloc();
    grown *= 2;
  }
  void* bigger = nullptr;
  if (large_) {
    bigger = platform::GrowLargeBlock(bytes_, capacity_, grown);
  } else if (grown < kLargeBlock) {
    bigger = std::realloc(bytes_, grown);
  } else {
    // Leaving the heap: the bytes held move once.
    bigger = platform::MapLargeBlock(grown);
    if (bigger != nullptr && capacity_ > 0) {
      std::memcpy(bigger, bytes_, capacity_);
      std::free(bytes_);
    }
    if (bigger != nullptr) large_ = true;
  }
  if (bigger == nullptr) throw std::bad_alloc();
  bytes_ = static_cast<char*>(bigger);
  capacity_ = grown;
}

}  // namespace zelvane
