// Fuzzes the line writer over a disk whose writes fail at a chosen offset:
// a completed run writes exactly the lines, each ended by CR LF (gzip-
// compressed where asked); a failed one leaves exactly the whole 128-byte
// blocks that reached the disk, and nothing after them. Through a
// destination, whose working file, temporary file, rename and final write
// over the destination fail where the fuzzer says as well, the destination
// holds the old bytes or the whole result, and only a failure in that final
// write may leave a part of the result over the old bytes.
#include "faulty_platform.h"
#include "fuzz_check.h"

#include "base/byte_stream.h"
#include "base/failure.h"
#include "base/line_io.h"
#include "run/destination.h"

#include <zlib.h>

#include <optional>
#include <string>

namespace {

using zelvane::LineWriter;
using zelvane::fuzz::Require;

// The bytes that `compressed` inflates to, as far as it goes; false when it
// holds anything that is not the start of a gzip stream.
bool Inflate(const std::string& compressed, std::string& text) {
  z_stream stream {};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  int result = Z_OK;
  char block[4096];
  do {
    stream.next_out = reinterpret_cast<Bytef*>(block);
    stream.avail_out = sizeof block;
    result = inflate(&stream, Z_NO_FLUSH);
    text.append(block, sizeof block - stream.avail_out);
  } while (result == Z_OK && stream.avail_out == 0);
  inflateEnd(&stream);
  return result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR;
}

// Writes the lines of `text` to `writer`, each repeated as its first byte
// says (to pass the buffer's size) and each written in one of the three ways
// that give the same bytes; `expected` receives what they must give.
void WriteLines(LineWriter& writer, std::string_view rest, std::string& expected) {
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    const std::size_t copies = line.empty() ? 1 : 1 + static_cast<unsigned char>(line[0]) % 64;
    for (std::size_t i = 0; i < copies; ++i) {
      expected.append(line).append("\r\n");
      const std::size_t split = line.size() / 2;
      switch ((i + line.size()) % 3) {
        case 0: writer.WriteLine(line); break;
        case 1: writer.WriteEndedLines(std::string(line) + "\r\n"); break;
        default:
          writer.WriteLineStart(line.substr(0, split));
          writer.WriteLine(line.substr(split));
      }
    }
  }
}

// One run through a Destination named guide.xml, with the points of
// failure that `plan` chooses.
void FuzzDestination(zelvane::fuzz::Input& input, std::uint8_t plan) {
  using zelvane::fuzz::WorkingFileFate;
  zelvane::fuzz::FaultyDisk& disk = zelvane::fuzz::Disk();
  const std::string old = "yesterday's guide\r\n";
  disk.destinationExists = (plan & 1) != 0;
  disk.destination = disk.destinationExists ? old : "";
  disk.working = static_cast<WorkingFileFate>((plan >> 1) % 3);
  disk.temporaryFails = (plan & 8) != 0;
  disk.renameRefused = (plan & 16) != 0;
  const std::uint32_t at = static_cast<std::uint32_t>(input.Int32());
  disk.finalFailAt = (plan & 32) != 0 ? at % (4 * LineWriter::kBufferSize) : SIZE_MAX;
  disk.failAt = (plan & 64) != 0 ? (at >> 8) % (4 * LineWriter::kBufferSize) : SIZE_MAX;

  const bool hadDestination = disk.destinationExists;
  std::string expected;
  // Standard output, which a named destination never writes to.
  LineWriter standardOutput(zelvane::platform::File(), true);
  std::optional<zelvane::Destination> destination;
  try {
    destination.emplace("guide.xml", "in.xml", zelvane::platform::File(7, false), standardOutput);
  } catch (const zelvane::EInOutError& failure) {
    // Refused before anything was created: a new destination where no
    // working file is possible, or no temporary file.
    const bool refusedNew = !disk.destinationExists && disk.working == WorkingFileFate::kRefused;
    Require(refusedNew ? failure.errorCode() == 5 : disk.temporaryFails,
            "only a refused new destination or the temporary file fails at the start");
    Require(disk.destination == (disk.destinationExists ? old : "") && !disk.finalWriteStarted,
            "a refusal at the start leaves the destination as it was");
    return;
  }
  try {
    WriteLines(destination->writer(), input.Rest(), expected);
    destination->Commit();
  } catch (const zelvane::EInOutError& failure) {
    destination->Abandon();
    Require(failure.errorCode() == disk.error, "only a planned call fails");
    if (disk.finalWriteStarted) {
      const std::size_t written = std::min(disk.finalFailAt, expected.size());
      Require(disk.destination.compare(0, written, expected, 0, written) == 0,
              "a failed final write leaves a part of the result", disk.destination);
    } else {
      Require(disk.destination == (disk.destinationExists ? old : ""),
              "a failure before the final write leaves the destination as it was",
              disk.destination);
    }
    return;
  }
  Require(disk.destinationExists && disk.destination == expected,
          "the destination receives the whole result", disk.destination);
  Require(!disk.renameRefused || disk.working != WorkingFileFate::kCreated || !hadDestination ||
              disk.workingRemoved,
          "a working file copied over the destination is removed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zelvane::fuzz::Input input(data, size);
  const std::uint8_t mode = input.Byte();
  const bool compress = (mode & 1) != 0;
  const bool lineByLine = (mode & 2) != 0 && !compress;
  // Fail somewhere in the first few buffers, or never.
  const auto failAt = static_cast<std::uint32_t>(input.Int32()) % (4 * LineWriter::kBufferSize);
  const bool fails = (mode & 4) != 0;
  zelvane::fuzz::FaultyDisk& disk = zelvane::fuzz::Disk();
  disk = zelvane::fuzz::FaultyDisk();
  if ((mode & 8) != 0) {
    FuzzDestination(input, static_cast<std::uint8_t>(failAt));
    return 0;
  }
  disk.failAt = fails ? failAt : SIZE_MAX;

  std::string expected;
  bool failed = false;
  {
    std::optional<LineWriter> output;
    if (compress) {
      output.emplace(zelvane::ByteSink(zelvane::platform::File(1), true));
    } else {
      output.emplace(zelvane::platform::File(1), lineByLine);
    }
    LineWriter& writer = *output;
    try {
      WriteLines(writer, input.Rest(), expected);
      writer.Close();
    } catch (const zelvane::EInOutError& failure) {
      failed = true;
      Require(fails && failure.errorCode() == disk.error, "only the planned write fails");
      writer.PassOnWholeBlocks();
    }
  }

  if (!compress) {
    if (failed) {
      const std::size_t whole = disk.failAt / LineWriter::kBlockSize * LineWriter::kBlockSize;
      Require(disk.content == expected.substr(0, whole), "a failed run leaves the whole blocks",
              disk.content);
    } else {
      Require(disk.content == expected, "the lines are written as they are", disk.content);
    }
    return 0;
  }
  std::string text;
  Require(Inflate(disk.content, text), "the output is a gzip stream", disk.content);
  if (failed) {
    Require(disk.content.size() % LineWriter::kBlockSize == 0, "a failed run leaves whole blocks");
    Require(expected.compare(0, text.size(), text) == 0, "what was written is the lines' start",
            text);
  } else {
    Require(text == expected, "the compressed lines come back as they were", text);
  }
  return 0;
}
