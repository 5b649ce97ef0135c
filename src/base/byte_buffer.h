#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zelvane {

// A ceiling on the memory that several buffers hold together, counted as
// their capacities: memory is held whether its bytes are in use or not.
// Where doubling would take more, a buffer under it grows by what it needs
// or a quarter of what is free, whichever is more; where even what it needs
// would pass `most`, it calls `raise`, which raises.
struct MemoryCeiling {
  std::size_t most = 0;
  void (*raise)() = nullptr;
  std::size_t held = 0;  // the capacities of the buffers under it
};

// A growing string of bytes: the one buffer of the pass (the reader's block,
// the writer's block, the lines held together, a cleaned line). Growing never
// clears bytes. A small buffer lives on the heap and grows by realloc; from
// kLargeBlock on it is taken from the system in large pages and grows by
// remapping them, so that a buffer that doubles again and again for a huge
// line or group of lines is neither copied at every step nor paid for page by page.
class ByteBuffer {
 public:
  static constexpr std::size_t kLargeBlock = std::size_t{4} << 20;

  ByteBuffer() = default;
  // A buffer whose capacity counts for `ceiling`, which must outlive it.
  explicit ByteBuffer(MemoryCeiling* ceiling) : ceiling_(ceiling) {}
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer();

  const char* data() const { return bytes_; }
  char* data() { return bytes_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  char operator[](std::size_t i) const { return bytes_[i]; }
  char& operator[](std::size_t i) { return bytes_[i]; }
  char back() const { return bytes_[size_ - 1]; }
  operator std::string_view() const { return std::string_view(bytes_, size_); }

  // Makes room for at least `size` bytes, keeping those held; at least
  // doubles when it grows. Raises std::bad_alloc, and what the ceiling's
  // `raise` raises.
  void reserve(std::size_t size) {
    if (size > capacity_) Grow(size, SIZE_MAX);
  }
  // As reserve, but grows to no more than `most` bytes where `size` allows:
  // a buffer near a ceiling takes what it needs, not twice as much.
  void reserve(std::size_t size, std::size_t most) {
    if (size > capacity_) Grow(size, most);
  }
  void clear() { size_ = 0; }
  // Empties the buffer and gives its memory back.
  void release();
  // Sets the size to `size`, at most capacity(): the bytes up to it are those
  // held, or those written into data() beyond the old size.
  void set_size(std::size_t size) { size_ = size; }
  void pop_back() { --size_; }

  void push_back(char c) {
    if (size_ == capacity_) Grow(size_ + 1, SIZE_MAX);
    bytes_[size_++] = c;
  }
  ByteBuffer& append(const char* bytes, std::size_t count) {
    if (count == 0) return *this;
    reserve(size_ + count);
    std::memcpy(bytes_ + size_, bytes, count);
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
  void Grow(std::size_t size, std::size_t most);
  void Free();

  char* bytes_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool large_ = false;  // the bytes are a large block of the system's
  MemoryCeiling* ceiling_ = nullptr;
};

}  // namespace zelvane
