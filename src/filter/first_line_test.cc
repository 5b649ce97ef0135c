#include "filter/first_line.h"

#include <gtest/gtest.h>

#include <string>

#include "base/captured_output.h"

namespace zelvane {
namespace {

TEST(DetectEncoding, ReadsTheDeclaredEncoding) {
  struct Case {
    std::string firstLine;
    ListingEncoding encoding;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", ListingEncoding::kUtf8},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", ListingEncoding::kUtf8},
      {"<?xml version=\"1.0\" encoding='Utf8'?>", ListingEncoding::kUtf8},
      {"<?xml version=\"1.0\" ENCODING = \"UTF-8\"?>", ListingEncoding::kUtf8},
      {"<?xml version=\"1.0\" encoding=\t\"utf-8\"?>", ListingEncoding::kUtf8},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", ListingEncoding::kLatin1},
      {"<?xml version=\"1.0\" encoding=\"latin1\"?>", ListingEncoding::kLatin1},
      {"<?xml version=\"1.0\"?>", ListingEncoding::kLatin1},
      {"<tv>", ListingEncoding::kLatin1},
      {"", ListingEncoding::kLatin1},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", ListingEncoding::kOtherSingleByte},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>", ListingEncoding::kOtherSingleByte},
      {"<?xml version=\"1.0\" encoding=\"utf-8 \"?>", ListingEncoding::kOtherSingleByte},
      {"<?xml version=\"1.0\" encoding=utf-8?>", ListingEncoding::kOtherSingleByte},
      {"<?xml version=\"1.0\" encoding=\"utf-8", ListingEncoding::kOtherSingleByte},
      {"<tv encoding-note=\"x\" encoding=\"UTF-8\">", ListingEncoding::kUtf8},
      {"\xEF\xBB\xBF<tv>", ListingEncoding::kUtf8},
      {"\xEF\xBB\xBF<?xml version=\"1.0\"?>", ListingEncoding::kUtf8},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>", ListingEncoding::kUtf8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectEncoding(c.firstLine), c.encoding) << c.firstLine;
  }
}

TEST(LooksLikeUtf8, TakesWellFormedSequencesAndTheirCutOffStarts) {
  struct Case {
    std::string head;
    bool utf8;
  };
  const Case cases[] = {
      {"", false},
      {"plain ASCII <tv>", false},
      {"caf\xC3\xA9", true},
      {"caf\xE9 ", false},
      {"\xE2\x80\x99 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF \xED\x9F\xBF", true},
      {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xEE\x80\x80\xF0\x90\x80\x80", true},
      // Overlong forms, surrogates, beyond U+10FFFF, stray continuations.
      {"\xC0\x80", false},
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},
      {"\xED\xA0\x80", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xF4\x90\x80\x80", false},
      {"\xF5\x80\x80\x80", false},
      {"\x80", false},
      {"\xC3\xA9\xA9", false},
      {"\xC3\xA9\xFF", false},
      {"\xC3 ", false},
      {"\xE2\x80 ", false},
      // Cut off by the end of the bytes looked at.
      {"a\xC3", true},
      {"a\xE2\x80", true},
      {"a\xF0\x9F\x98", true},
      {"a\xE0", true},
      {"caf\xE9", true},
      {"a\xE0\x80", false},
      {"a\xF4\x90", false},
  };
  for (const Case& c : cases) EXPECT_EQ(LooksLikeUtf8(c.head), c.utf8) << c.head;
}

TEST(WriteFirstLine, DeclaresTheEncodingOnceWhateverTheFirstLine) {
  struct Case {
    std::string firstLine;
    std::string head;  // what the output begins with
    ListingEncoding encoding;
  };
  const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";
  const Case cases[] = {
      {"<tv>", kDeclaration + "<tv>\r\n", ListingEncoding::kLatin1},
      {"", kDeclaration + "\r\n", ListingEncoding::kLatin1},
      {"<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n",
       ListingEncoding::kLatin1},
      {"<?xml version='1.0' standalone='yes'?>",
       "<?xml version='1.0' encoding=\"ISO-8859-1\" standalone='yes'?>\r\n",
       ListingEncoding::kLatin1},
      {"<?xml  version = \"1.0\" ?>", "<?xml  version = \"1.0\" encoding=\"ISO-8859-1\" ?>\r\n",
       ListingEncoding::kLatin1},
      {"<?xml?>", "<?xml encoding=\"ISO-8859-1\"?>\r\n", ListingEncoding::kLatin1},
      {"<?xml standalone=\"no\"?>", "<?xml encoding=\"ISO-8859-1\" standalone=\"no\"?>\r\n",
       ListingEncoding::kLatin1},
      {"<?xml version=\"1.0?>", "<?xml encoding=\"ISO-8859-1\" version=\"1.0?>\r\n",
       ListingEncoding::kLatin1},
      {"<?xml-stylesheet href=\"a\"?>", kDeclaration + "<?xml-stylesheet href=\"a\"?>\r\n",
       ListingEncoding::kLatin1},
      {"<?xml", kDeclaration + "<?xml\r\n", ListingEncoding::kLatin1},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", ListingEncoding::kUtf8},
      {"<?XML VERSION=\"1.0\" ENCODING=\"ISO-8859-1\"?>",
       "<?XML VERSION=\"1.0\" ENCODING=\"ISO-8859-1\"?>\r\n", ListingEncoding::kLatin1},
      {"<?xml version=\"1.0\" encoding = \"windows-1252\"?>",
       "<?xml version=\"1.0\" encoding = \"windows-1252\"?>\r\n",
       ListingEncoding::kOtherSingleByte},
      {"\xEF\xBB\xBF<tv>", "\xEF\xBB\xBF<tv>\r\n", ListingEncoding::kUtf8},
      {"\xEF\xBB\xBF<?xml version=\"1.0\"?>", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n",
       ListingEncoding::kUtf8},
      {"<programme start=\"20070715203000 CET\" stop=\"x\" channel=\"c\">",
       kDeclaration + "<programme start=\"20070715203000 CET\" stop=\"x\" channel=\"c\">\r\n",
       ListingEncoding::kLatin1},
  };
  for (const Case& c : cases) {
    CapturedOutput output;
    EXPECT_EQ(
        WriteFirstLine(c.firstLine, LooksLikeUtf8(c.firstLine + "\n<tv>\n"), output.writer()),
        c.encoding)
        << c.firstLine;
    EXPECT_EQ(output.Take(), c.head) << c.firstLine;
  }
}

}  // namespace
}  // namespace zelvane
