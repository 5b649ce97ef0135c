#include "filter/line_cleaning.h"

#include "filter/line_cleaning_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zelvane::testing {
namespace {

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

struct EncodedCase {
  std::string in;
  ListingEncoding encoding;
  std::string out;
};

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

}  // namespace
}  // namespace zelvane::testing
