#include "filter/held_programme.h"

namespace zelvane {

void LineList::ReplaceLast(std::string_view line) {
  bytes_.set_size(Start(ends_.size() - 1));
  LineBlock::AppendEnded(bytes_, line);
  ends_.back() = bytes_.size();
}

void LineList::InsertIntoLast(std::size_t at, std::string_view first, std::string_view second) {
  const std::size_t added = first.size() + second.size();
  const std::size_t from = Start(ends_.size() - 1) + at;
  const std::size_t size = bytes_.size();
  bytes_.reserve(size + added);
  char* to = bytes_.data() + from;
  std::memmove(to + added, to, size - from);
  if (!first.empty()) std::memcpy(to, first.data(), first.size());
  if (!second.empty()) std::memcpy(to + first.size(), second.data(), second.size());
  bytes_.set_size(size + added);
  ends_.back() += added;
}

void HeldProgramme::InsertIntoLastDesc(std::size_t at, std::string_view first,
                                       std::string_view second, std::uint8_t cleaning) {
  descs_.InsertIntoLast(at, first, second);
  descCleaning_.back() |= cleaning;
  bytes_ += first.size() + second.size();
}

void HeldProgramme::Clear() {
  head_.Clear();
  subTitles_.Clear();
  descs_.Clear();
  descCleaning_.clear();
  kenmerken_.clear();
  further_.Clear();
  furtherDesc = false;
  bytes_ = 0;
}

}  // namespace zelvane
