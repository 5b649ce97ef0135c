#include "base/byte_block.h"

#include <new>

namespace zelvane {

void ByteBlock::Reserve(std::size_t size) {
  if (size <= capacity_) return;
  std::size_t grown = capacity_ == 0 ? 4096 : capacity_ * 2;
  while (grown < size) grown *= 2;
  char* bigger = static_cast<char*>(std::realloc(bytes_.get(), grown));
  if (bigger == nullptr) throw std::bad_alloc();
  (void)bytes_.release();
  bytes_.reset(bigger);
  capacity_ = grown;
}

}  // namespace zelvane
