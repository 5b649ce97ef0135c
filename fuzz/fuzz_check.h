#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace zelvane::fuzz {

// Ends the run as a finding when a property does not hold. The fuzzer
// records the input that broke it; `what` says which property, and `detail`
// the text that showed it (printed escaped, for the report).
inline void Require(bool holds, const char* what, std::string_view detail = {}) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n  ", what);
  for (const char c : detail.substr(0, 400)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      std::fputc(byte, stderr);
    } else {
      std::fprintf(stderr, "\\x%02X", byte);
    }
  }
  std::fputc('\n', stderr);
  std::abort();
}

// The fuzz input as bytes, with a few leading bytes taken off for settings.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size)
      : text_(reinterpret_cast<const char*>(data), size) {}

  // The next byte, 0 once the input is used up.
  std::uint8_t Byte() {
    if (text_.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(text_.front());
    text_.remove_prefix(1);
    return byte;
  }

  // The next four bytes as a signed number, little-endian.
  std::int32_t Int32() {
    std::uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= std::uint32_t{Byte()} << shift;
    return static_cast<std::int32_t>(value);
  }

  // Everything not yet taken.
  std::string_view Rest() const { return text_; }

 private:
  std::string_view text_;
};

// `listing` as compact producers write it: with no LF at all, or with none
// inside a programme (from a "<programme" to the next "</programme>"), one
// programme a line.
inline std::string WithoutLineEnds(std::string_view listing, bool insideProgrammesOnly) {
  std::string compact;
  compact.reserve(listing.size());
  bool inside = false;
  for (std::size_t at = 0; at < listing.size(); ++at) {
    const std::string_view rest = listing.substr(at);
    if (rest.starts_with("<programme")) inside = true;
    if (rest.starts_with("</programme>")) inside = false;
    if (listing[at] != '\n' || (insideProgrammesOnly && !inside)) compact.push_back(listing[at]);
  }
  return compact;
}

// True when every `&` in `text` begins a predefined entity or a numeric
// character reference that ends with ";": what a well-formed XML text allows.
inline bool AmpersandsWellFormed(std::string_view text) {
  static constexpr std::string_view kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;",
                                                   "&apos;"};
  for (std::size_t at = text.find('&'); at != std::string_view::npos;
       at = text.find('&', at + 1)) {
    const std::string_view rest = text.substr(at);
    bool entity = false;
    for (const std::string_view e : kEntities) entity = entity || rest.substr(0, e.size()) == e;
    if (entity) continue;
    if (rest.size() < 4 || rest[1] != '#') return false;
    std::size_t i = 2;
    const bool hex = rest[i] == 'x' || rest[i] == 'X';
    if (hex) ++i;
    const std::size_t digits = i;
    while (i < rest.size() &&
           ((rest[i] >= '0' && rest[i] <= '9') ||
            (hex && ((rest[i] >= 'a' && rest[i] <= 'f') || (rest[i] >= 'A' && rest[i] <= 'F'))))) {
      ++i;
    }
    if (i == digits || i >= rest.size() || rest[i] != ';') return false;
  }
  return true;
}

// True when `text` is well-formed UTF-8: shortest forms only, no surrogates,
// nothing above U+10FFFF.
inline bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t value = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      value = lead & 0x07u;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0u) != 0x80u) return false;
      value = (value << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) ||
        value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace zelvane::fuzz
