#include "filter/line_cleaning.h"

#include "base/byte_buffer.h"
#include "base/byte_string.h"
#include "filter/markup.h"

#include <cstdint>
#include <cstring>

#include <algorithm>
#include <array>

namespace zelvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Index of the first byte `c` at or after `from`, or kNone.
std::size_t FindByte(std::string_view text, char c, std::size_t from) {
  if (from >= text.size()) return kNone;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  if (hit == nullptr) return kNone;
  return static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// As FindByte, for searches that run from one candidate to the next:
// candidates often come in runs ("<br><br>", "&&&"), so the next few bytes
// are looked at before paying for a call of memchr.
std::size_t FindNextByte(std::string_view text, char c, std::size_t from) {
  const std::size_t near = std::min(text.size(), from + 8);
  for (std::size_t at = from; at < near; ++at) {
    if (text[at] == c) return at;
  }
  return FindByte(text, c, near);
}

// Index of the first `markup` at or after `from`, or kNone. Every markup text
// starts with a byte that has no case ("<" or "&"), and lines hold few of
// them, so the candidates are the places of that byte.
std::size_t FindMarkup(std::string_view text, std::string_view markup, std::size_t from) {
  for (std::size_t at = FindByte(text, markup[0], from); at != kNone;
       at = FindNextByte(text, markup[0], at + 1)) {
    if (MarkupAt(text, at, markup)) return at;
  }
  return kNone;
}

// Replaces every `markup` in `text` by one blank, the first of them standing
// at `first`. Searching goes on after each replacement, never over the blank
// just written, so one left-to-right compaction in place gives the result of
// repeated search and replace in linear time.
void ReplaceMarkupFrom(ByteBuffer& text, std::string_view markup, std::size_t first) {
  std::size_t write = first;
  std::size_t read = first;
  for (std::size_t at = first; at != kNone; at = FindMarkup(text, markup, read)) {
    // Markup often comes in runs ("<br><br>"): nothing lies between them.
    if (at != read) std::memmove(text.data() + write, text.data() + read, at - read);
    write += at - read;
    text[write++] = ' ';
    read = at + markup.size();
  }
  std::memmove(text.data() + write, text.data() + read, text.size() - read);
  text.set_size(write + text.size() - read);
}

// Appends `text` to `out` with every `markup` replaced by one blank, the
// first of them standing at `first`.
void AppendWithoutMarkup(std::string_view text, std::string_view markup, std::size_t first,
                         ByteBuffer& out) {
  std::size_t read = 0;
  for (std::size_t at = first; at != kNone; at = FindMarkup(text, markup, read)) {
    out.append(text.data() + read, at - read);
    out.push_back(' ');
    read = at + markup.size();
  }
  out.append(text.substr(read));
}

enum class TagPasses {
  kNothing,   // the line holds no tag markup
  kReplaced,  // the line after the tag passes is in the buffer
  kOneByOne,  // the passes must run one after the other
};

// The four tag markup passes in one. Each tag markup text holds one "<", at
// its start, and one ">", at its end, so no two of them overlap and the
// passes may as well run together, from one "<" of the line to the next.
// Only a blank can join bytes into new markup, and only into "<br />": where
// a "<p>", "</p>" or "<br>" stands between "<br" and "/>", the passes must
// run one after the other instead.
TagPasses ReplaceTagMarkupAtOnce(std::string_view line, ByteBuffer& out) {
  std::size_t read = 0;  // the first byte neither copied nor replaced
  std::size_t from = 0;  // where the search for the next "<" starts
  bool replaced = false;
  for (std::size_t at = FindByte(line, '<', 0); at != kNone; at = FindNextByte(line, '<', from)) {
    const std::size_t length = TagMarkupLength(line, at);
    from = at + 1;
    if (length == 0) continue;
    if (length < kMarkup[3].size() && at >= 3 && at + length < line.size() &&
        line[at + length] == '/' && MarkupAt(line, at - 3, "<br")) {
      return TagPasses::kOneByOne;
    }
    if (!replaced) {
      out.clear();
      out.reserve(line.size());
      replaced = true;
    }
    out.append(line.data() + read, at - read);
    out.push_back(' ');
    read = at + length;
    from = read;
  }
  if (!replaced) return TagPasses::kNothing;
  out.append(line.substr(read));
  return TagPasses::kReplaced;
}

// The line after the markup passes: `line` itself when it holds no markup,
// which is the common case, otherwise the rewritten copy in `scratch`.
// Tag markup can only stand where ScanLine saw a "<" before "p>" or "br", and
// "&lt;br&gt;" only where the line has an ampersand: a blank left by an
// earlier pass is never part of either.
std::string_view ReplaceMarkup(std::string_view line, bool tagMarkup, bool hasAmpersand,
                               ByteBuffer& scratch) {
  if (!tagMarkup && !hasAmpersand) return line;
  std::string_view text = line;
  bool copied = false;
  // The passes still to run: the tag passes usually run together.
  std::size_t firstPass = kMarkup.size() - 1;
  if (tagMarkup) {
    switch (ReplaceTagMarkupAtOnce(line, scratch)) {
      case TagPasses::kNothing:
        break;
      case TagPasses::kReplaced:
        text = scratch;
        copied = true;
        break;
      case TagPasses::kOneByOne:
        firstPass = 0;
        break;
    }
  }
  for (std::size_t pass = firstPass; pass < kMarkup.size(); ++pass) {
    const std::string_view markup = kMarkup[pass];
    if (markup[0] == '<' ? !tagMarkup : !hasAmpersand) continue;
    const std::size_t first = FindMarkup(text, markup, 0);
    if (first == kNone) continue;
    if (copied) {
      ReplaceMarkupFrom(scratch, markup, first);
    } else {
      // The first pass that finds something copies only what it keeps: a
      // long line full of markup never needs a copy of its own size.
      scratch.clear();
      scratch.reserve(line.size());
      AppendWithoutMarkup(line, markup, first, scratch);
      copied = true;
    }
    text = scratch;
  }
  return text;
}

// The five entities that XML predefines; they are already escaped.
constexpr std::array<std::string_view, 5> kPredefinedEntities = {"&amp;", "&lt;", "&gt;",
                                                                 "&quot;", "&apos;"};

// Length of the predefined entity at `at`, or 0.
std::size_t PredefinedEntityLength(std::string_view text, std::size_t at) {
  // Most bare ampersands are followed by a blank; only four letters can
  // start an entity.
  if (at + 1 >= text.size()) return 0;
  switch (text[at + 1]) {
    case 'a':
    case 'l':
    case 'g':
    case 'q':
      break;
    default:
      return 0;
  }
  for (std::string_view entity : kPredefinedEntities) {
    if (text.substr(at, entity.size()) == entity) return entity.size();
  }
  return 0;
}

constexpr std::string_view kEscapedAmpersand = "&amp;";

// Values at or above this are never decodable, so a value saturates here
// however many digits the reference has.
constexpr std::uint32_t kSaturated = 0x110000;

// A numeric character reference: "&#" and decimal digits, or "&#x" / "&#X"
// and hexadecimal digits, with an optional ";" that then belongs to it.
struct Reference {
  bool found = false;      // false: "&#" without digits, a bare ampersand
  std::uint32_t value = 0; // saturated at kSaturated
  bool hasSemicolon = false;
  std::size_t end = 0;  // index just after the reference
};

int DigitValue(char c, std::uint32_t radix) {
  if (IsDigit(c)) return c - '0';
  if (radix == 16) {
    const char lower = LowerAscii(c);
    if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  }
  return -1;
}

// Reads the reference whose "&#" stands at `at`.
Reference ReadReference(std::string_view text, std::size_t at) {
  Reference ref;
  std::size_t i = at + 2;
  std::uint32_t radix = 10;
  if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    radix = 16;
    ++i;
  }
  const std::size_t digits = i;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], radix);
    if (digit < 0) break;
    ref.value = ref.value >= kSaturated
                    ? kSaturated
                    : std::min(kSaturated, ref.value * radix + static_cast<std::uint32_t>(digit));
  }
  if (i == digits) return ref;
  ref.found = true;
  if (i < text.size() && text[i] == ';') {
    ref.hasSemicolon = true;
    ++i;
  }
  ref.end = i;
  return ref;
}

