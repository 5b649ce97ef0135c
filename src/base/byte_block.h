#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace zelvane {

// Uninitialised bytes that grow by realloc. A large block then moves by
// remapping its pages instead of copying them, so a buffer that doubles
// again and again for a huge line or programme is not copied at every step,
// and no byte is cleared before it is written.
class ByteBlock {
 public:
  char* data() { return bytes_.get(); }
  const char* data() const { return bytes_.get(); }
  std::size_t capacity() const { return capacity_; }

  // Makes room for at least `size` bytes, keeping those held; at least
  // doubles when it grows. Raises std::bad_alloc.
  void Reserve(std::size_t size);

 private:
  struct Free {
    void operator()(char* bytes) const { std::free(bytes); }
  };

  std::unique_ptr<char, Free> bytes_;
  std::size_t capacity_ = 0;
};

}  // namespace zelvane
