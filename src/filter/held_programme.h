#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

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
  // A block whose memory counts for `ceiling`, which must outlive it.
  explicit LineBlock(MemoryCeiling* ceiling = nullptr) : bytes_(ceiling) {}

  void Add(std::string_view line) {
    if (!line.empty()) AppendEnded(bytes_, line);
  }
  void Clear() { bytes_.clear(); }
  // Clears the block and gives its memory back.
  void Release() { bytes_.release(); }
  // Every line with its line end, in order.
  std::string_view EndedLines() const { return bytes_; }

  // Appends `line` and the writer's line end to `bytes`, making room for
  // them.
  [[gnu::always_inline]] static void AppendEnded(ByteBuffer& bytes, std::string_view line) {
    const std::size_t size = bytes.size();
    const std::size_t ended = size + line.size() + LineWriter::kLineEnd.size();
    bytes.reserve(ended);
    LineWriter::PutEndedLine(bytes.data() + size, line);
    bytes.set_size(ended);
  }

 private:
  ByteBuffer bytes_;
};

// Lines of one kind in arrival order, as LineBlock holds them, each of which
// can be read on its own and the last replaced.
class LineList {
 public:
  // A list whose memory counts for `ceiling`, which must outlive it.
  explicit LineList(MemoryCeiling* ceiling = nullptr) : bytes_(ceiling), ends_(ceiling) {}

  void Add(std::string_view line) {
    LineBlock::AppendEnded(bytes_, line);
    const std::size_t end = bytes_.size();
    ends_.append(reinterpret_cast<const char*>(&end), sizeof end);
  }
  // Puts `line` in place of the last line.
  void ReplaceLast(std::string_view line);
  void Clear() {
    bytes_.clear();
    ends_.clear();
  }
  // Clears the list and gives its memory back.
  void Release() {
    bytes_.release();
    ends_.release();
  }
  bool Empty() const { return ends_.empty(); }
  std::size_t Size() const { return ends_.size() / sizeof(std::size_t); }
  // Line `i` without its line end.
  std::string_view operator[](std::size_t i) const {
    return std::string_view(bytes_.data() + Start(i),
                            End(i) - Start(i) - LineWriter::kLineEnd.size());
  }
  // Every line with its line end, in order.
  std::string_view EndedLines() const { return bytes_; }
  // Puts `first` and `second` into the last line before its byte `at`.
  void InsertIntoLast(std::size_t at, std::string_view first, std::string_view second);

 private:
  std::size_t Start(std::size_t i) const { return i == 0 ? 0 : End(i - 1); }
  std::size_t End(std::size_t i) const {
    std::size_t end;
    std::memcpy(&end, ends_.data() + i * sizeof end, sizeof end);
    return end;
  }
  // The last line ends where the bytes end.
  void EndLastAtTheEnd() {
    const std::size_t end = bytes_.size();
    std::memcpy(ends_.data() + ends_.size() - sizeof end, &end, sizeof end);
  }

  ByteBuffer bytes_;
  // Where each line ends, with its line end, as std::size_t values: a byte
  // buffer grows without copying, where a vector of a million short lines
  // would hold its old and its new array at once.
  ByteBuffer ends_;
};

// What a line's scan says about its cleaning, held beside a line that is
// cleaned only when it is written, so that no line is scanned twice: a
// set of flags in one byte.
enum class CleaningNeeds : std::uint8_t { kNone = 0, kTagMarkup = 1, kAmpersand = 2 };

