#include "base/byte_buffer.h"

#include "base/platform.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zelvane {

ByteBuffer::~ByteBuffer() { Free(); }

void ByteBuffer::release() {
  Free();
  bytes_ = nullptr;
  size_ = 0;
  capacity_ = 0;
  large_ = false;
}

void ByteBuffer::Free() {
  if (large_) {
    platform::UnmapLargeBlock(bytes_, capacity_);
  } else {
    std::free(bytes_);
  }
  if (ceiling_ != nullptr) ceiling_->held -= capacity_;
}

void ByteBuffer::Grow(std::size_t size, std::size_t most) {
  if (ceiling_ != nullptr) {
    const std::size_t free = ceiling_->most - ceiling_->held;
    if (size - capacity_ > free) {
      ceiling_->raise();
      throw std::bad_alloc();  // a `raise` that returned
    }
    // Beyond what it needs, a buffer takes at most a quarter of what is
    // free: the buffers under one ceiling then fill it together, where a
    // last doubling of one would leave the others nothing while half of its
    // bytes stay unused. Of a group of short held lines (three buffers,
    // 160 MiB of lines fit in 256 MiB), a buffer that doubled up to all
    // that was free left 120 MiB of lines held, half of what was free
    // 146 MiB, a quarter 156.5 MiB and an eighth 157.3 MiB.
    most = std::min(most, capacity_ + std::max(size - capacity_, free / 4));
  }
  std::size_t grown = capacity_ == 0 ? 4096 : capacity_ * 2;
  while (grown < size) {
    if (grown > SIZE_MAX / 2) throw std::bad_alloc();
    grown *= 2;
  }
  grown = std::min(grown, std::max(size, most));
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
  if (ceiling_ != nullptr) ceiling_->held += grown - capacity_;
  bytes_ = static_cast<char*>(bigger);
  capacity_ = grown;
}

}  // namespace zelvane
