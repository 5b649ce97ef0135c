#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_block.h"
#include "base/byte_buffer.h"
#include "base/line_io.h"
#include "filter/run_settings.h"

namespace zelvane {

// Lines of one kind in arrival order, held end to end in one block whose
// capacity is reused from one programme to the next: no line costs an
// allocation, and a programme of a million lines costs little more memory
// than its bytes. Each line is held with the line end the writer gives it,
// so that a list goes out in one piece.
class LineList {
 public:
  void Add(std::string_view line) {
    Append(line);
    ends_.push_back(size_);
    if (line.empty()) holdsEmptyLine_ = true;
  }
  // Puts `line` in place of the last line.
  void ReplaceLast(std::string_view line) {
    size_ = Start(ends_.size() - 1);
    Append(line);
    ends_.back() = size_;
    if (line.empty()) holdsEmptyLine_ = true;
  }
  void Clear() {
    size_ = 0;
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
  std::string_view EndedLines() const { return std::string_view(bytes_.data(), size_); }
  // True when an empty line may be among the lines.
  bool MayHoldEmptyLine() const { return holdsEmptyLine_; }

 private:
  std::size_t Start(std::size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }
  void Append(std::string_view line);

  ByteBlock bytes_;
  std::size_t size_ = 0;
  std::vector<std::size_t> ends_;
  bool holdsEmptyLine_ = false;
};

// The lines of the programme being gathered, in the order they are written.
// Lines are held already cleaned, except the desc and kenmerken lines, which
// the kenmerken merge still has to read as they came.
struct ProgrammeBuffer {
  LineList opening;        // the opening line and the lines its start tag runs on
  LineList titles;
  LineList subTitles;
  LineList descs;          // as read
  std::string kenmerken;   // as read: the most recent kenmerken line, or empty
  LineList further;
  bool furtherDesc = false;  // a further line starts a desc element

  void Clear();
  // The bytes held for the programme, line ends included.
  std::size_t HeldBytes() const;
};

// The filter's state from one line to the next, for one pass.
struct FilterState {
  bool inProgramme = false;
  bool dropProgramme = false;
  bool openingContinues = false;  // the opening start tag goes on on the next line
  ProgrammeBuffer buffer;
  std::string rewritten;  // scratch: an opening line with its time stamps replaced
  ByteBuffer cleaned;     // scratch: the cleaned line
  std::string merged;     // scratch: the desc line that takes the kenmerken text
};

// Decides the fate of one line after the first: gathers the lines of each
// programme, rewrites its time stamps, drops or writes it at its closing
// line, and writes every other line at once, each through CleanLine.
// Raises EConvertError for an invalid time stamp and EInOutError when a
// write fails.
void FilterLine(std::string_view line, LineWriter& writer, const RunSettings& settings,
                FilterState& state);

// Ends the pass after the last line: a programme still open is finished as a
// closing line would finish it (drop rules, merge, its lines written), with
// no closing line of its own. Raises EInOutError when a write fails.
void FinishListing(LineWriter& writer, const RunSettings& settings, FilterState& state);

// Puts `line` into `out` with the values of its start and stop attributes
// (`start="` or `stop="` after a blank or a tab, up to the next double quote)
// replaced by their NormaliseTimeStamp forms, start first. An attribute that
// is absent or unclosed stays as it is. Returns false, leaving `out` alone,
// when the line holds neither value. Raises EConvertError.
bool RewriteOpeningLine(std::string_view line, const RunSettings& settings, std::string& out);

// True when the title line `line` matches a drop rule whose switch is on:
// "to be announced" (any case) starting 1 to 9 characters after the ">" of
// the start tag, or a title that is exactly "talpa" (any case).
bool CheckTitle(std::string_view line, const RunSettings& settings);

// Folds the text of `kenmerkenLine` as " Kenmerken: <text>" into `descLine`
// before its "</desc", with a full stop first when the description ends in a
// byte above '?'. An empty `descLine` becomes a desc line holding the text.
void MergeKenmerken(std::string_view kenmerkenLine, std::string& descLine);

}  // namespace zelvane
