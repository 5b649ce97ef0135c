#include "filter/first_line.h"

#include "base/byte_string.h"

namespace zelvane {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
constexpr std::string_view kEncodingAttribute = " encoding=\"ISO-8859-1\"";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

bool StartsWithByteOrderMark(std::string_view line) {
  return line.substr(0, kByteOrderMark.size()) == kByteOrderMark;
}

// Where the value of the first `encoding` that optional blanks and "=" follow
// begins (after the blanks behind the "="), in `lower`, the lower-cased line;
// npos when the line declares no encoding. XML allows blanks around the "=",
// so `encoding = "UTF-8"` declares an encoding as well.
std::size_t FindEncodingValue(std::string_view lower) {
  constexpr std::string_view kEncoding = "encoding";
  for (std::size_t at = lower.find(kEncoding); at != std::string_view::npos;
       at = lower.find(kEncoding, at + 1)) {
    const std::size_t equals = SkipBlanks(lower, at + kEncoding.size());
    if (equals < lower.size() && lower[equals] == '=') return SkipBlanks(lower, equals + 1);
  }
  return std::string_view::npos;
}

// True when `text` (the first line after any byte-order mark) opens an XML
// declaration.
bool IsXmlDeclaration(std::string_view text) {
  constexpr std::string_view kOpen = "<?xml";
  return text.size() > kOpen.size() && text.substr(0, kOpen.size()) == kOpen &&
         (IsBlank(text[kOpen.size()]) || text[kOpen.size()] == '?');
}

// Where an encoding goes into the declaration `text`: right after the closing
// quote of its version value, or right after "<?xml" when it has none.
std::size_t EncodingInsertPoint(std::string_view text) {
  constexpr std::size_t kAfterOpen = 5;
  constexpr std::string_view kVersion = "version";
  std::size_t at = SkipBlanks(text, kAfterOpen);
  if (text.substr(at, kVersion.size()) != kVersion) return kAfterOpen;
  at = SkipBlanks(text, at + kVersion.size());
  if (at >= text.size() || text[at] != '=') return kAfterOpen;
  at = SkipBlanks(text, at + 1);
  if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return kAfterOpen;
  const std::size_t close = text.find(text[at], at + 1);
  return close == std::string_view::npos ? kAfterOpen : close + 1;
}

}  // namespace

ListingEncoding WriteFirstLine(std::string_view line, bool headIsUtf8, LineWriter& output) {
  if (FindEncodingValue(Lower(line)) != std::string_view::npos ||
      StartsWithByteOrderMark(line)) {
    output.WriteLine(line);
    return DetectEncoding(line);
  }
  if (headIsUtf8) {
    output.WriteLine(line);
    return ListingEncoding::kUtf8;
  }
  // A second declaration would not be well-formed: a declaration without an
  // encoding takes it in.
  if (IsXmlDeclaration(line)) {
    std::string amended(line);
    amended.insert(EncodingInsertPoint(line), kEncodingAttribute);
    output.WriteLine(amended);
  } else {
    output.WriteLine(kDeclaration);
    output.WriteLine(line);
  }
  return ListingEncoding::kLatin1;
}

bool LooksLikeUtf8(std::string_view head) {
  bool anyHighByte = false;
  std::size_t at = 0;
  while (at < head.size()) {
    const auto lead = static_cast<unsigned char>(head[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    anyHighByte = true;
    // The well-formed sequences: no overlong form, no surrogate, nothing
    // beyond U+10FFFF. The lead byte bounds the second byte of some.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (at + k == head.size()) return true;  // cut off by the end of the head
      const auto next = static_cast<unsigned char>(head[at + k]);
      if (next < low || next > high) return false;
      low = 0x80;
      high = 0xBF;
    }
    at += length;
  }
  return anyHighByte;
}

ListingEncoding DetectEncoding(std::string_view firstLine) {
  if (StartsWithByteOrderMark(firstLine)) return ListingEncoding::kUtf8;
  const std::string lower = Lower(firstLine);
  const std::size_t value = FindEncodingValue(lower);
  if (value == std::string_view::npos) return ListingEncoding::kLatin1;
  const std::string_view rest = std::string_view(lower).substr(value);
  if (rest.empty() || (rest.front() != '"' && rest.front() != '\'')) {
    return ListingEncoding::kOtherSingleByte;
  }
  const std::size_t close = rest.find(rest.front(), 1);
  if (close == std::string_view::npos) return ListingEncoding::kOtherSingleByte;
  const std::string_view name = rest.substr(1, close - 1);
  if (name == "utf-8" || name == "utf8") return ListingEncoding::kUtf8;
  if (name == "iso-8859-1" || name == "latin1") return ListingEncoding::kLatin1;
  return ListingEncoding::kOtherSingleByte;
}

}  // namespace zelvane
