#include "base/failure.h"

#include "base/platform.h"

#include <gtest/gtest.h>

namespace zelvane {
namespace {

TEST(IoFailureMessage, SearchesTheTableThenFallsBackToTheCode) {
  struct Case {
    std::int32_t code;
    std::string message;
  } cases[] = {
      {2, "File not found"},         {3, "Invalid filename"},      {4, "Too many open files"},
      {5, "File access denied"},     {100, "Read beyond end of file"}, {101, "Disk full"},
      {106, "Invalid numeric input"}, {112, "I/O error 112"},     {32, "I/O error 32"},
      {28, "I/O error 28"},          {0, "I/O error 0"},           {-1, "I/O error -1"},
  };
  for (const Case& c : cases) EXPECT_EQ(IoFailureMessage(c.code), c.message) << c.code;
}

TEST(FormatFailureReport, WritesTwoLinesAndAnEmptyOne) {
  const auto renamed = FailurePosition::kRename;
  const auto high = static_cast<FailurePosition>(0xABCDEF01u);
  EXPECT_EQ(FormatFailureReport(EInOutError(5, renamed), "Zelvane.exe"),
            "Exception EInOutError in module Zelvane.exe at 000000A0.\r\n"
            "File access denied.\r\n\r\n");
  EXPECT_EQ(FormatFailureReport(EOutOfMemory(), "zelvane"),
            "Exception EOutOfMemory in module zelvane at 00000000.\r\nOut of memory.\r\n\r\n");
  EXPECT_EQ(FormatFailureReport(EInOutError(28, "I/O error 28", high), "zelvane"),
            "Exception EInOutError in module zelvane at ABCDEF01.\r\nI/O error 28.\r\n\r\n");
}

TEST(FormatFailureReport, AddsAFullStopOnlyWhereMissing) {
  EXPECT_EQ(FormatFailureReport(EConvertError("ends."), "z"),
            "Exception EConvertError in module z at 00000000.\r\nends.\r\n\r\n");
  EXPECT_EQ(FormatFailureReport(EConvertError(""), "z"),
            "Exception EConvertError in module z at 00000000.\r\n\r\n\r\n");
}

TEST(EInOutError, CarriesItsCode) {
  const EInOutError error(3);
  EXPECT_EQ(error.errorCode(), 3);
  EXPECT_EQ(error.message(), "Invalid filename");
  EXPECT_STREQ(error.kind(), "EInOutError");
}

TEST(ToConsoleCodePage, KeepsEveryByteBelow0x80AndEveryLength) {
  // The report is ASCII but for what a time stamp brought along; a zero
  // byte in it must neither cut the text nor stop the conversion.
  const std::string cases[] = {
      "",
      "Exception EInOutError in module zelvane at 00000010.\r\nFile not found.\r\n\r\n",
      std::string("a\0b", 3),
      std::string("\0\0x\0", 4),
      std::string(1000, 'z'),
  };
  for (const std::string& text : cases) {
    EXPECT_EQ(platform::ToConsoleCodePage(text), text) << text.size();
  }
  EXPECT_EQ(platform::ToConsoleCodePage("caf\xE9").size(), 4u);
}

}  // namespace
}  // namespace zelvane
