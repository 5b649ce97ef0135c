#include "filter/line_cleaning.h"

#include "base/byte_string.h"
#include "base/captured_output.h"
#include "filter/line_cleaning_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace zelvane::testing {
namespace {

// --- Markup ---------------------------------------------------------------

TEST(CleanLine, LeavesLinesWithoutMarkupOrAmpersandsUnchanged) {
  ExpectCleaned({
      {"", ""},
      {"plain text", "plain text"},
      {"    <title lang=\"nl\">Journaal</title>", "    <title lang=\"nl\">Journaal</title>"},
      {"caf\xE9 \x80\xFF", "caf\xE9 \x80\xFF"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  });
}

TEST(CleanLine, ReplacesEachMarkupTextByOneBlank) {
  ExpectCleaned({
      {"Nieuws<br>weer", "Nieuws weer"},
      {"Nieuws<p>weer", "Nieuws weer"},
      {"Nieuws<br />weer", "Nieuws weer"},
      {"Nieuws&lt;br&gt;weer", "Nieuws weer"},
      {"<p><p>", "  "},
      {"<br><br>", "  "},
      {"a<p>b<br>c<br />d&lt;br&gt;e", "a b c d e"},
      {"<br />", " "},
      {"<p>one</p><p>two</p>", " one  two "},
      {"a</P>b</p", "a b</p"},
  });
}

TEST(CleanLine, MatchesMarkupWithoutRegardToCase) {
  ExpectCleaned({
      {"Nieuws<BR />weer", "Nieuws weer"},
      {"<P>a<Br>b<bR />c", " a b c"},
      {"Nieuws&LT;BR&GT;weer", "Nieuws weer"},
      {"&Lt;bR&gT;", " "},
  });
}

TEST(CleanLine, LeavesOtherMarkupAlone) {
  ExpectCleaned({
      {"a<br/>b", "a<br/>b"},
      {"<br class=\"x\">", "<br class=\"x\">"},
      {"<p class=\"x\">", "<p class=\"x\">"},
      {"<b>r</b>", "<b>r</b>"},
      {"<br  />", "<br  />"},
  });
}

TEST(CleanLine, RunsMarkupPassesOneAfterAnother) {
  ExpectCleaned({
      // A blank left by an earlier pass completes "<br />" for the third.
      {"<br<p>/>", " "},
      {"<br<br>/>", " "},
      {"x<BR<P>/>y", "x y"},
      {"<br</p>/>", " "},
      // Where the first passes leave no "<br />", whatever stands around.
      {"<p>/>", " />"},
      {"r<p>/>", "r />"},
      {"<b<p>/>", "<b />"},
      {"<br<p>", "<br "},
      {"<br<p>/", "<br /"},
      {"<br<br />/>", "<br />"},
      // Within a pass the blank just written is never part of a new match.
      {"<<p>p>", "< p>"},
      {"<p<p>>", "<p >"},
      {"<br <p>/>", "<br  />"},
      {"<b<br>r>", "<b r>"},
      // The fourth text has no blank, so earlier passes cannot complete it.
      {"&lt;b<p>r&gt;", "&lt;b r&gt;"},
      {"&lt;br<br>&gt;", "&lt;br &gt;"},
  });
}

TEST(CleanLine, DoesNotReplaceMarkupMadeByReferences) {
  ExpectCleaned({
      {"x&#060;br>", "x&lt;br>"},
      {"&#60;p&#62;", "&lt;p>"},
      {"&#38;lt;br&#38;gt;", "&amp;lt;br&amp;gt;"},
  });
}

TEST(CleanLine, HandlesLongLinesOfMarkupAndAmpersands) {
  const std::string_view pieces[] = {"<br>", "&", "&#233;", "&lt;br&gt;", "<br<p>/>"};
  const std::string_view cleaned[] = {" ", "&amp;", "\xE9", " ", " "};
  for (std::size_t k = 0; k < std::size(pieces); ++k) {
    std::string line;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
      line += pieces[k];
      expected += cleaned[k];
    }
    EXPECT_EQ(CleanLine(line, ListingEncoding::kLatin1), expected) << pieces[k];
  }
}

// --- Against a plain model ----------------------------------------------------

// The cleaning rules written as directly as possible, with the repeated
// search, delete and insert of the markup passes and a byte-by-byte
// ampersand repair. Slow, but easy to check against the rules.
std::string ModelReplaceMarkup(std::string line) {
  for (std::string_view markup : {"<p>", "</p>", "<br>", "<br />", "&lt;br&gt;"}) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t p = Lower(line).find(markup, start);
      if (p == std::string::npos) break;
      line = line.substr(0, p) + " " + line.substr(p + markup.size());
      start = p + 1;
    }
  }
  return line;
}

