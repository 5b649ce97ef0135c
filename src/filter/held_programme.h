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

// Lines of one kind in arrival order, held end to end in one buffer whose
// capacity is reused from one programme to the next: no line costs an
// allocation, and a programme of a million lines costs little more memory
// than its bytes. Each line is held with the line end the writer gives it,
// so that a list goes out in one piece.
class LineList {
 public:
  void Add(std::string_view line) {
    Append(line);
    ends_.push_back(bytes_.size());
    if (line.empty()) holdsEmptyLine_ = true;
  }
  // Puts `line` in place of the last line.
  void ReplaceLast(std::string_view line) {
    bytes_.set_size(Start(ends_.size() - 1));
    Append(line);
    ends_.back() = bytes_.size();
    if (line.empty()) holdsEmptyLine_ = true;
  }
  void Clear() {
    bytes_.clear();
    ends_.clear();
    holdsEmptyLine_ = false;
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
  // True when an empty line may be among the lines.
  bool MayHoldEmptyLine() const { return holdsEmptyLine_; }

 private:
  std::size_t Start(std::size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }
  void Append(std::string_view line) {
    constexpr std::string_view kLineEnd = LineWriter::kLineEnd;
    const std::size_t size = bytes_.size();
    bytes_.reserve(size + line.size() + kLineEnd.size());
    char* to = bytes_.data() + size;
    if (!line.empty()) std::memcpy(to, line.data(), line.size());
    std::memcpy(to + line.size(), kLineEnd.data(), kLineEnd.size());
    bytes_.set_size(size + line.size() + kLineEnd.size());
  }

  ByteBuffer bytes_;
  std::vector<std::size_t> ends_;
  bool holdsEmptyLine_ = false;
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

struct HeldProgramme {
  LineList opening;  // the opening line and the lines its start tag runs on
  LineList titles;
  LineList subTitles;
  LineList descs;  // as read
  // One per desc line, as CleaningOf gives it: two bytes a line at most, so
  // that a programme of many short desc lines costs little beyond its bytes.
  std::vector<std::uint8_t> descCleaning;
  std::string kenmerken;  // as read: the most recent kenmerken line, or empty
  LineScan kenmerkenScan;
  LineList further;
  bool furtherDesc = false;  // a further line starts a desc element

  void Clear();
  // The bytes held for the programme, line ends included.
  std::size_t HeldBytes() const {
    return opening.EndedLines().size() + titles.EndedLines().size() +
           subTitles.EndedLines().size() + descs.EndedLines().size() + kenmerken.size() +
           further.EndedLines().size();
  }
};

}  // namespace zelvane
