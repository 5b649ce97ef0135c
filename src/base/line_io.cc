#include "base/line_io.h"

#include "base/failure.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zelvane {

namespace {

// The first LF or Ctrl-Z in [`from`, `to`), or `to`.
const char* FindLineEnd(const char* from, const char* to) {
  const std::size_t size = static_cast<std::size_t>(to - from);
  const char* lf = static_cast<const char*>(std::memchr(from, '\n', size));
  const char* stop = lf != nullptr ? lf : to;
  const char* z = static_cast<const char*>(
      std::memchr(from, LineReader::kCtrlZ, static_cast<std::size_t>(stop - from)));
  return z != nullptr ? z : stop;
}

}  // namespace

LineReader::LineReader(ByteSource source, const ByteScanner& scanner, std::size_t readBlock)
    : source_(std::move(source)), readBlock_(readBlock > 0 ? readBlock : 1), scanner_(scanner) {
  buffer_.reserve(kReadableBefore + readBlock_ + kReadableAfter);
}

// Reads more bytes behind the unread ones, moving them to the front and
// growing the buffer when a line does not fit. False at the end of the file.
bool LineReader::Fill() {
  if (endOfFile_) return false;
  // Positions found so far move or go stale with the buffer's content.
  cr_.valid = false;
  ctrlZ_.valid = false;
  plainUntil_ = 0;
  const std::size_t unread = end_ - begin_;
  // The buffer grows only while the piece of a line being read does not
  // fit, and a piece ends after a read block: it stays near two blocks.
  const std::size_t wanted = kReadableBefore + unread + (readBlock_ + 1) / 2 + kReadableAfter;
  if (begin_ != kReadableBefore) {
    std::memmove(buffer_.data() + kReadableBefore, buffer_.data() + begin_, unread);
  }
  // Growing keeps the unread bytes, which now stand at the front.
  buffer_.reserve(wanted);
  begin_ = kReadableBefore;
  end_ = begin_ + unread;
  const std::size_t room = std::min(buffer_.capacity() - end_ - kReadableAfter, readBlock_);
  const std::size_t n = source_.Read(buffer_.data() + end_, room);
  if (n == 0) {
    endOfFile_ = true;
    return false;
  }
  end_ += n;
  return true;
}

void LineReader::SkipRestOfLine() {
  skipPending_ = false;
  for (;;) {
    const char* from = buffer_.data() + begin_;
    const char* to = buffer_.data() + end_;
    const char* stop = FindLineEnd(from, to);
    if (stop != to) {
      // A further Ctrl-Z stays: it ends the input.
      begin_ = static_cast<std::size_t>(stop - buffer_.data()) + (*stop == '\n' ? 1 : 0);
      return;
    }
    begin_ = end_ = kReadableBefore;  // nothing of the skipped line is kept
    cr_.valid = false;
    ctrlZ_.valid = false;
    plainUntil_ = 0;
    if (!Fill()) return;
  }
}

bool LineReader::AtEndInFull() {
  if (skipPending_) SkipRestOfLine();
  if (inLine_) return false;
  if (begin_ == end_ && !Fill()) return true;
  return buffer_.data()[begin_] == kCtrlZ;
}

// The first `byte` at or after `from` in the unread bytes, or end_. The last
// answer is kept until reading passes it, so that a byte which is rare in a
// listing (CR in an LF file) costs one scan per buffer, not per line.
std::size_t LineReader::NextRare(RareByte& rare, char byte, std::size_t from) {
  if (!rare.valid || rare.at < from) {
    const void* hit = std::memchr(buffer_.data() + from, byte, end_ - from);
    rare.at = hit == nullptr ? end_
                             : static_cast<std::size_t>(static_cast<const char*>(hit) - buffer_.data());
    rare.valid = true;
  }
  return rare.at;
}

std::string_view LineReader::ReadLine() {
  LineMarks marks;
  return ReadLine(marks);
}

