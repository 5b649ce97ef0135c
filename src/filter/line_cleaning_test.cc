#include "filter/line_cleaning.h"

#include "base/byte_string.h"
#include "base/captured_output.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace zelvane {
namespace {

struct Case {
  std::string in;
  std::string out;
};

struct EncodedCase {
  std::string in;
  ListingEncoding encoding;
  std::string out;
};

void ExpectCleaned(const std::vector<Case>& cases,
                   ListingEncoding encoding = ListingEncoding::kLatin1) {
  for (const Case& c : cases) {
    EXPECT_EQ(CleanLine(c.in, encoding), c.out) << "line: " << c.in;
  }
}

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

// --- Ampersands and entities ----------------------------------------------

TEST(CleanLine, EscapesBareAmpersands) {
  ExpectCleaned({
      {"Tom & Jerry", "Tom &amp; Jerry"},
      {"a & b & c", "a &amp; b &amp; c"},
      {"a&&b", "a&amp;&amp;b"},
      {"&", "&amp;"},
      {"&&", "&amp;&amp;"},
      {"x&", "x&amp;"},
      {"a&b;", "a&amp;b;"},
  });
}

TEST(CleanLine, HandlesAnAmpersandAtTheFirstCharacterLikeAnyOther) {
  ExpectCleaned({
      {"& x", "&amp; x"},
      {"&#233;", "\xE9"},
      {"&amp; x", "&amp; x"},
      {"&#abc", "&amp;#abc"},
      {"&x & y", "&amp;x &amp; y"},
  });
}

TEST(CleanLine, LeavesPredefinedEntitiesAlone) {
  ExpectCleaned({
      {"x&amp;y", "x&amp;y"},
      {"x&lt;y", "x&lt;y"},
      {"x&gt;y", "x&gt;y"},
      {"&quot;quoted&quot;", "&quot;quoted&quot;"},
      {"it&apos;s", "it&apos;s"},
      {"&amp;&amp;", "&amp;&amp;"},
      {"&&amp;", "&amp;&amp;"},
      {"\\&amp;", "\\&amp;"},
  });
}

TEST(CleanLine, EscapesOtherNamedReferences) {
  ExpectCleaned({
      {"&AMP;", "&amp;AMP;"},
      {"&Lt;", "&amp;Lt;"},
      {"&QUOT;", "&amp;QUOT;"},
      {"caf&eacute;", "caf&amp;eacute;"},
      {"&nbsp;", "&amp;nbsp;"},
      {"&amp", "&amp;amp"},
      {"&lt", "&amp;lt"},
      {"&apos", "&amp;apos"},
  });
}

TEST(CleanLine, KeepsBackslashesBeforeOtherAmpersands) {
  ExpectCleaned({
      {"a\\&b", "a\\&amp;b"},
      {"a\\&lt;b", "a\\&lt;b"},
      {"a\\&#abc", "a\\&amp;#abc"},
      {"a\\b", "a\\b"},
  });
}

// --- Numeric character references -------------------------------------------

TEST(CleanLine, DecodesNumericReferences) {
  ExpectCleaned({
      {"A &#233; B", "A \xE9 B"},
      {"Grey&#39;s", "Grey's"},
      {"x&#233;&#233;y", "x\xE9\xE9y"},
      {"&#65;", "A"},
      {"&#0000065;", "A"},
      {"&#32;", " "},
      {"&#126;&#127;&#128;", "~&#127;&#128;"},
      {"&#159;&#160;&#x9f;&#x7E;", "&#159;\xA0&#x9f;~"},
      {"&#150 en &#x96", "&amp;#150 en &amp;#x96"},
      {"\\&#150;", "&#150;"},
      {"&#255;", "\xFF"},
      {"&#62;", ">"},
      {"&#39;", "'"},
  });
}

TEST(CleanLine, DecodesHexadecimalReferences) {
  ExpectCleaned({
      {"&#x41;", "A"},
      {"&#X41;", "A"},
      {"&#x4a;&#x4A;", "JJ"},
      {"&#xe9;", "\xE9"},
      {"&#x00000041;", "A"},
      {"&#x41g", "Ag"},
  });
}

TEST(CleanLine, TakesTheSemicolonOnlyAsPartOfTheReference) {
  ExpectCleaned({
      {"&#65;x", "Ax"},
      {"&#65x", "Ax"},
      {"&#65 x", "A x"},
      {"&#65;;", "A;"},
      {"&#65", "A"},
      {"&#x41", "A"},
      {"&#6565;", "&#6565;"},
  });
}

TEST(CleanLine, EscapesAmpersandsThatStartNoReference) {
  ExpectCleaned({
      {"&#", "&amp;#"},
      {"x&#", "x&amp;#"},
      {"&#abc", "&amp;#abc"},
      {"&#;", "&amp;#;"},
      {"&#x;", "&amp;#x;"},
      {"&#xg1;", "&amp;#xg1;"},
      {"&# 65;", "&amp;# 65;"},
      {"&#-5;", "&amp;#-5;"},
      {"&#+5;", "&amp;#+5;"},
      {"&#$41;", "&amp;#$41;"},
  });
}

TEST(CleanLine, WritesSyntaxCharactersAsEntities) {
  ExpectCleaned({
      {"&#038;", "&amp;"},
      {"&#38", "&amp;"},
      {"&#x26;", "&amp;"},
      {"&#060;", "&lt;"},
      {"&#x3C", "&lt;"},
      {"&#34;", "&quot;"},
      {"a=\"&#34;\"", "a=\"&quot;\""},
  });
}

TEST(CleanLine, NeverExaminesDecodedCharactersAgain) {
  ExpectCleaned({
      {"x&#038;#065;", "x&amp;#065;"},
      {"&#38;amp;", "&amp;amp;"},
      {"&#38;#38;", "&amp;#38;"},
      {"&#92;&#65;", "\\A"},
      {"&#92&#65;", "\\A"},
  });
}

TEST(CleanLine, KeepsUndecodableReferencesThatEndWithSemicolon) {
  ExpectCleaned({
      {"&#8217;", "&#8217;"},
      {"Grey&#8217;s", "Grey&#8217;s"},
      {"&#256;", "&#256;"},
      {"&#0;", "&#0;"},
      {"&#10;", "&#10;"},
      {"&#x9;", "&#x9;"},
      {"&#31;", "&#31;"},
      {"&#99999999999999999999999;", "&#99999999999999999999999;"},
      {"&#xFFFFFFFFFFFFFFFF41;", "&#xFFFFFFFFFFFFFFFF41;"},
  });
}

TEST(CleanLine, EscapesUndecodableReferencesWithoutSemicolon) {
  ExpectCleaned({
      {"&#8217", "&amp;#8217"},
      {"&#8217 x", "&amp;#8217 x"},
      {"&#0", "&amp;#0"},
      {"&#10", "&amp;#10"},
      {"&#99999999999999999999999", "&amp;#99999999999999999999999"},
      {"&#4294967361", "&amp;#4294967361"},
  });
}

TEST(CleanLine, RemovesBackslashBeforeDecodedOrKeptReferences) {
  ExpectCleaned({
      {"a\\&#233;b", "a\xE9" "b"},
      {"a\\&#038;b", "a&amp;b"},
      {"\\&#65;", "A"},
      {"\\\\&#65;", "\\A"},
      {"\\&#8217;", "&#8217;"},
      {"\\&#8217", "\\&amp;#8217"},
      {"\\&#", "\\&amp;#"},
      {"a\\&#233;\\&#233;b", "a\xE9\xE9" "b"},
  });
}

// "]]>" may not appear in XML text; a decoded character never completes one.
TEST(CleanLine, NeverCompletesCdataEndWithDecodedCharacters) {
  ExpectCleaned({
      {"]]&#62;", "]]&gt;"},
      {"]&#93;>", "]]&gt;"},
      {"&#93;]>", "]]&gt;"},
      {"&#93;&#93;&#62;", "]]&gt;"},
      {"&#93;&#93;>", "]]&gt;"},
      {"]\\&#93;>", "]]&gt;"},
      {"&#93;]&#62;", "]]&gt;"},
      {"]&#62;", "]>"},
      {"&#93;>", "]>"},
      {"]] &#62;", "]] >"},
      {"&#93;] >", "]] >"},
      {"]]>", "]]>"},
      {"]]>&#62;", "]]>>"},
  });
}

// --- Encodings --------------------------------------------------------------

TEST(CleanLine, DecodesReferencesForTheListingEncoding) {
  constexpr ListingEncoding kLatin1 = ListingEncoding::kLatin1;
  constexpr ListingEncoding kUtf8 = ListingEncoding::kUtf8;
  constexpr ListingEncoding kOther = ListingEncoding::kOtherSingleByte;
  const std::vector<EncodedCase> cases = {
      {"&#233;", kLatin1, "\xE9"},
      {"&#233;", kUtf8, "\xC3\xA9"},
      {"&#233;", kOther, "&#233;"},
      {"&#233", kOther, "&amp;#233"},
      {"&#8217;", kLatin1, "&#8217;"},
      {"&#8217;", kUtf8, "\xE2\x80\x99"},
      {"&#8217", kUtf8, "\xE2\x80\x99"},
      {"&#8217;", kOther, "&#8217;"},
      {"&#65;", kOther, "A"},
      {"&#126;", kOther, "~"},
      {"&#127;", kOther, "&#127;"},
      {"&#128;", kOther, "&#128;"},
      {"&#127;", kUtf8, "&#127;"},
      {"&#159;", kUtf8, "&#159;"},
      {"&#160;", kUtf8, "\xC2\xA0"},
      {"&#x7FF;", kUtf8, "\xDF\xBF"},
      {"&#x800;", kUtf8, "\xE0\xA0\x80"},
      {"&#xD7FF;", kUtf8, "\xED\x9F\xBF"},
      {"&#xD800;", kUtf8, "&#xD800;"},
      {"&#xDFFF;", kUtf8, "&#xDFFF;"},
      {"&#xE000;", kUtf8, "\xEE\x80\x80"},
      {"&#xFFFD;", kUtf8, "\xEF\xBF\xBD"},
      {"&#xFFFE;", kUtf8, "&#xFFFE;"},
      {"&#xFFFF;", kUtf8, "&#xFFFF;"},
      {"&#xFFFF", kUtf8, "&amp;#xFFFF"},
      {"&#x10000;", kUtf8, "\xF0\x90\x80\x80"},
      {"&#x1F600;", kUtf8, "\xF0\x9F\x98\x80"},
      {"&#x10FFFF;", kUtf8, "\xF4\x8F\xBF\xBF"},
      {"&#x110000;", kUtf8, "&#x110000;"},
      {"&#1114111;", kUtf8, "\xF4\x8F\xBF\xBF"},
      {"&#1114112;", kUtf8, "&#1114112;"},
      {"&#10;", kUtf8, "&#10;"},
      {"&#38;&#60;&#34;", kUtf8, "&amp;&lt;&quot;"},
      {"&#38;&#60;&#34;", kOther, "&amp;&lt;&quot;"},
      {"\\&#233;", kOther, "&#233;"},
      {"\\&#233", kOther, "\\&amp;#233"},
      {"caf\xE9 & co", kOther, "caf\xE9 &amp; co"},
      {"caf\xC3\xA9 & co", kUtf8, "caf\xC3\xA9 &amp; co"},
  };
  for (const EncodedCase& c : cases) {
    EXPECT_EQ(CleanLine(c.in, c.encoding), c.out)
        << "line: " << c.in << " encoding: " << static_cast<int>(c.encoding);
  }
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

std::string ModelRepairAmpersands(const std::string& s, ListingEncoding encoding) {
  std::string out;
  std::vector<bool> decoded;  // per byte of `out`: written for a decoded reference
  const auto put = [&](std::string_view bytes, bool fromReference) {
    for (char c : bytes) {
      // "]]>" must not be completed by a decoded character.
      if (c == '>' && out.size() >= 2 && out[out.size() - 1] == ']' &&
          out[out.size() - 2] == ']' &&
          (fromReference || decoded[out.size() - 1] || decoded[out.size() - 2])) {
        for (char e : std::string_view("&gt;")) {
          out += e;
          decoded.push_back(fromReference);
        }
        continue;
      }
      out += c;
      decoded.push_back(fromReference);
    }
  };
  const auto starts = [&](std::size_t i, std::string_view text) {
    return s.compare(i, text.size(), text) == 0;
  };
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '&') {
      put(std::string_view(&s[i], 1), false);
      ++i;
      continue;
    }
    bool handled = false;
    for (std::string_view entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
      if (!handled && starts(i, entity)) {
        put(entity, false);
        i += entity.size();
        handled = true;
      }
    }
    if (handled) continue;
    if (starts(i, "&#")) {
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
      if (j > first) {
        const bool semicolon = j < s.size() && s[j] == ';';
        if (semicolon) ++j;
        std::string bytes;
        if (value >= 127 && value <= 159) {
          // DEL and the C1 controls: never decoded.
        } else if (value == 38) {
          bytes = "&amp;";
        } else if (value == 60) {
          bytes = "&lt;";
        } else if (value == 34) {
          bytes = "&quot;";
        } else if (value >= 32 && encoding == ListingEncoding::kLatin1 && value <= 255) {
          bytes = std::string(1, static_cast<char>(value));
        } else if (value >= 32 && encoding == ListingEncoding::kOtherSingleByte &&
                   value <= 127) {
          bytes = std::string(1, static_cast<char>(value));
        } else if (value >= 32 && encoding == ListingEncoding::kUtf8 && value <= 0x10FFFF &&
                   (value < 0xD800 || value > 0xDFFF) && value != 0xFFFE && value != 0xFFFF) {
          const auto b = [](std::uint64_t x) { return static_cast<char>(x); };
          if (value < 0x80) {
            bytes = {b(value)};
          } else if (value < 0x800) {
            bytes = {b(0xC0 | value >> 6), b(0x80 | (value & 0x3F))};
          } else if (value < 0x10000) {
            bytes = {b(0xE0 | value >> 12), b(0x80 | (value >> 6 & 0x3F)),
                     b(0x80 | (value & 0x3F))};
          } else {
            bytes = {b(0xF0 | value >> 18), b(0x80 | (value >> 12 & 0x3F)),
                     b(0x80 | (value >> 6 & 0x3F)), b(0x80 | (value & 0x3F))};
          }
        }
        const bool kept = bytes.empty() && semicolon;
        if (!bytes.empty() || kept) {
          if (!out.empty() && out.back() == '\\' && !decoded.back()) {
            out.pop_back();
            decoded.pop_back();
          }
          if (kept) {
            put(std::string_view(s).substr(i, j - i), false);
          } else {
            put(bytes, true);
          }
          i = j;
          continue;
        }
      }
    }
    put("&amp;", false);
    ++i;
  }
  return out;
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
}  // namespace zelvane
