#include "base/byte_stream.h"

#include "base/byte_string.h"
#include "base/failure.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace zelvane {

namespace {

// Blocks of compressed bytes read or written at a time.
constexpr std::size_t kBlock = 64 * 1024;

// Window bits that make zlib read and write the gzip format.
constexpr int kGzipWindow = 15 + 16;

// The longest signature looked for.
constexpr std::size_t kSignatureSize = 6;

struct Signature {
  std::string_view bytes;
  Compression compression;
};

// bzip2 is "BZh" and a block size digit; the digit is checked apart.
constexpr Signature kSignatures[] = {
    {"\x1F\x8B", Compression::kGzip},
    {"BZh", Compression::kBzip2},
    {std::string_view("\xFD\x37\x7A\x58\x5A\x00", 6), Compression::kXz},
    {"\x28\xB5\x2F\xFD", Compression::kZstd},
    {"PK\x03\x04", Compression::kZip},
};

Compression CompressionOf(std::string_view first) {
  for (const Signature& signature : kSignatures) {
    if (first.substr(0, signature.bytes.size()) != signature.bytes) continue;
    if (signature.compression == Compression::kBzip2 &&
        (first.size() <= 3 || first[3] < '1' || first[3] > '9')) {
      continue;
    }
    return signature.compression;
  }
  return Compression::kNone;
}

unsigned int Chunk(std::size_t size) {
  return static_cast<unsigned int>(std::min<std::size_t>(size, UINT_MAX));
}

}  // namespace

std::string_view CompressionName(Compression compression) {
  switch (compression) {
    case Compression::kGzip: return "gzip";
    case Compression::kBzip2: return "bzip2";
    case Compression::kXz: return "xz";
    case Compression::kZstd: return "zstd";
    case Compression::kZip: return "zip";
    case Compression::kNone: break;
  }
  return "no compression";
}

// zlib's stream keeps a pointer to itself, so it stays at one address.
struct ByteSource::Inflater {
  z_stream stream {};
  bool betweenMembers = false;  // a member has ended; another may follow
  std::string name;             // the file's, for the reports of bad data

  Inflater() {
    if (inflateInit2(&stream, kGzipWindow) != Z_OK) throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&stream); }
};

ByteSource::ByteSource(platform::File file)
    : file_(std::move(file)), input_(new char[kBlock]) {}

ByteSource::ByteSource(ByteSource&&) noexcept = default;
ByteSource& ByteSource::operator=(ByteSource&&) noexcept = default;
ByteSource::~ByteSource() = default;

Compression ByteSource::Sniff() {
  while (end_ - begin_ < kSignatureSize && !endOfFile_) {
    if (begin_ > 0) {
      std::memmove(input_.get(), input_.get() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    const std::size_t n = platform::ReadSome(file_, input_.get() + end_, kBlock - end_);
    if (n == 0) endOfFile_ = true;
    end_ += n;
  }
  return CompressionOf(std::string_view(input_.get() + begin_, end_ - begin_));
}

void ByteSource::Decompress(std::string_view name) {
  inflater_ = std::make_unique<Inflater>();
  inflater_->name = name;
}

bool ByteSource::FillInput() {
  if (begin_ < end_) return true;
  if (endOfFile_) return false;
  begin_ = 0;
  end_ = platform::ReadSome(file_, input_.get(), kBlock);
  endOfFile_ = end_ == 0;
  return !endOfFile_;
}

std::size_t ByteSource::Read(char* to, std::size_t size) {
  if (inflater_ == nullptr) {
    // The bytes read ahead come first, then the file straight into `to`.
    if (begin_ == end_) return platform::ReadSome(file_, to, size);
    const std::size_t n = std::min(size, end_ - begin_);
    std::memcpy(to, input_.get() + begin_, n);
    begin_ += n;
    return n;
  }
  z_stream& stream = inflater_->stream;
  for (;;) {
    if (!FillInput()) {
      if (inflater_->betweenMembers) return 0;
      throw EInOutError(failure_code::kCompressedDataError,
                        Concat("The gzip data of the source ", inflater_->name, " ends too early"),
                        FailurePosition::kGzipEndsEarly);
    }
    // A further member follows the one that ended.
    if (inflater_->betweenMembers && inflateReset(&stream) == Z_OK) {
      inflater_->betweenMembers = false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(input_.get() + begin_);
    stream.avail_in = Chunk(end_ - begin_);
    stream.next_out = reinterpret_cast<Bytef*>(to);
    stream.avail_out = Chunk(size);
    const int result = inflate(&stream, Z_NO_FLUSH);
    begin_ = static_cast<std::size_t>(reinterpret_cast<char*>(stream.next_in) - input_.get());
    const auto produced = static_cast<std::size_t>(reinterpret_cast<char*>(stream.next_out) - to);
    if (result == Z_STREAM_END) {
      inflater_->betweenMembers = true;
    } else if (result == Z_MEM_ERROR) {
      throw std::bad_alloc();
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      throw EInOutError(failure_code::kCompressedDataError,
                        Concat("The gzip data of the source ", inflater_->name, " is corrupt"),
                        FailurePosition::kGzipCorrupt);
    }
    if (produced > 0) return produced;
  }
}

void ByteSource::Close() { platform::Close(file_); }

struct ByteSink::Deflater {
  z_stream stream {};
  std::unique_ptr<char[]> output{new char[kBlock]};
  bool finished = false;

  Deflater() {
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindow, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::bad_alloc();
    }
  }
  ~Deflater() { deflateEnd(&stream); }
};

ByteSink::ByteSink(platform::File file, bool compress) : file_(std::move(file)) {
  if (compress) deflater_ = std::make_unique<Deflater>();
}

ByteSink::ByteSink(ByteSink&&) noexcept = default;
ByteSink& ByteSink::operator=(ByteSink&&) noexcept = default;
ByteSink::~ByteSink() = default;

void ByteSink::Write(const char* bytes, std::size_t size) {
  if (deflater_ == nullptr) {
    platform::WriteAll(file_, bytes, size);
  } else {
    Deflate(bytes, size, false);
  }
}

void ByteSink::Finish() {
  if (deflater_ != nullptr && !deflater_->finished) {
    Deflate(nullptr, 0, true);
    deflater_->finished = true;
  }
}

void ByteSink::Deflate(const char* bytes, std::size_t size, bool finish) {
  z_stream& stream = deflater_->stream;
  char* const output = deflater_->output.get();
  do {
    const unsigned int chunk = Chunk(size);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    stream.avail_in = chunk;
    const bool last = finish && chunk == size;
    int result = Z_OK;
    // zlib takes all the input it is given once it has room to put out.
    do {
      stream.next_out = reinterpret_cast<Bytef*>(output);
      stream.avail_out = static_cast<unsigned int>(kBlock);
      result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
      if (result == Z_STREAM_ERROR) {
        throw EInOutError(failure_code::kCompressedDataError, "The output could not be compressed",
                          FailurePosition::kGzipWrite);
      }
      const std::size_t produced = kBlock - stream.avail_out;
      if (produced > 0) platform::WriteAll(file_, output, produced);
    } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
    if (bytes != nullptr) bytes += chunk;
    size -= chunk;
  } while (size > 0);
}

}  // namespace zelvane