// The bytes the ampersand repair writes, each marked when a decoded
// reference wrote it.
struct ModelOutput {
  std::string bytes;
  std::vector<bool> decoded;

  void Put(std::string_view text, bool fromReference) {
    for (char c : text) {
      // "]]>" must not be completed by a decoded character.
      if (c == '>' && bytes.size() >= 2 && bytes[bytes.size() - 1] == ']' &&
          bytes[bytes.size() - 2] == ']' &&
          (fromReference || decoded[bytes.size() - 1] || decoded[bytes.size() - 2])) {
        for (char e : std::string_view("&gt;")) {
          bytes += e;
          decoded.push_back(fromReference);
        }
        continue;
      }
      bytes += c;
      decoded.push_back(fromReference);
    }
  }
};

// A numeric character reference: its value, capped at 0xFFFFFFFF, where it
// ends (after the semicolon, if any) and whether it has one.
struct ModelReference {
  std::uint64_t value;
  std::size_t end;
  bool semicolon;
};

// The reference whose "&#" stands at `i` of `s`, or none when no digit
// follows.
std::optional<ModelReference> ModelReadReference(const std::string& s, std::size_t i) {
  std::size_t j = i + 2;
  bool hex = false;
  if (j < s.size() && (s[j] == 'x' || s[j] == 'X')) {
    hex = true;
    ++j;
  }
  const std::size_t first = j;
  std::uint64_t value = 0;
  const auto digit = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  while (j < s.size() && digit(s[j]) >= 0) {
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit(s[j]));
    if (value > 0xFFFFFFFF) value = 0xFFFFFFFF;
    ++j;
  }
  if (j == first) return std::nullopt;
  const bool semicolon = j < s.size() && s[j] == ';';
  if (semicolon) ++j;
  return ModelReference{value, j, semicolon};
}

// The bytes a reference of `value` decodes to in `encoding`, or "" when it
// is not decoded.
std::string ModelDecodedBytes(std::uint64_t value, ListingEncoding encoding) {
  // DEL and the C1 controls: never decoded.
  if (value >= 127 && value <= 159) return "";
  if (value == 38) return "&amp;";
  if (value == 60) return "&lt;";
  if (value == 34) return "&quot;";
  if (value >= 32 && encoding == ListingEncoding::kLatin1 && value <= 255) {
    return std::string(1, static_cast<char>(value));
  }
  if (value >= 32 && encoding == ListingEncoding::kOtherSingleByte && value <= 127) {
    return std::string(1, static_cast<char>(value));
  }
  if (value >= 32 && encoding == ListingEncoding::kUtf8 && value <= 0x10FFFF &&
      (value < 0xD800 || value > 0xDFFF) && value != 0xFFFE && value != 0xFFFF) {
    const auto b = [](std::uint64_t x) { return static_cast<char>(x); };
    if (value < 0x80) return {b(value)};
    if (value < 0x800) return {b(0xC0 | value >> 6), b(0x80 | (value & 0x3F))};
    if (value < 0x10000) {
      return {b(0xE0 | value >> 12), b(0x80 | (value >> 6 & 0x3F)), b(0x80 | (value & 0x3F))};
    }
    return {b(0xF0 | value >> 18), b(0x80 | (value >> 12 & 0x3F)), b(0x80 | (value >> 6 & 0x3F)),
            b(0x80 | (value & 0x3F))};
  }
  return "";
}

