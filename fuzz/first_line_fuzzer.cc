// The first line of a listing: the reader's look at the first 64 KiB, the
// UTF-8 test of those bytes against a plain model, and the declaration that
// the first element line goes out with. Whatever the bytes, the output
// declares the encoding its references are decoded for, exactly once, and
// the line itself comes through whole. The listing is also fed compacted, as
// producers write it on one line or one programme a line.
#include "base/byte_string.h"
#include "base/captured_output.h"
#include "base/line_io.h"
#include "base/platform.h"
#include "filter/element_lines.h"
#include "filter/first_line.h"
#include "filter/line_scan.h"
#include "fuzz_check.h"
#include "memory_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelvane::fuzz {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
constexpr std::string_view kInserted = " encoding=\"ISO-8859-1\"";

// The element lines of what `reader` reads, from those of `splitter` on.
std::vector<std::string> ReadLines(LineReader& reader, ElementLineSplitter& splitter) {
  std::vector<std::string> lines;
  while (!splitter.AtEnd()) lines.emplace_back(splitter.ReadLine());
  reader.Close();
  return lines;
}

// True when `tail`, the bytes after the last whole sequence, can be completed
// by continuation bytes to a well-formed sequence.
bool IsCutOffStart(std::string_view tail) {
  static constexpr char kContinuations[] = {'\x80', '\x8F', '\x90', '\x9F', '\xA0', '\xBF'};
  std::vector<std::string> candidates = {std::string(tail)};
  for (int round = 0; round < 3; ++round) {
    std::vector<std::string> longer;
    for (const std::string& candidate : candidates) {
      for (const char c : kContinuations) longer.push_back(candidate + c);
    }
    for (const std::string& candidate : longer) {
      if (IsValidUtf8(candidate)) return true;
    }
    candidates = std::move(longer);
  }
  return false;
}

// The rule written plainly: some byte from 0x80 on, and the bytes are
// well-formed UTF-8 once a started sequence at their end is cut away.
bool ModelLooksLikeUtf8(std::string_view head) {
  if (std::none_of(head.begin(), head.end(),
                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    return false;
  }
  if (IsValidUtf8(head)) return true;
  for (std::size_t cut = 1; cut <= 3 && cut <= head.size(); ++cut) {
    if (IsValidUtf8(head.substr(0, head.size() - cut)) &&
        IsCutOffStart(head.substr(head.size() - cut))) {
      return true;
    }
  }
  return false;
}

// Checks the first element line of `listing`, read `readBlock` bytes at a
// time, and its look-ahead.
void CheckFirstLine(const std::string& listing, std::size_t readBlock) {
  // The look-ahead shows the first bytes as they are and consumes nothing.
  // It is taken, as the program takes it, before the first line is read.
  LineReader peeking(FileHolding(listing), MarkupScanner(), readBlock);
  ElementLineSplitter peekingLines(peeking);
  if (peekingLines.AtEnd()) return;
  const std::string head(peeking.Peek(kEncodingLookAhead));
  Require(head == std::string_view(listing).substr(0, kEncodingLookAhead),
          "the look-ahead shows the first 64 KiB", head);
  const std::vector<std::string> lines = ReadLines(peeking, peekingLines);
  LineReader plain(FileHolding(listing), MarkupScanner(), readBlock);
  ElementLineSplitter plainLines(plain);
  Require(ReadLines(plain, plainLines) == lines, "the look-ahead changes no line", listing);
  Require(!lines.empty(), "a listing not at its end has a first line", listing);

  const bool headIsUtf8 = LooksLikeUtf8(head);
  Require(headIsUtf8 == ModelLooksLikeUtf8(head), "UTF-8 test agrees with the model", head);

  const std::string& line = lines.front();
  CapturedOutput output(EmptyFile());
  const ListingEncoding encoding = WriteFirstLine(line, headIsUtf8, output.writer());
  const std::string out = output.Take();

  // One or two lines, each ended by CR LF; the first line's bytes come
  // through whole, at most with the encoding put into its declaration.
  Require(out.ends_with("\r\n"), "the first line is ended by CR LF", out);
  const std::string_view written(out.data(), out.size() - 2);
  const std::size_t split = written.find("\r\n");
  const std::string_view last =
      split == std::string_view::npos ? written : written.substr(split + 2);
  const std::string_view declared = split == std::string_view::npos ? written : written.substr(0, split);
  if (split != std::string_view::npos) {
    Require(declared == kDeclaration, "a line in front is the ISO-8859-1 declaration", out);
    Require(last == line, "the first line follows the declaration unchanged", out);
    Require(!line.starts_with("<?xml ") && !line.starts_with("<?xml?"),
            "no second declaration behind one", out);
  } else if (last != line) {
    std::string restored(last);
    const std::size_t at = restored.find(kInserted);
    Require(at != std::string::npos, "a changed line has the encoding put in", out);
    restored.erase(at, kInserted.size());
    Require(restored == line, "nothing but the encoding is put in", out);
  }

  // The output declares the encoding that the references are decoded for,
  // or declares none and is UTF-8, which XML reads without a declaration.
  const bool declaresEncoding = Lower(line).find("encoding") != std::string::npos;
  if (line.starts_with(kByteOrderMark)) {
    Require(out == line + "\r\n" && encoding == ListingEncoding::kUtf8,
            "a line behind a byte-order mark is UTF-8 and unchanged", out);
  } else if (!declaresEncoding) {
    Require(encoding == (headIsUtf8 ? ListingEncoding::kUtf8 : ListingEncoding::kLatin1),
            "an undeclared listing is UTF-8 by its bytes, else Latin-1", out);
    Require(headIsUtf8 == (out == line + "\r\n"), "only a UTF-8 listing stays undeclared", out);
  }
  if (DetectEncoding(declared) != encoding) {
    Require(headIsUtf8 && encoding == ListingEncoding::kUtf8 && out == line + "\r\n",
            "the declaration written is the one read, unless there is none", out);
  }
}

}  // namespace
}  // namespace zelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelvane;
  using namespace zelvane::fuzz;
  Input input(data, size);
  // Small read blocks put a refill at every place of the look-ahead; large
  // ones are the program's own.
  const std::uint8_t block = input.Byte();
  // Blanks after the first line move what follows to the edge of the bytes
  // that decide the encoding; such a listing is read in larger blocks, so
  // that a run stays short.
  const std::uint8_t shift = input.Byte();
  const std::size_t readBlock = block >= 128 ? LineReader::kReadBlock
                                : shift >= 128 ? (1 + block % 64) * 1021u
                                               : 1 + block % 64u;
  std::string listing(input.Rest());
  if (shift >= 128) {
    const std::size_t lineEnd = listing.find('\n');
    const std::size_t at = lineEnd == std::string::npos ? listing.size() : lineEnd + 1;
    const std::size_t target = kEncodingLookAhead - (shift & 63u);
    if (at < target) listing.insert(at, target - at, ' ');
  }
  CheckFirstLine(listing, readBlock);
  CheckFirstLine(WithoutLineEnds(listing, false), readBlock);
  CheckFirstLine(WithoutLineEnds(listing, true), readBlock);
  return 0;
}
