#include "filter/held_programme.h"

namespace zelvane {

namespace {

// The memory that a programme's buffers keep for the next one.
constexpr std::size_t kKeptMemory = std::size_t{1} << 20;

}  // namespace

void LineList::ReplaceLast(std::string_view line) {
  bytes_.set_size(Start(Size() - 1));
  LineBlock::AppendEnded(bytes_, line);
  EndLastAtTheEnd();
}

void LineList::InsertIntoLast(std::size_t at, std::string_view first, std::string_view second) {
  const std::size_t added = first.size() + second.size();
  const std::size_t from = Start(Size() - 1) + at;
  const std::size_t size = bytes_.size();
  bytes_.reserve(size + added);
  char* to = bytes_.data() + from;
  std::memmove(to + added, to, size - from);
  if (!first.empty()) std::memcpy(to, first.data(), first.size());
  if (!second.empty()) std::memcpy(to + first.size(), second.data(), second.size());
  bytes_.set_size(size + added);
  EndLastAtTheEnd();
}

void HeldProgramme::InsertIntoLastDesc(std::size_t at, std::string_view first,
                                       std::string_view second, CleaningNeeds needs) {
  descs_.InsertIntoLast(at, first, second);
  AddLastDescCleaning(needs);
}

void HeldProgramme::Clear() {
  furtherDesc_ = false;
  // Real programmes hold a few KiB, and their buffers serve the next one.
  // A far larger one gives its memory back, so that the memory it held does
  // not count against the next.
  if (ceiling_.held > kKeptMemory) {
    head_.Release();
    subTitles_.Release();
    descs_.Release();
    descCleaning_.release();
    kenmerken_.release();
    further_.Release();
    return;
  }
  head_.Clear();
  subTitles_.Clear();
  descs_.Clear();
  descCleaning_.clear();
  kenmerken_.clear();
  further_.Clear();
}

}  // namespace zelvane
