#pragma once

#include <cstddef>

namespace zelvane {

// Uninitialised bytes that grow. A small block lives on the heap and grows by
// realloc; from kLargeBlock on it is taken from the system in large pages
// and grows by remapping them. A buffer that doubles again and again for a
// huge line or programme is then neither copied at every step nor paid for
// page by page, and no byte is cleared before it is written.
class ByteBlock {
 public:
  static constexpr std::size_t kLargeBlock = std::size_t{4} << 20;

  ByteBlock() = default;
  ByteBlock(const ByteBlock&) = delete;
  ByteBlock& operator=(const ByteBlock&) = delete;
  ~ByteBlock();

  char* data() { return bytes_; }
  const char* data() const { return bytes_; }
  std::size_t capacity() const { return capacity_; }

  // Makes room for at least `size` bytes, keeping those held; at least
  // doubles when it grows. Raises std::bad_alloc.
  void Reserve(std::size_t size) {
    if (size > capacity_) Grow(size);
  }

 private:
  void Grow(std::size_t size);

  char* bytes_ = nullptr;
  std::size_t capacity_ = 0;
  bool large_ = false;  // the bytes are a large block of the system's
};

}  // namespace zelvane