constexpr CleaningNeeds operator|(CleaningNeeds a, CleaningNeeds b) {
  return static_cast<CleaningNeeds>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
constexpr bool Has(CleaningNeeds needs, CleaningNeeds flag) {
  return (static_cast<std::uint8_t>(needs) & static_cast<std::uint8_t>(flag)) != 0;
}
inline CleaningNeeds NeedsOf(const LineScan& scan) {
  return (scan.tagMarkup ? CleaningNeeds::kTagMarkup : CleaningNeeds::kNone) |
         (scan.ampersand ? CleaningNeeds::kAmpersand : CleaningNeeds::kNone);
}
// A scan that promises the cleaning that `needs` asks for.
inline LineScan ScanOf(CleaningNeeds needs) {
  LineScan scan;
  scan.tagMarkup = Has(needs, CleaningNeeds::kTagMarkup);
  scan.ampersand = Has(needs, CleaningNeeds::kAmpersand);
  return scan;
}

// The lines of the programme being gathered, in the order they are written.
// Lines are held already cleaned, except the desc and kenmerken lines, which
// the kenmerken merge still has to read as they came; what their scan said
// about cleaning is held with them.
class HeldProgramme {
 public:
  // Holds at most `most` bytes of memory, counted as the capacities of its
  // buffers. A line that would take more calls `raise`, which raises; the
  // programme is then left part held, to be thrown away.
  HeldProgramme(std::size_t most, void (*raise)()) : ceiling_{most, raise} {}
  HeldProgramme(const HeldProgramme&) = delete;
  HeldProgramme& operator=(const HeldProgramme&) = delete;

  // The opening line, the lines its start tag runs on, then the titles: the
  // opening is complete before the first title comes.
  const LineBlock& Head() const { return head_; }
  const LineBlock& SubTitles() const { return subTitles_; }
  const LineList& Descs() const { return descs_; }  // as read
  // What desc line `i` needs of cleaning.
  CleaningNeeds DescCleaning(std::size_t i) const {
    return static_cast<CleaningNeeds>(descCleaning_[i]);
  }
  // As read: the most recent kenmerken line, or empty.
  std::string_view Kenmerken() const { return kenmerken_; }
  const LineScan& KenmerkenScan() const { return kenmerkenScan_; }
  const LineBlock& Further() const { return further_; }
  // True when a further line starts a desc element, which runs on over the
  // lines below it.
  bool HasFurtherDesc() const { return furtherDesc_; }
  void NoteFurtherDesc() { furtherDesc_ = true; }

  void AddToHead(std::string_view line) { head_.Add(line); }
  void AddSubTitle(std::string_view line) { subTitles_.Add(line); }
  void AddFurther(std::string_view line) { further_.Add(line); }
  void AddDesc(std::string_view line, CleaningNeeds needs) {
    descs_.Add(line);
    descCleaning_.push_back(static_cast<char>(needs));
  }
  // Puts `line` in place of the last desc line, which then needs cleaning
  // where it did or where `needs` says.
  void ReplaceLastDesc(std::string_view line, CleaningNeeds needs) {
    descs_.ReplaceLast(line);
    AddLastDescCleaning(needs);
  }
  // Puts `first` and `second` into the last desc line before its byte `at`;
  // the line then needs cleaning where it did or where `needs` says.
  void InsertIntoLastDesc(std::size_t at, std::string_view first, std::string_view second,
                          CleaningNeeds needs);
  // The last desc line needs cleaning where it did or where `needs` says.
  void AddLastDescCleaning(CleaningNeeds needs) {
    char& last = descCleaning_[descCleaning_.size() - 1];
    last = static_cast<char>(static_cast<CleaningNeeds>(last) | needs);
  }
  // Where the kenmerken line's first "<kenmerken" stands.
  std::size_t KenmerkenAt() const { return kenmerkenAt_; }
  void SetKenmerken(std::string_view line, const LineScan& scan, std::size_t at) {
    kenmerken_.clear();
    kenmerken_.append(line);
    kenmerkenScan_ = scan;
    kenmerkenAt_ = at;
  }
  void ClearKenmerken() { SetKenmerken(std::string_view(), kenmerkenScan_, 0); }

  // Forgets the programme, ready for the next.
  void Clear();

 private:
  // Declared first, so that it outlives the buffers that count for it.
  MemoryCeiling ceiling_;
  LineBlock head_{&ceiling_};
  LineBlock subTitles_{&ceiling_};
  LineList descs_{&ceiling_};
  // The CleaningNeeds of each desc line: a byte a line, so that a programme
  // of many short desc lines costs little beyond its bytes.
  ByteBuffer descCleaning_{&ceiling_};
  ByteBuffer kenmerken_{&ceiling_};
  LineScan kenmerkenScan_;
  std::size_t kenmerkenAt_ = 0;
  LineBlock further_{&ceiling_};
  bool furtherDesc_ = false;
};

}  // namespace zelvane
