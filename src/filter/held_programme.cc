#include "filter/held_programme.h"

#include <cstring>

namespace zelvane {

void LineList::Append(std::string_view line) {
  constexpr std::string_view kLineEnd = LineWriter::kLineEnd;
  const std::size_t size = bytes_.size();
  bytes_.reserve(size + line.size() + kLineEnd.size());
  char* to = bytes_.data() + size;
  if (!line.empty()) std::memcpy(to, line.data(), line.size());
  std::memcpy(to + line.size(), kLineEnd.data(), kLineEnd.size());
  bytes_.set_size(size + line.size() + kLineEnd.size());
}

void HeldProgramme::Clear() {
  opening.Clear();
  titles.Clear();
  subTitles.Clear();
  descs.Clear();
  descCleaning.clear();
  kenmerken.clear();
  further.Clear();
  furtherDesc = false;
}

std::size_t HeldProgramme::HeldBytes() const {
  return opening.EndedLines().size() + titles.EndedLines().size() +
         subTitles.EndedLines().size() + descs.EndedLines().size() + kenmerken.size() +
         further.EndedLines().size();
}

}  // namespace zelvane
