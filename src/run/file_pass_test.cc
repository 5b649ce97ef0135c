#include "run/file_pass.h"

#include "base/captured_output.h"
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

  // Runs the pass from `source` to `destination`, keeping its console lines.
  int Run(const std::string& source, const std::string& destination) {
    settings_ = RunSettings();
    settings_.source = PathOf(source);
    settings_.destination = PathOf(destination);
    CapturedOutput console;
    const int status = RunFilePass(settings_, console.writer());
    console_ = console.Take();
    return status;
  }

  std::filesystem::path directory_;
  RunSettings settings_;
  std::string console_;
};

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
  CapturedOutput console;
  try {
    RunFilePass(settings_, console.writer());
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
  CapturedOutput console, output;
  EXPECT_EQ(RunFilePass(settings_, console.writer(), &output.writer()), 0);
  EXPECT_EQ(output.Take(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<tv>\r\n</tv>\r\n");
  EXPECT_EQ(console.Take(), "");
  EXPECT_FALSE(std::filesystem::exists(directory_ / "-"));
}

TEST_F(FilePassTest, StandardOutputThatIsTheSourceIsASharingViolation) {
  // Standard output appended to the source would grow it without end.
  const std::string listing = "<tv>\n</tv>\n";
  Write("in.xml", listing);
  settings_ = RunSettings();
  settings_.source = PathOf("in.xml");
  settings_.destination = "-";
  CapturedOutput console;
  LineWriter output(platform::OpenForReading(PathOf("in.xml")), false);
  try {
    RunFilePass(settings_, console.writer(), &output);
    ADD_FAILURE() << "no failure";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.errorCode(), 32);
  }
  EXPECT_EQ(Read("in.xml"), listing);
}

}  // namespace
}  // namespace zelvane
