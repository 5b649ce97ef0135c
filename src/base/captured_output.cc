#include "base/captured_output.h"

#include <utility>

namespace zelvane {

CapturedOutput::CapturedOutput(platform::File file) : writer_(std::move(file), false) {}

std::string CapturedOutput::Take() {
  writer_.Flush();
  platform::File& file = writer_.file();
  platform::Rewind(file);
  std::string text;
  char block[4096];
  while (const std::size_t n = platform::ReadSome(file, block, sizeof block)) text.append(block, n);
  platform::SetSize(file, 0);
  platform::Rewind(file);
  return text;
}

}  // namespace zelvane
