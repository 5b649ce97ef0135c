#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "base/byte_block.h"

namespace zelvane {

// A growing string of bytes on a ByteBlock, with the few std::string calls
// that text building needs. Unlike std::string, a buffer that grows to many
// megabytes takes its memory in large pages, and growing never clears bytes.
class ByteBuffer {
 public:
  const char* data() const { return block_.data(); }
  char* data() { return block_.data(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char operator[](std::size_t i) const { return block_.data()[i]; }
  char& operator[](std::size_t i) { return block_.data()[i]; }
  char back() const { return block_.data()[size_ - 1]; }
  operator std::string_view() const { return std::string_view(data(), size_); }

  void clear() { size_ = 0; }
  void reserve(std::size_t size) { block_.Reserve(size); }
  // Shortens the text to `size` bytes; `size` is at most size().
  void truncate(std::size_t size) { size_ = size; }
  void pop_back() { --size_; }

  void push_back(char c) {
    if (size_ == block_.capacity()) block_.Reserve(size_ + 1);
    block_.data()[size_++] = c;
  }
  ByteBuffer& append(const char* bytes, std::size_t count) {
    if (count == 0) return *this;
    block_.Reserve(size_ + count);
    std::memcpy(block_.data() + size_, bytes, count);
    size_ += count;
    return *this;
  }
  ByteBuffer& append(std::string_view text) { return append(text.data(), text.size()); }
  ByteBuffer& operator+=(std::string_view text) { return append(text); }
  ByteBuffer& operator+=(char c) {
    push_back(c);
    return *this;
  }

 private:
  ByteBlock block_;
  std::size_t size_ = 0;
};

}  // namespace zelvane