std::string ModelRepairAmpersands(const std::string& s, ListingEncoding encoding) {
  ModelOutput out;
  const auto starts = [&](std::size_t i, std::string_view text) {
    return s.compare(i, text.size(), text) == 0;
  };
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '&') {
      out.Put(std::string_view(&s[i], 1), false);
      ++i;
      continue;
    }
    bool handled = false;
    for (std::string_view entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
      if (!handled && starts(i, entity)) {
        out.Put(entity, false);
        i += entity.size();
        handled = true;
      }
    }
    if (handled) continue;
    if (starts(i, "&#")) {
      if (const std::optional<ModelReference> reference = ModelReadReference(s, i)) {
        const std::string bytes = ModelDecodedBytes(reference->value, encoding);
        const bool kept = bytes.empty() && reference->semicolon;
        if (!bytes.empty() || kept) {
          if (!out.bytes.empty() && out.bytes.back() == '\\' && !out.decoded.back()) {
            out.bytes.pop_back();
            out.decoded.pop_back();
          }
          if (kept) {
            out.Put(std::string_view(s).substr(i, reference->end - i), false);
          } else {
            out.Put(bytes, true);
          }
          i = reference->end;
          continue;
        }
      }
    }
    out.Put("&amp;", false);
    ++i;
  }
  return out.bytes;
}

std::string ModelCleanLine(const std::string& line, ListingEncoding encoding) {
  return ModelRepairAmpersands(ModelReplaceMarkup(line), encoding);
}

std::string RandomLine(std::mt19937& random, const std::vector<std::string>& alphabet,
                       std::size_t maxPieces) {
  std::uniform_int_distribution<std::size_t> count(0, maxPieces);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string line;
  for (std::size_t n = count(random); n > 0; --n) line += alphabet[pick(random)];
  return line;
}

void ExpectAgreesWithModel(const std::vector<std::string>& alphabet, std::size_t maxPieces,
                           std::uint32_t seed) {
  std::mt19937 random(seed);
  LineCleaner latin1(ListingEncoding::kLatin1);
  LineCleaner utf8(ListingEncoding::kUtf8);
  LineCleaner other(ListingEncoding::kOtherSingleByte);
  CapturedOutput output;
  for (int n = 0; n < 30000; ++n) {
    const std::string line = RandomLine(random, alphabet, maxPieces);
    std::string written;
    for (ListingEncoding encoding : {ListingEncoding::kLatin1, ListingEncoding::kUtf8,
                                     ListingEncoding::kOtherSingleByte}) {
      const std::string expected = ModelCleanLine(line, encoding);
      ASSERT_EQ(CleanLine(line, encoding), expected)
          << "line: " << line << " encoding: " << static_cast<int>(encoding);
      // A cleaner that cleaned other lines before gives the same.
      LineCleaner& cleaner = encoding == ListingEncoding::kLatin1 ? latin1
                             : encoding == ListingEncoding::kUtf8 ? utf8
                                                                  : other;
      ASSERT_EQ(cleaner.Clean(line, ScanLine(line)), expected) << "line: " << line;
      // Written in pieces as small as one byte, behind a line that ends in
      // what a piece could be taken for: the same line comes out.
      for (std::size_t pieceSize : {1u, 2u, 5u, 100u}) {
        output.writer().WriteLine("]]\\");
        cleaner.Write(line, ScanLine(line), output.writer(), pieceSize);
        written.append("]]\\\r\n").append(expected).append("\r\n");
      }
    }
    // Read back once a line: each encoding in turn, in each size of piece.
    ASSERT_EQ(output.Take(), written) << "line: " << line;
  }
}

TEST(CleanLine, AgreesWithPlainModelOnRandomCharacters) {
  const std::vector<std::string> alphabet = {
      "&", "#", "0", "1", "2", "3", "4", "5", "6", "8", "9", "x", "X", ";", "\\", "<",
      "p", "P", "b", "B", "r", "R", ">", "/", " ", "l", "L", "t", "g", "a", "m", "]",
      "q", "u", "o", "e", "s", "\x80", "\xE9", "\xFF"};
  ExpectAgreesWithModel(alphabet, 24, 20240501);
}

TEST(CleanLine, AgreesWithPlainModelOnRandomFragments) {
  const std::vector<std::string> alphabet = {
      "&", "&#", "&#x", "&#X", "3", "6", "8", "9", "0", "2", "1", "4", "7", "a", "f", "F",
      ";", "\\", "<", "<p>", "<br", "<BR", " />", "/>", ">", " ", "&lt;", "&LT;", "br",
      "&gt;", "&amp;", "&quot;", "&apos;", "amp;", "]", "]]", "\xE9", "\xC3", "</p>", "</P",
      "&#127;", "&#x9F", "&#159", "&#126;", "&#160;",
      "&#93;", "&#62;", "&#92;", "&#38;", "&#60;", "&#34;", "&#x5D", "\\&#"};
  ExpectAgreesWithModel(alphabet, 12, 7);
}

}  // namespace
}  // namespace zelvane::testing
