#include "run/file_pass.h"

#include "base/failure.h"
#include "base/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace zelvane {
namespace {

TEST(WorkingFileName, ReplacesTheExtensionOfTheLastName) {
  struct Case {
    const char* destination;
    const char* working;
  };
  const Case cases[] = {
      {"listing.xml", "listing.~tm"},
      {"listing", "listing.~tm"},
      {"listing.", "listing.~tm"},
      {"a.tar.gz", "a.tar.~tm"},
      {"/tmp/guide.xml", "/tmp/guide.~tm"},
      {"dir.d\\listing", "dir.d\\listing.~tm"},
      {"dir.d/listing", "dir.d/listing.~tm"},
      {"a.b/c.xml", "a.b/c.~tm"},
      {"../listing", "../listing.~tm"},
      {"./listing.xml", "./listing.~tm"},
      {"c:listing", "c:listing.~tm"},
      {"a.b:c", "a.b:c.~tm"},
      {"x.~tm", "x.~tm"},
      {".hidden", ".~tm"},
      {"", ".~tm"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WorkingFileName(c.destination), c.working) << c.destination;
  }
}

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

// A fresh directory for one test, removed at its end.
class FilePassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    directory_ = std::filesystem::temp_directory_path() /
                 ("zelvane_file_pass_" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(directory_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(directory_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Runs the pass from `source` to `destination` with a console in memory.
  int Run(const std::string& source, const std::string& destination) {
    settings_ = RunSettings();
    settings_.source = PathOf(source);
    settings_.destination = PathOf(destination);
    console_.clear();
    LineWriter console(&console_);
    return RunFilePass(settings_, console);
  }

  std::filesystem::path directory_;
  RunSettings settings_;
  std::string console_;
};

TEST_F(FilePassTest, DeclaresTheEncodingOnceWhateverTheFirstLine) {
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
    Write("in.xml", c.firstLine + "\n<tv>\n");
    ASSERT_EQ(Run("in.xml", "out.xml"), 0) << c.firstLine;
    EXPECT_EQ(Read("out.xml"), c.head + "<tv>\r\n") << c.firstLine;
    std::string written;
    LineWriter writer(&written);
    EXPECT_EQ(WriteFirstLine(c.firstLine, LooksLikeUtf8(c.firstLine + "\n<tv>\n"), writer),
              c.encoding)
        << c.firstLine;
  }
}

TEST_F(FilePassTest, EmptySourceGivesAnEmptyOutput) {
  for (const std::string& source : {std::string(), std::string("\x1a<tv>\n")}) {
    Write("in.xml", source);
    Write("out.xml", "old content");
    EXPECT_EQ(Run("in.xml", "out.xml"), 0);
    EXPECT_EQ(Read("out.xml"), "");
  }
}

TEST_F(FilePassTest, MissingSourceIsReportedAndCreatesNothing) {
  std::filesystem::create_directory(directory_ / "folder");
  for (const std::string& source : {std::string("missing.xml"), std::string("folder")}) {
    EXPECT_EQ(Run(source, "out.xml"), 1) << source;
    EXPECT_EQ(console_, "\r\nError: Source file does not exist\r\n") << source;
    EXPECT_FALSE(std::filesystem::exists(directory_ / "out.xml")) << source;
  }
}

TEST_F(FilePassTest, ReplacesTheSourceAndLeavesNoWorkingFile) {
  Write("in.xml", "<tv>\n</tv>\n");
  std::filesystem::permissions(directory_ / "in.xml", std::filesystem::perms(0640));
  EXPECT_EQ(Run("in.xml", "in.xml"), 0);
  EXPECT_EQ(Read("in.xml"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<tv>\r\n</tv>\r\n");
  EXPECT_FALSE(std::filesystem::exists(directory_ / "in.~tm"));
  // Windows has no permission bits, only a read-only flag.
  if (!ZELVANE_ON_WINDOWS) {
    EXPECT_EQ(std::filesystem::status(directory_ / "in.xml").permissions(),
              std::filesystem::perms(0640));
  }
  EXPECT_EQ(console_, "");
}

TEST_F(FilePassTest, SameFileUnderAnotherNameGetsTheResult) {
  const std::string listing = "<tv>\n</tv>\n";
  const std::string result =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<tv>\r\n</tv>\r\n";
  const std::string viaParent = "../" + directory_.filename().string() + "/in.xml";
  std::vector<std::string> destinations = {"./in.xml", "hard.xml", viaParent};
  // Windows keeps symbolic links to its administrators.
  if (!ZELVANE_ON_WINDOWS) destinations.push_back("soft.xml");
  for (const std::string& destination : destinations) {
    std::filesystem::remove(directory_ / "hard.xml");
    Write("in.xml", listing);
    std::filesystem::create_hard_link(directory_ / "in.xml", directory_ / "hard.xml");
    if (!ZELVANE_ON_WINDOWS && !std::filesystem::is_symlink(directory_ / "soft.xml")) {
      std::filesystem::create_symlink("in.xml", directory_ / "soft.xml");
    }
    EXPECT_EQ(Run("in.xml", destination), 0) << destination;
    // A hard link is split: the source's own name keeps the listing.
    const bool split = destination == "hard.xml";
    EXPECT_EQ(Read(split ? "hard.xml" : "in.xml"), result) << destination;
    if (split) {
      EXPECT_EQ(Read("in.xml"), listing);
    }
    EXPECT_FALSE(std::filesystem::exists(directory_ / "in.~tm")) << destination;
    EXPECT_FALSE(std::filesystem::exists(directory_ / "hard.~tm")) << destination;
  }
  if (!ZELVANE_ON_WINDOWS) {
    EXPECT_TRUE(std::filesystem::is_symlink(directory_ / "soft.xml"));
  }
}

TEST_F(FilePassTest, SourceNamedLikeItsWorkingFileIsASharingViolation) {
  Write("x.~tm", "<tv>\n");
  try {
    Run("x.~tm", "x.~tm");
    ADD_FAILURE() << "no failure";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.errorCode(), 32);
  }
  EXPECT_EQ(Read("x.~tm"), "<tv>\n");
}

TEST_F(FilePassTest, FullDeviceIsAnIoError) {
  if (ZELVANE_ON_WINDOWS) GTEST_SKIP() << "needs /dev/full, which Windows lacks";
  Write("in.xml", std::string(300, 'a') + "\n");
  settings_.source = PathOf("in.xml");
  settings_.destination = "/dev/full";
  LineWriter console(&console_);
  try {
    RunFilePass(settings_, console);
    ADD_FAILURE() << "no failure";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.errorCode(), 28);
  }
}

TEST_F(FilePassTest, WritesADestinationDashToStandardOutput) {
  Write("in.xml", "<tv>\n</tv>\n");
  settings_ = RunSettings();
  settings_.source = PathOf("in.xml");
  settings_.destination = "-";
  std::string standardOutput;
  LineWriter console(&console_), output(&standardOutput);
  EXPECT_EQ(RunFilePass(settings_, console, &output), 0);
  EXPECT_EQ(standardOutput,
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<tv>\r\n</tv>\r\n");
  EXPECT_EQ(console_, "");
  EXPECT_FALSE(std::filesystem::exists(directory_ / "-"));
}

TEST_F(FilePassTest, StandardOutputThatIsTheSourceIsASharingViolation) {
  // Standard output appended to the source would grow it without end.
  const std::string listing = "<tv>\n</tv>\n";
  Write("in.xml", listing);
  settings_ = RunSettings();
  settings_.source = PathOf("in.xml");
  settings_.destination = "-";
  LineWriter console(&console_);
  LineWriter output(platform::OpenForReading(PathOf("in.xml")), false);
  try {
    RunFilePass(settings_, console, &output);
    ADD_FAILURE() << "no failure";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.errorCode(), 32);
  }
  EXPECT_EQ(Read("in.xml"), listing);
}

}  // namespace
}  // namespace zelvane
