#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/byte_buffer.h"
#include "base/byte_stream.h"
#include "base/byte_scan.h"
#include "base/platform.h"

namespace zelvane {

// Reads a file as lines. LF and CR LF end a line; a CR not followed by LF is
// dropped; a Ctrl-Z (byte 26) ends the line and the rest of its physical line
// is skipped; a Ctrl-Z at the start of a line ends the input. A line longer
// than the read block comes in pieces of at least a read block each, so that
// memory holds about two read blocks whatever the lines are like.
class LineReader {
 public:
  // Reading in blocks of 256 KiB costs a quarter of the system calls of
  // 64 KiB and measured clearly faster; larger blocks did not help.
  static constexpr std::size_t kReadBlock = 256 * 1024;
  // Ends a line, and the input at the start of one.
  static constexpr char kCtrlZ = 26;
  // A line that ReadLine or NextLine gives may be read this many bytes
  // before its start and after its end, though what stands there is not
  // known: a comparison of whole words need not stop at the line's ends.
  static constexpr std::size_t kReadableBefore = 32;
  static constexpr std::size_t kReadableAfter = 64;

  // Reads at most `readBlock` bytes per call (small values let tests put a
  // refill, and the end of a piece, at every position of a line), finding
  // line ends and noting each line's marks with `scanner`.
  LineReader(ByteSource source, const ByteScanner& scanner, std::size_t readBlock = kReadBlock);
  LineReader(platform::File file, const ByteScanner& scanner, std::size_t readBlock = kReadBlock)
      : LineReader(ByteSource(std::move(file)), scanner, readBlock) {}
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // True when no byte remains or the next byte is a Ctrl-Z, at the start of
  // a line; never within a line that comes in pieces.
  bool AtEnd() {
    if (!skipPending_ && begin_ != end_) return !inLine_ && buffer_.data()[begin_] == kCtrlZ;
    return AtEndInFull();
  }

  // AtEnd and ReadLine raise EInOutError for a failed read and for
  // compressed data that cannot be decompressed.

  // The next line's text without its line end, or the next piece of a long
  // line (see LineGoesOn). The view stays valid until the next call of AtEnd
  // or ReadLine.
  std::string_view ReadLine();
  // As ReadLine, noting the line's "<" and "&" in `marks` on the way. The
  // marks of a piece are incomplete.
  std::string_view ReadLine(LineMarks& marks) {
    std::string_view line;
    NextLine(line, marks);
    return line;
  }

  // AtEnd and ReadLine in one: puts the next line into `line`, noting its
  // marks, or returns false at the end of the input.
  bool NextLine(std::string_view& line, LineMarks& marks) {
    // Most lines end with an LF in the bytes read before the next CR or
    // Ctrl-Z: they are read here, in the caller's loop. Any other line is
    // read again from its start by the full path, and so is the end of the
    // input.
    if (plainUntil_ > begin_) {
      marks.Clear();
      char* data = buffer_.data();
      const char* stop = scanner_.ToLineEnd(data + begin_, data + begin_, data + end_, marks);
      if (stop < data + plainUntil_) {
        line = std::string_view(data + begin_, static_cast<std::size_t>(stop - (data + begin_)));
        begin_ = static_cast<std::size_t>(stop - data) + 1;
        return true;
      }
    }
    if (AtEnd()) return false;
    line = ReadLineInFull(marks);
    return true;
  }

  // True when the text the last ReadLine gave is a piece of a line that the
  // next ReadLine goes on with (perhaps with nothing more than its end).
  bool LineGoesOn() const { return inLine_; }

  // The bytes of `text`, the text the last ReadLine or NextLine gave, for
  // the caller to change until the next call.
  char* Writable(std::string_view text) {
    return buffer_.data() + (text.data() - buffer_.data());
  }

  // Takes back the last `size` bytes of the piece the last ReadLine gave,
  // unchanged: the next ReadLine gives them again, with what follows them.
  // Nothing is taken back, and false returned, where the piece is not the
  // bytes as read (lone CRs were taken out of it), or no piece was given.
  bool GiveBack(std::size_t size) {
    if (!inLine_ || pieceChanged_ || size > begin_ - kReadableBefore) return false;
    begin_ -= size;
    return true;
  }

  // The read block: a line longer than that comes in pieces.
  std::size_t readBlock() const { return readBlock_; }

  // Up to `size` of the bytes not read yet, as the file delivers them (line
  // ends and Ctrl-Z included), fewer only where the file ends first. Nothing
  // is consumed. The view stays valid until the next call of AtEnd, ReadLine
  // or Peek.
  std::string_view Peek(std::size_t size);

  // Closes the file; a failure raises.
  void Close();

  // The scanner that finds the line ends.
  const ByteScanner& scanner() const { return scanner_; }

 private:
  struct RareByte {
    bool valid = false;
    std::size_t at = 0;
  };