// Whether `value` can be written as bytes of a listing in `encoding`. Below 32
// only tab, line feed and carriage return are characters at all, and a raw
// line feed would split the line, so none of them is decoded.
bool IsDecodable(std::uint32_t value, ListingEncoding encoding) {
  if (value < 32) return false;
  // DEL and the C1 controls are no text in any encoding: writers that put
  // them in mean the characters of Windows-1252, whose bytes these are not.
  if (value >= 127 && value <= 159) return false;
  switch (encoding) {
    case ListingEncoding::kUtf8:
      return value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF) && value != 0xFFFE &&
             value != 0xFFFF;
    case ListingEncoding::kLatin1:
      return value <= 0xFF;
    case ListingEncoding::kOtherSingleByte:
      // A reference names a Unicode character; in an unknown single-byte
      // encoding only ASCII is sure to be the same byte.
      return value <= 0x7F;
  }
  return false;
}

void AppendUtf8(std::uint32_t value, ByteBuffer& out) {
  const auto byte = [](std::uint32_t b) {
    return static_cast<char>(static_cast<unsigned char>(b));
  };
  if (value < 0x80) {
    out += byte(value);
  } else if (value < 0x800) {
    out += byte(0xC0 | (value >> 6));
    out += byte(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    out += byte(0xE0 | (value >> 12));
    out += byte(0x80 | ((value >> 6) & 0x3F));
    out += byte(0x80 | (value & 0x3F));
  } else {
    out += byte(0xF0 | (value >> 18));
    out += byte(0x80 | ((value >> 12) & 0x3F));
    out += byte(0x80 | ((value >> 6) & 0x3F));
    out += byte(0x80 | (value & 0x3F));
  }
}

// Whether the part of `out` written for this line (from `lineStart`) ends in `]`
// preceded by `count - 1` more, i.e. ends in `count` brackets.
bool EndsWithBrackets(const ByteBuffer& out, std::size_t lineStart, std::size_t count) {
  if (out.size() - lineStart < count) return false;
  for (std::size_t k = 1; k <= count; ++k) {
    if (out[out.size() - k] != ']') return false;
  }
  return true;
}

// Writes the decoded character of a reference that ended at `end` and returns
// the index where copying resumes. "]]>" may not appear in XML text, so where a
// decoded "]" or ">" would complete one, its ">" is written as "&gt;"; a "]]>"
// that was in the line already is left as it was.
std::size_t AppendDecoded(std::string_view text, std::size_t end, std::uint32_t value,
                          ListingEncoding encoding, std::size_t lineStart, ByteBuffer& out) {
  switch (value) {
    // These three would start markup or an entity, or end an attribute value.
    case '&':
      out.append(kEscapedAmpersand);
      return end;
    case '<':
      out += "&lt;";
      return end;
    case '"':
      out += "&quot;";
      return end;
    case '>':
      out += EndsWithBrackets(out, lineStart, 2) ? "&gt;" : ">";
      return end;
    case ']':
      out += ']';
      if (end < text.size() && text[end] == '>' && EndsWithBrackets(out, lineStart, 2)) {
        out += "&gt;";
        return end + 1;
      }
      if (end + 1 < text.size() && text[end] == ']' && text[end + 1] == '>') {
        out += "]&gt;";
        return end + 2;
      }
      return end;
    default:
      break;
  }
  if (encoding == ListingEncoding::kUtf8) {
    AppendUtf8(value, out);
  } else {
    out += static_cast<char>(static_cast<unsigned char>(value));
  }
  return end;
}

// Handles the ampersand at `at`, whose preceding bytes are already in `out`,
// and returns the index where copying resumes.
std::size_t RepairAmpersandAt(std::string_view text, std::size_t at, ListingEncoding encoding,
                              std::size_t lineStart, ByteBuffer& out) {
  if (at + 1 < text.size() && text[at + 1] == '#') {
    const Reference ref = ReadReference(text, at);
    const bool special = ref.value == '&' || ref.value == '<' || ref.value == '"';
    const bool decoded = ref.found && (special || IsDecodable(ref.value, encoding));
    const bool kept = ref.found && !decoded && ref.hasSemicolon;
    if (decoded || kept) {
      // Some listings write "\&#233;"; the backslash belongs to the
      // reference. No reference ends in a backslash, so one before the
      // ampersand is a byte of the line, not a decoded character.
      if (at > 0 && text[at - 1] == '\\') out.pop_back();
      if (kept) {
        out.append(text.substr(at, ref.end - at));
        return ref.end;
      }
      return AppendDecoded(text, ref.end, ref.value, encoding, lineStart, out);
    }
  } else if (const std::size_t length = PredefinedEntityLength(text, at); length != 0) {
    out.append(text.substr(at, length));
    return at + length;
  }
  out.append(kEscapedAmpersand);
  return at + 1;
}

// Where the repaired text of a long line goes while it is being made: each
// piece of at least `pieceSize` bytes is passed on to `writer` as the start
// of the line.
struct Pieces {
  LineWriter* writer;
  std::size_t pieceSize;
};

// Escapes every ampersand that starts neither a predefined entity nor a
// numeric reference, and decodes references, appending the result to `out`,
// or passing it on in pieces when `pieces` is given. Decoded characters go
// straight to `out`, so they are never examined again.
void RepairAmpersands(std::string_view text, ListingEncoding encoding, ByteBuffer& out,
                      const Pieces* pieces = nullptr) {
  const std::size_t lineStart = out.size();
  // No ampersand grows by more than four bytes ("&" to "&amp;"), so this is
  // room enough: a line of ampersands is written without growing `out` again
  // and again. A short line may as well have room for the worst case; a long
  // one is spared that by counting its ampersands first.
  // When the line goes out in pieces, twice the piece size is room enough
  // (the buffer still grows if a piece needs more), and counting the
  // ampersands would be one more pass over the line.
  constexpr std::size_t kShortLine = 4096;
  const std::size_t room =
      pieces != nullptr       ? std::min(5 * text.size(), 2 * pieces->pieceSize)
      : text.size() <= kShortLine ? 5 * text.size()
          : text.size() + 4 * static_cast<std::size_t>(std::count(text.begin(), text.end(), '&'));
  out.reserve(lineStart + room);
  std::size_t copied = 0;
  std::size_t at = FindByte(text, '&', 0);
  while (at != kNone) {
    if (at > copied) out.append(text.data() + copied, at - copied);
    // A piece ends before an ampersand whose handling looks back at neither
    // a backslash before it nor a "]" already written. Whatever precedes the
    // ampersand is then settled: no reference or entity runs on past it.
    if (pieces != nullptr && out.size() - lineStart >= pieces->pieceSize &&
        text[at - 1] != '\\' && out.back() != ']') {
      pieces->writer->WriteLineStart(std::string_view(out).substr(lineStart));
      out.set_size(lineStart);
    }
    copied = RepairAmpersandAt(text, at, encoding, lineStart, out);
    // Ampersands often come in runs ("&&", "&#233;&#233;"); skip the search.
    at = FindNextByte(text, '&', copied);
  }
  out.append(text.substr(copied));
}

}  // namespace

