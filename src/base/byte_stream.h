#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "base/platform.h"

namespace zelvane {

// What the first bytes of a file announce.
enum class Compression { kNone, kGzip, kBzip2, kXz, kZstd, kZip };

// The name of a compression format ("gzip", "bzip2", ...).
std::string_view CompressionName(Compression compression);

// The bytes of a file, as they are or gzip-decompressed (every member of a
// multi-member file), read in blocks: memory stays the same whatever the size.
class ByteSource {
 public:
  explicit ByteSource(platform::File file);
  ByteSource(ByteSource&&) noexcept;
  ByteSource& operator=(ByteSource&&) noexcept;
  ~ByteSource();

  // The compression that the file's first bytes announce. They are read
  // ahead and still delivered by Read.
  Compression Sniff();

  // From here on, Read delivers the gzip-decompressed bytes; the reports of
  // bad data name the file as `name`.
  void Decompress(std::string_view name);

  // Reads up to `size` bytes; 0 at the end. Raises EInOutError for a failed
  // read and for compressed data that is corrupt or ends too early.
  std::size_t Read(char* to, std::size_t size);

  // Closes the file; a failure raises.
  void Close();

  platform::File& file() { return file_; }

 private:
  struct Inflater;

  // Refills the read-ahead buffer when it is empty; false at the end.
  bool FillInput();

  platform::File file_;
  std::unique_ptr<char[]> input_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool endOfFile_ = false;
  std::unique_ptr<Inflater> inflater_;
};

// Where written bytes go: a file, as they are or gzip-compressed.
class ByteSink {
 public:
  explicit ByteSink(platform::File file, bool compress = false);
  ByteSink(ByteSink&&) noexcept;
  ByteSink& operator=(ByteSink&&) noexcept;
  ~ByteSink();

  // Passes every byte on; a failed write raises.
  void Write(const char* bytes, std::size_t size);

  // Ends a compressed stream (its last block and trailer); nothing for a
  // plain file. A failed write raises.
  void Finish();

  platform::File& file() { return file_; }

 private:
  struct Deflater;

  void Deflate(const char* bytes, std::size_t size, bool finish);

  platform::File file_;
  std::unique_ptr<Deflater> deflater_;
};

}  // namespace zelvane