std::string_view LineReader::ReadLineInFull(LineMarks& marks) {
  if (skipPending_) SkipRestOfLine();
  marks.Clear();
  std::size_t scanned = begin_;
  std::size_t stop = 0;
  bool byCtrlZ = false;
  for (;;) {
    // The line's end first: a refill goes on where the last search stopped,
    // so a long line is still looked at once. Its marks follow, once it is
    // known to be a whole line.
    const char* data = buffer_.data();
    const void* lineFeed = std::memchr(data + scanned, '\n', end_ - scanned);
    stop = lineFeed == nullptr ? end_
                               : static_cast<std::size_t>(static_cast<const char*>(lineFeed) - data);
    // A Ctrl-Z ends the line where it stands.
    const std::size_t ctrlZ = NextRare(ctrlZ_, kCtrlZ, begin_);
    if (ctrlZ < stop) {
      stop = ctrlZ;
      byCtrlZ = true;
      break;
    }
    if (stop != end_) break;
    const std::size_t offset = end_ - begin_;
    // A line that fills a read block goes out in pieces.
    if (offset >= readBlock_) break;
    if (!Fill()) {
      stop = end_;  // the unread bytes have moved to the front
      break;
    }
    scanned = begin_ + offset;
  }

  char* text = buffer_.data() + begin_;
  std::size_t length = stop - begin_;
  const bool ended = stop != end_ || endOfFile_;
  if (ended) scanner_.ToLineEnd(text, text, text + length, marks);
  if (stop != end_ && !byCtrlZ) length = LengthBeforeLineFeed(text, text + length);
  // Every other CR is a lone CR: it neither ends the line nor stays in it.
  // The CR of a CR LF split between two pieces is dropped as well.
  pieceChanged_ = false;
  if (NextRare(cr_, '\r', begin_) < begin_ + length) {
    length = static_cast<std::size_t>(std::remove(text, text + length, '\r') - text);
    marks.complete = false;  // the bytes after it have moved
    pieceChanged_ = true;
  }
  if (!ended) marks.complete = false;  // a piece: what follows it is not known

  begin_ = stop == end_ ? end_ : stop + 1;
  skipPending_ = byCtrlZ;
  inLine_ = !ended;
  plainUntil_ = cr_.valid && ctrlZ_.valid && !skipPending_ && !inLine_
                    ? std::min(cr_.at, ctrlZ_.at)
                    : 0;
  return std::string_view(text, length);
}

std::string_view LineReader::Peek(std::size_t size) {
  while (end_ - begin_ < size && Fill()) {
  }
  return std::string_view(buffer_.data() + begin_, std::min(size, end_ - begin_));
}

void LineReader::Close() { source_.Close(); }

LineWriter::LineWriter(platform::File file, bool lineByLine)
    : sink_(std::move(file)), lineByLine_(lineByLine), buffered_(!lineByLine) {
  buffer_.reserve(kBufferSize);
}

LineWriter::LineWriter(ByteSink sink) : sink_(std::move(sink)), buffered_(true) {
  buffer_.reserve(kBufferSize);
}

void LineWriter::Pass(std::size_t size) {
  if (size == 0) return;
  // A failed write may have passed on part of the bytes: writing them again
  // would put a second copy into the file.
  failed_ = true;
  try {
    sink_.Write(buffer_.data(), size);
  } catch (...) {
    // A short write (a quota, a network file system) may have left part of
    // a block: the file keeps only the whole blocks.
    platform::CutToWholeBlocks(sink_.file(), kBlockSize);
    throw;
  }
  failed_ = false;
  if (flushAsItGoes_) platform::StartFlushToDisk(sink_.file());
  std::memmove(buffer_.data(), buffer_.data() + size, buffer_.size() - size);
  buffer_.set_size(buffer_.size() - size);
}

void LineWriter::Append(const char* bytes, std::size_t size) {
  while (size > 0) {
    if (buffer_.size() == kBufferSize) Pass(buffer_.size());
    const std::size_t n = std::min(size, kBufferSize - buffer_.size());
    buffer_.append(bytes, n);
    bytes += n;
    size -= n;
  }
}

void LineWriter::WriteLineAnyway(std::string_view line) {
  if (line.size() + kLineEnd.size() <= kBufferSize - buffer_.size()) {
    PutInBuffer(line);
  } else {
    Append(line.data(), line.size());
    Append(kLineEnd.data(), kLineEnd.size());
  }
  if (lineByLine_) Pass(buffer_.size());
}

void LineWriter::WriteEndedLinesAnyway(std::string_view lines) {
  if (lines.size() <= kBufferSize - buffer_.size()) {
    if (!lines.empty()) std::memcpy(buffer_.data() + buffer_.size(), lines.data(), lines.size());
    buffer_.set_size(buffer_.size() + lines.size());
  } else {
    Append(lines.data(), lines.size());
  }
  if (lineByLine_) Pass(buffer_.size());
}

void LineWriter::WriteLineStart(std::string_view bytes) {
  // A console gets the line when it is complete.
  Append(bytes.data(), bytes.size());
}

void LineWriter::Flush() {
  if (!buffer_.empty()) Pass(buffer_.size());
}

void LineWriter::Finish() {
  Flush();
  failed_ = true;
  try {
    sink_.Finish();
  } catch (...) {
    platform::CutToWholeBlocks(sink_.file(), kBlockSize);
    throw;
  }
  failed_ = false;
}

void LineWriter::Close() {
  Finish();
  platform::Close(sink_.file());
}

void LineWriter::PassOnWholeBlocks() noexcept {
  if (!sink_.file().valid() || failed_) return;
  try {
    Pass(buffer_.size() / kBlockSize * kBlockSize);
  } catch (...) {
  }
  buffer_.clear();
}

void LineWriter::PassOnAllQuietly() noexcept {
  if (!sink_.file().valid() || failed_) return;
  try {
    Pass(buffer_.size());
  } catch (...) {
  }
  buffer_.clear();
}

}  // namespace zelvane
