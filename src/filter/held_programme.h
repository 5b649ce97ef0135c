#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_buffer.h"
#include "base/line_io.h"
#include "filter/line_scan.h"

namespace zelvane {

// Lines of one kind in arrival order, held end to end with the line end the
// writer gives them, so that they go out in one piece, in one buffer whose
// capacity is reused from one programme to the next: no line costs an
// allocation. A programme writes no empty line, so none is held.
class LineBlock {
 public:
  void Add(std::string_view line) {
    if (!line.empty()) AppendEnded(bytes_, line);
  }
  void Clear() { bytes_.clear(); }
  // Every line with its line end, in order.
  std::string_view EndedLines() const { return bytes_; }

  // Appends `line` and the writer's line end to `bytes`. Every held line
  // passes here: a call would cost more than the work.
  [[gnu::always_inline]] static void AppendEnded(ByteBuffer& bytes, std::string_view line) {
    constexpr std::string_view kLineEnd = LineWriter::kLineEnd;
    const std::size_t size = bytes.size();
    bytes.reserve(size + line.size() + kLineEnd.size());
    char* to = bytes.data() + size;
    if (!line.empty()) std::memcpy(to, line.data(), line.size());
    std::memcpy(to + line.size(), kLineEnd.data(), kLineEnd.size());
    bytes.set_size(size + line.size() + kLineEnd.size());
  }

 private:
  ByteBuffer bytes_;
};

// Lines of one kind in arrival order, as LineBlock holds them, each of which
// can be read on its own and the last replaced.
class LineList {
 public:
  void Add(std::string_view line) {
    LineBlock::AppendEnded(bytes_, line);
    ends_.push_back(bytes_.size());
  }
  // Puts `line` in place of the last line.
  void ReplaceLast(std::string_view line);
  void Clear() {
    bytes_.clear();
    ends_.clear();
  }
  bool Empty() const { return ends_.empty(); }
  std::size_t Size() const { return ends_.size(); }
  // Line `i` without its line end.
  std::string_view operator[](std::size_t i) const {
    return std::string_view(bytes_.data() + Start(i),
                            ends_[i] - Start(i) - LineWriter::kLineEnd.size());
  }
  // Every line with its line end, in order.
  std::string_view EndedLines() const { return bytes_; }
  // Puts `first` and `second` into the last line before its byte `at`.
  void InsertIntoLast(std::size_t at, std::string_view first, std::string_view second);

 private:
  std::size_t Start(std::size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }

  ByteBuffer bytes_;
  std::vector<std::size_t> ends_;
};

// The lines of the programme being gathered, in the order they are written.
// Lines are held already cleaned, except the desc and kenmerken lines, which
// the kenmerken merge still has to read as they came; what their scan said
// about cleaning is held with them, so that no line is scanned twice.
// The scan answers that cleaning needs, in one byte, and back.
inline std::uint8_t CleaningOf(const LineScan& scan) {
  return static_cast<std::uint8_t>((scan.tagMarkup ? 1 : 0) | (scan.ampersand ? 2 : 0));
}
inline LineScan ScanOfCleaning(std::uint8_t cleaning) {
  LineScan scan;
  scan.tagMarkup = (cleaning & 1) != 0;
  scan.ampersand = (cleaning & 2) != 0;
  return scan;
}

class HeldProgramme {
 public:
  // The opening line, the lines its start tag runs on, then the titles: the
  // opening is complete before the first title comes.
  const LineBlock& Head() const { return head_; }
  const LineBlock& SubTitles() const { return subTitles_; }
  const LineList& Descs() const { return descs_; }  // as read
  // What CleaningOf gives for desc line `i`.
  std::uint8_t DescCleaning(std::size_t i) const { return descCleaning_[i]; }
  // As read: the most recent kenmerken line, or empty.
  std::string_view Kenmerken() const { return kenmerken_; }
  const LineScan& KenmerkenScan() const { return kenmerkenScan_; }
  const LineBlock& Further() const { return further_; }
  // A further line starts a desc element.
  bool furtherDesc = false;

  void AddToHead(std::string_view line) { Add(line, head_); }
  void AddSubTitle(std::string_view line) { Add(line, subTitles_); }
  void AddFurther(std::string_view line) { Add(line, further_); }
  void AddDesc(std::string_view line, std::uint8_t cleaning) {
    descs_.Add(line);
    descCleaning_.push_back(cleaning);
    bytes_ += line.size() + LineWriter::kLineEnd.size();
  }
  // Puts `line` in place of the last desc line, which then needs cleaning
  // where it did or where `cleaning` says.
  void ReplaceLastDesc(std::string_view line, std::uint8_t cleaning) {
    bytes_ -= descs_[descs_.Size() - 1].size();
    bytes_ += line.size();
    descs_.ReplaceLast(line);
    descCleaning_.back() |= cleaning;
  }
  // Puts `first` and `second` into the last desc line before its byte `at`;
  // the line then needs cleaning where it did or where `cleaning` says.
  void InsertIntoLastDesc(std::size_t at, std::string_view first, std::string_view second,
                          std::uint8_t cleaning);
  // Where the kenmerken line's first "<kenmerken" stands.
  std::size_t KenmerkenAt() const { return kenmerkenAt_; }
  void SetKenmerken(std::string_view line, const LineScan& scan, std::size_t at) {
    bytes_ -= kenmerken_.size();
    bytes_ += line.size();
    kenmerken_.clear();
    kenmerken_.append(line);
    kenmerkenScan_ = scan;
    kenmerkenAt_ = at;
  }
  void ClearKenmerken() { SetKenmerken(std::string_view(), kenmerkenScan_, 0); }

  void Clear();
  // The bytes held for the programme: every line with its line end, the
  // kenmerken line without one.
  std::size_t HeldBytes() const { return bytes_; }

 private:
  void Add(std::string_view line, LineBlock& block) {
    block.Add(line);
    bytes_ += line.size() + LineWriter::kLineEnd.size();
  }

  LineBlock head_;
  LineBlock subTitles_;
  LineList descs_;
  // One per desc line, as CleaningOf gives it: two bytes a line at most, so
  // that a programme of many short desc lines costs little beyond its bytes.
  std::vector<std::uint8_t> descCleaning_;
  ByteBuffer kenmerken_;
  LineScan kenmerkenScan_;
  std::size_t kenmerkenAt_ = 0;
  LineBlock further_;
  std::size_t bytes_ = 0;
};

}  // namespace zelvane