  // The length of the line from `text` to the LF at `lineFeed`: LF and
  // CR LF end a line alike.
  static std::size_t LengthBeforeLineFeed(const char* text, const char* lineFeed) {
    auto length = static_cast<std::size_t>(lineFeed - text);
    if (length > 0 && text[length - 1] == '\r') --length;
    return length;
  }
  bool Fill();
  void SkipRestOfLine();
  bool AtEndInFull();
  std::string_view ReadLineInFull(LineMarks& marks);
  std::size_t NextRare(RareByte& rare, char byte, std::size_t from);

  ByteSource source_;
  std::size_t readBlock_;
  ByteBuffer buffer_;
  std::size_t begin_ = kReadableBefore;
  std::size_t end_ = kReadableBefore;
  bool endOfFile_ = false;
  bool skipPending_ = false;
  bool inLine_ = false;  // the last text given was a piece, and its line goes on
  bool pieceChanged_ = false;  // lone CRs were taken out of it
  // The next CR and Ctrl-Z in the bytes read, rare in a listing: looked for
  // once a buffer, not once a line.
  RareByte cr_;
  RareByte ctrlZ_;
  // Lines that end before this place hold no CR and no Ctrl-Z, and no
  // Ctrl-Z ended the line before them; 0 where that is not known.
  std::size_t plainUntil_ = 0;
  ByteScanner scanner_;
};

// Writes lines, each as its bytes and CR LF, through a large buffer. A file
// receives whole 128-byte blocks until it is closed, so that what a failed
// run leaves is always a whole number of blocks; a console receives every
// line as soon as it is complete.
class LineWriter {
 public:
  static constexpr std::size_t kBlockSize = 128;
  static constexpr std::size_t kBufferSize = 2048 * kBlockSize;  // 256 KiB
  static constexpr std::string_view kLineEnd = "\r\n";

  LineWriter(platform::File file, bool lineByLine);
  // Writes through `sink` (a compressed file).
  explicit LineWriter(ByteSink sink);
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  // Puts `line` and kLineEnd at `to`, which has room for both. Every line
  // written or held passes here: a call would cost more than the copy.
  [[gnu::always_inline]] static void PutEndedLine(char* to, std::string_view line) {
    if (!line.empty()) std::memcpy(to, line.data(), line.size());
    std::memcpy(to + line.size(), kLineEnd.data(), kLineEnd.size());
  }

  void WriteLine(std::string_view line) {
    // The common case, without a call: the line fits behind what the buffer
    // of a file holds.
    if (buffered_ && line.size() + kLineEnd.size() <= kBufferSize - buffer_.size()) {
      PutInBuffer(line);
      return;
    }
    WriteLineAnyway(line);
  }

  // Writes `lines`: whole lines, each already ended with kLineEnd.
  void WriteEndedLines(std::string_view lines) {
    if (buffered_ && lines.size() <= kBufferSize - buffer_.size()) {
      if (!lines.empty()) std::memcpy(buffer_.data() + buffer_.size(), lines.data(), lines.size());
      buffer_.set_size(buffer_.size() + lines.size());
      return;
    }
    WriteEndedLinesAnyway(lines);
  }

  // Writes the first bytes of a line whose rest, and its end, follow with
  // further calls and a last WriteLine.
  void WriteLineStart(std::string_view bytes);

  // Passes every byte held on; a failure raises.
  void Flush();

  // Passes every byte held on and ends a compressed stream; a failure raises.
  void Finish();

  // Finishes and closes the file; a failure raises.
  void Close();

  // After a failure: passes on the whole 128-byte blocks still held and drops
  // the rest. Never raises. Does nothing once a write of this writer has
  // failed, since the file then holds an unknown part of the failed write.
  void PassOnWholeBlocks() noexcept;

  // Passes everything held on, ignoring any failure (standard output before
  // the failure report). Does nothing once a write has failed.
  void PassOnAllQuietly() noexcept;

  // Has the file's content written to disk as it goes, for a file that is
  // flushed to disk at the end: the flush then finds little left to do.
  void FlushToDiskAsItGoes() { flushAsItGoes_ = true; }

  platform::File& file() { return sink_.file(); }

 private:
  // WriteLine and WriteEndedLines for every case; kept out of the callers,
  // whose common case stays small.
  [[gnu::noinline]] void WriteLineAnyway(std::string_view line);
  [[gnu::noinline]] void WriteEndedLinesAnyway(std::string_view lines);
  // Puts `line` and its end behind the bytes held, which leave room for them.
  void PutInBuffer(std::string_view line) {
    const std::size_t size = buffer_.size();
    PutEndedLine(buffer_.data() + size, line);
    buffer_.set_size(size + line.size() + kLineEnd.size());
  }
  void Append(const char* bytes, std::size_t size);
  void Pass(std::size_t size);

  ByteSink sink_;
  bool lineByLine_ = false;
  // Lines go into buffer_ and stay there until it is full: a file that is
  // not written line by line.
  bool buffered_ = false;
  ByteBuffer buffer_;  // the bytes not passed on yet, at most kBufferSize
  bool failed_ = false;
  bool flushAsItGoes_ = false;
};

}  // namespace zelvane