std::string_view LineCleaner::WithoutMarkup(std::string_view line, const LineScan& scan) {
  return ReplaceMarkup(line, scan.tagMarkup, scan.ampersand, markupFree_);
}

std::string_view LineCleaner::CleanMarked(std::string_view line, const LineScan& scan) {
  const std::string_view text = WithoutMarkup(line, scan);
  // Markup passes never add an ampersand.
  if (!scan.ampersand) return text;
  cleaned_.clear();
  RepairAmpersands(text, encoding_, cleaned_);
  return cleaned_;
}

void LineCleaner::WriteMarked(std::string_view line, const LineScan& scan, LineWriter& writer,
                              std::size_t pieceSize) {
  if (!scan.ampersand) {
    writer.WriteLine(CleanMarked(line, scan));
    return;
  }
  const std::string_view text = WithoutMarkup(line, scan);
  cleaned_.clear();
  const Pieces pieces{&writer, pieceSize > 0 ? pieceSize : 1};
  RepairAmpersands(text, encoding_, cleaned_, &pieces);
  writer.WriteLine(cleaned_);
}

std::string CleanLine(std::string_view line, ListingEncoding encoding) {
  LineCleaner cleaner(encoding);
  return std::string(cleaner.Clean(line, ScanLine(line)));
}

}  // namespace zelvane
