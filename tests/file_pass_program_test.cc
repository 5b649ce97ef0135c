// Whole-program tests of the file pass: output files, console output and exit
// status, byte for byte, for the edge cases of reading, declaring and
// replacing, and for the failures a run can end with.
#include "program_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace zelvane::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(ZELVANE_TEST_DATA) / "filepass";
const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";

// Skips the test where it needs what only POSIX systems have.
#define SKIP_WITHOUT_POSIX(what) \
  if (kOnWindows) GTEST_SKIP() << "needs " what ", which Windows lacks"

// The listing that `fixture` holds, as the pass should write it.
std::string FixtureIn(const std::string& fixture) { return ReadFile(kFixtures / (fixture + ".in")); }
std::string FixtureOut(const std::string& fixture) {
  return ReadFile(kFixtures / (fixture + ".out"));
}

const char* const kFixtureNames[] = {
    "empty",
    "one_line_without_line_end",
    "encoding_in_upper_case",
    "encoding_with_blanks",
    "declaration_without_encoding",
    "byte_order_mark",
    "first_line_opens_a_programme",
    "lf_line_ends",
    "crlf_and_lone_cr",
    "cr_line_ends",
    "ctrl_z_at_line_start",
    "ctrl_z_inside_line",
    "long_line",
};

class FilePassFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(FilePassFixture, WritesTheDestination) {
  const fs::path dir = FreshDirectory(std::string("fixture_") + GetParam());
  WriteFile(dir / "listing.xml", FixtureIn(GetParam()));
  const ProgramResult run = RunProgram({"listing.xml", "--output", "out.xml"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, SettingsReport("listing.xml", "out.xml"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(dir / "out.xml"), FixtureOut(GetParam()));
  EXPECT_EQ(ReadFile(dir / "listing.xml"), FixtureIn(GetParam()));
}

TEST_P(FilePassFixture, ReplacesTheSource) {
  const fs::path dir = FreshDirectory(std::string("replace_") + GetParam());
  WriteFile(dir / "listing.xml", FixtureIn(GetParam()));
  const ProgramResult run = RunProgram({"listing.xml", "--output", "listing.xml"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, SettingsReport("listing.xml", "listing.xml"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(dir / "listing.xml"), FixtureOut(GetParam()));
  EXPECT_FALSE(fs::exists(dir / "listing.~tm"));
}

INSTANTIATE_TEST_SUITE_P(FilePass, FilePassFixture, ::testing::ValuesIn(kFixtureNames),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

const std::string kListing = "<tv>\n<channel id=\"a\">\n</channel>\n</tv>\n";
const std::string kResult =
    CrLf({kDeclaration, "<tv>", "<channel id=\"a\">", "</channel>", "</tv>"});

TEST(FilePass, MissingSourceIsReportedWithStatusOne) {
  const fs::path dir = FreshDirectory("missing_source");
  fs::create_directory(dir / "folder");
  WriteFile(dir / "file.txt", "");
  for (const std::string& source : {std::string("missing.xml"), std::string("folder"),
                                    std::string("nowhere/listing.xml"),
                                    std::string("file.txt/listing.xml")}) {
    const ProgramResult run = RunProgram({source, "--output", "out.xml"}, dir);
    EXPECT_EQ(run.status, 1) << source;
    EXPECT_EQ(run.out, SettingsReport(source, "out.xml") +
                           CrLf({"", "Error: Source file does not exist"}))
        << source;
    EXPECT_EQ(run.err, "") << source;
    EXPECT_FALSE(fs::exists(dir / "out.xml")) << source;
  }
}

TEST(FilePass, MissingOutputDirectoryIsInvalidFilename) {
  const fs::path dir = FreshDirectory("missing_output_directory");
  WriteFile(dir / "listing.xml", kListing);
  const ProgramResult run = RunProgram({"listing.xml", "--output", "nowhere/out.xml"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, SettingsReport("listing.xml", "nowhere/out.xml"));
  ExpectFailureReport(run.err, "EInOutError", "Invalid filename.");
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
}

TEST(FilePass, OverlongSourceNameFailsBeforeAnyOutput) {
  const fs::path dir = FreshDirectory("overlong_name");
  const std::string source(300, 'n');
  const ProgramResult run = RunProgram({source, "--output", "out.xml"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, SettingsReport(source, "out.xml"));
  // POSIX says the name is too long; Windows reports its own code for that,
  // 206, which the message table does not name.
  ExpectFailureReport(run.err, "EInOutError", kOnWindows ? "I/O error 206." : "Invalid filename.");
  EXPECT_FALSE(fs::exists(dir / "out.xml"));
}

TEST(FilePass, FullOutputDeviceIsIoError28) {
  SKIP_WITHOUT_POSIX("/dev/full");
  const fs::path dir = FreshDirectory("output_full");
  WriteFile(dir / "listing.xml", kListing);
  const ProgramResult run = RunProgram({"listing.xml", "--output", "/dev/full"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, SettingsReport("listing.xml", "/dev/full"));
  ExpectFailureReport(run.err, "EInOutError", "I/O error 28.");
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
}

TEST(FilePass, FullStandardOutputEndsTheRunBeforeAnyFile) {
  SKIP_WITHOUT_POSIX("/dev/full");
  const fs::path dir = FreshDirectory("stdout_full");
  WriteFile(dir / "listing.xml", kListing);
  const ProgramResult run = RunProgram({"listing.xml", "--output", "out.xml"}, dir, "/dev/full");
  EXPECT_EQ(run.status, 1);
  ExpectFailureReport(run.err, "EInOutError", "I/O error 28.");
  EXPECT_FALSE(fs::exists(dir / "out.xml"));
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
}

TEST(FilePass, SameFileUnderAnotherNameGetsTheResultThroughTheWorkingFile) {
  const fs::path dir = FreshDirectory("same_file");
  std::vector<std::string> destinations = {"./listing.xml", (dir / "listing.xml").string(),
                                           "hard.xml"};
  if (!kOnWindows) destinations.push_back("soft.xml");
  for (const std::string& destination : destinations) {
    fs::remove(dir / "hard.xml");
    WriteFile(dir / "listing.xml", kListing);
    fs::create_hard_link(dir / "listing.xml", dir / "hard.xml");
    if (!kOnWindows && !fs::is_symlink(dir / "soft.xml")) {
      fs::create_symlink("listing.xml", dir / "soft.xml");
    }
    const ProgramResult run = RunProgram({"listing.xml", "--output", destination}, dir);
    EXPECT_EQ(run.status, 0) << destination;
    EXPECT_EQ(run.err, "") << destination;
    // A hard link is split: the source's own name keeps the listing.
    const bool split = destination == "hard.xml";
    EXPECT_EQ(ReadFile(dir / (split ? "hard.xml" : "listing.xml")), kResult) << destination;
    if (split) {
      EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
    }
    EXPECT_FALSE(fs::exists(dir / "listing.~tm")) << destination;
  }
  if (!kOnWindows) {
    EXPECT_TRUE(fs::is_symlink(dir / "soft.xml"));
  }
}

TEST(FilePass, SourceNamedLikeItsWorkingFileIsKept) {
  const fs::path dir = FreshDirectory("source_is_working_file");
  WriteFile(dir / "listing.~tm", kListing);
  const ProgramResult run = RunProgram({"listing.~tm", "--output", "listing.~tm"}, dir);
  EXPECT_EQ(run.status, 1);
  ExpectFailureReport(run.err, "EInOutError", "I/O error 32.");
  EXPECT_EQ(ReadFile(dir / "listing.~tm"), kListing);
}

TEST(FilePass, ReplacesSourcesOfEveryNameForm) {
  struct Case {
    const char* source;
    const char* leftover;  // a name where no working file may remain
  };
  for (const Case c : {Case{"listing", "listing.~tm"}, Case{"dir.d/listing", "dir.~tm"},
                       Case{"dir.d/listing", "dir.d/listing.~tm"},
                       Case{"a.b/c.xml", "a.b/c.~tm"}, Case{"dir.d\\listing", "dir.~tm"}}) {
    const fs::path dir = FreshDirectory("name_forms");
    fs::create_directory(dir / "dir.d");
    fs::create_directory(dir / "a.b");
    WriteFile(dir / c.source, kListing);
    const ProgramResult run = RunProgram({c.source, "--output", c.source}, dir);
    EXPECT_EQ(run.status, 0) << c.source;
    EXPECT_EQ(run.err, "") << c.source;
    EXPECT_EQ(ReadFile(dir / c.source), kResult) << c.source;
    EXPECT_FALSE(fs::exists(dir / c.leftover)) << c.source;
  }
}

TEST(FilePass, LeftoverWorkingFileIsReplaced) {
  const fs::path dir = FreshDirectory("leftover");
  WriteFile(dir / "listing.xml", kListing);
  WriteFile(dir / "listing.~tm", std::string(5000, 'L'));
  fs::permissions(dir / "listing.~tm", fs::perms::owner_read);
  const ProgramResult run = RunProgram({"listing.xml", "--output", "listing.xml"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kResult);
  EXPECT_FALSE(fs::exists(dir / "listing.~tm"));
}

TEST(FilePass, PlantedLinkAtTheWorkingFileIsNeverFollowed) {
  SKIP_WITHOUT_POSIX("symbolic links");
  const fs::path dir = FreshDirectory("planted_link");
  WriteFile(dir / "listing.xml", kListing);
  WriteFile(dir / "victim.txt", "precious");
  fs::create_symlink("victim.txt", dir / "listing.~tm");
  const ProgramResult run = RunProgram({"listing.xml", "--output", "listing.xml"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(dir / "victim.txt"), "precious");
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kResult);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "listing.~tm")));
}

TEST(FilePass, PlantedLinkToTheSourceAtTheWorkingFileLosesNothing) {
  SKIP_WITHOUT_POSIX("symbolic links");
  const fs::path dir = FreshDirectory("planted_link_to_source");
  WriteFile(dir / "listing.xml", kListing);
  fs::create_symlink("listing.xml", dir / "listing.~tm");
  const ProgramResult run = RunProgram({"listing.xml", "--output", "listing.xml"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kResult);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "listing.~tm")));
}

TEST(FilePass, SourceLinkStaysAndItsFileIsReplaced) {
  SKIP_WITHOUT_POSIX("symbolic links");
  const fs::path dir = FreshDirectory("source_link");
  fs::create_directory(dir / "data");
  WriteFile(dir / "data" / "real.xml", kListing);
  fs::permissions(dir / "data" / "real.xml", fs::perms(0640));
  fs::create_symlink("data/real.xml", dir / "link.xml");
  const ProgramResult run = RunProgram({"link.xml", "--output", "link.xml"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
  EXPECT_EQ(fs::read_symlink(dir / "link.xml"), "data/real.xml");
  EXPECT_EQ(ReadFile(dir / "data" / "real.xml"), kResult);
  EXPECT_EQ(fs::status(dir / "data" / "real.xml").permissions(), fs::perms(0640));
  EXPECT_FALSE(fs::exists(dir / "link.~tm"));
  EXPECT_FALSE(fs::exists(dir / "data" / "real.~tm"));
}

TEST(FilePass, ReplacedSourceKeepsItsPermissions) {
  SKIP_WITHOUT_POSIX("permission bits");
  const fs::path dir = FreshDirectory("permissions");
  WriteFile(dir / "listing.xml", kListing);
  fs::permissions(dir / "listing.xml", fs::perms(0604));
  const ProgramResult run = RunProgram({"listing.xml", "--output", "listing.xml"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(fs::status(dir / "listing.xml").permissions(), fs::perms(0604));
}

// A listing whose output is far larger than the write buffer.
std::string LargeListing(std::string* result) {
  std::string listing = "<tv>\n";
  *result = CrLf({kDeclaration, "<tv>"});
  for (int i = 0; i < 20000; ++i) {
    const std::string line = "<channel id=\"c" + std::to_string(i) + "\">";
    listing += line + "\n";
    *result += line + "\r\n";
  }
  return listing;
}

TEST(FilePass, WriteFailingHalfWayKeepsSourceAndWhatWasWritten) {
  SKIP_WITHOUT_POSIX("ulimit");
  std::string result;
  const std::string listing = LargeListing(&result);
  // The file size limit of 200 blocks of 512 bytes stops the second buffer
  // write part of the way; the program ignores the signal it raises, so the
  // write fails with EFBIG.
  const std::string limit = "ulimit -f 200;";
  const fs::path dir = FreshDirectory("write_fails");
  WriteFile(dir / "listing.xml", listing);
  WriteFile(dir / "out.xml", "yesterday's guide");

  // The destination stays as it was; the working file keeps what was written.
  ProgramResult run = RunInShell(limit, "", {"listing.xml", "--output", "out.xml"}, dir);
  EXPECT_EQ(run.status, 1);
  ExpectFailureReport(run.err, "EInOutError", "I/O error 27.");
  EXPECT_EQ(ReadFile(dir / "out.xml"), "yesterday's guide");
  EXPECT_EQ(ReadFile(dir / "out.~tm"), result.substr(0, 200 * 512));

  run = RunInShell(limit, "", {"listing.xml", "--output", "listing.xml"}, dir);
  EXPECT_EQ(run.status, 1);
  ExpectFailureReport(run.err, "EInOutError", "I/O error 27.");
  EXPECT_EQ(ReadFile(dir / "listing.xml"), listing);
  EXPECT_EQ(ReadFile(dir / "listing.~tm"), result.substr(0, 200 * 512));
  fs::remove_all(dir);
}

// AddressSanitizer reserves far more address space than the limit below.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELVANE_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZELVANE_ADDRESS_SANITIZER 1
#endif

#if !defined(ZELVANE_ADDRESS_SANITIZER)
TEST(FilePass, FailureHalfWayLeavesTheWholeBlocksWritten) {
  SKIP_WITHOUT_POSIX("ulimit");
  // 1000 lines, then a line too long for the address-space limit: the run
  // ends out of memory while the writer holds less than its buffer.
  std::string listing = "<tv>\n";
  std::string result = CrLf({kDeclaration, "<tv>"});
  for (int i = 0; i < 1000; ++i) {
    const std::string line = "<channel id=\"c" + std::to_string(i) + "\">";
    listing += line + "\n";
    result += line + "\r\n";
  }
  listing += std::string(40 * 1024 * 1024, 'x') + "\n</tv>\n";
  for (const std::string& destination : {std::string("out.xml"), std::string("listing.xml")}) {
    const fs::path dir = FreshDirectory("out_of_memory");
    WriteFile(dir / "listing.xml", listing);
    const ProgramResult run =
        RunInShell("ulimit -v 32000;", "", {"listing.xml", "--output", destination}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, SettingsReport("listing.xml", destination));
    ExpectFailureReport(run.err, "EOutOfMemory", "Out of memory.");
    const std::string output = destination == "out.xml" ? "out.~tm" : "listing.~tm";
    EXPECT_EQ(ReadFile(dir / output), result.substr(0, result.size() / 128 * 128)) << destination;
    EXPECT_FALSE(fs::exists(dir / "out.xml")) << destination;
    EXPECT_EQ(fs::file_size(dir / "listing.xml"), listing.size()) << destination;
    fs::remove_all(dir);
  }
}
#endif

TEST(FilePass, UnreadableSourceLeavesTheDestinationUntouched) {
  SKIP_WITHOUT_POSIX("setpriv");
  std::string prefix;
  if (!UnprivilegedPrefix(prefix)) GTEST_SKIP() << "cannot drop privileges";
  const fs::path dir = FreshDirectory("unreadable_source");
  fs::permissions(dir, fs::perms::all);
  WriteFile(dir / "listing.xml", kListing);
  fs::permissions(dir / "listing.xml", fs::perms::none);
  WriteFile(dir / "old.xml", "keep me");
  fs::permissions(dir / "old.xml", fs::perms::all);
  for (const std::string& destination : {std::string("old.xml"), std::string("new.xml")}) {
    const ProgramResult run = RunInShell("", prefix, {"listing.xml", "--output", destination}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, SettingsReport("listing.xml", destination));
    ExpectFailureReport(run.err, "EInOutError", "File access denied.");
  }
  EXPECT_EQ(ReadFile(dir / "old.xml"), "keep me");
  EXPECT_FALSE(fs::exists(dir / "new.xml"));
  // Only the superuser reads a file of mode 000: the test, run as anyone
  // else, gives itself the right back before it looks.
  fs::permissions(dir / "listing.xml", fs::perms::owner_read);
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
}

TEST(FilePass, SourceInAnUnsearchableDirectoryIsAccessDenied) {
  SKIP_WITHOUT_POSIX("setpriv");
  std::string prefix;
  if (!UnprivilegedPrefix(prefix)) GTEST_SKIP() << "cannot drop privileges";
  const fs::path dir = FreshDirectory("unsearchable_directory");
  fs::permissions(dir, fs::perms::all);
  fs::create_directory(dir / "locked");
  WriteFile(dir / "locked" / "listing.xml", kListing);
  fs::permissions(dir / "locked", fs::perms::none);
  const ProgramResult run =
      RunInShell("", prefix, {"locked/listing.xml", "--output", "out.xml"}, dir);
  fs::permissions(dir / "locked", fs::perms::owner_all);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, SettingsReport("locked/listing.xml", "out.xml"));
  ExpectFailureReport(run.err, "EInOutError", "File access denied.");
  EXPECT_FALSE(fs::exists(dir / "out.xml"));
}

TEST(FilePass, ReadOnlyDestinationIsAccessDenied) {
  SKIP_WITHOUT_POSIX("setpriv");
  std::string prefix;
  if (!UnprivilegedPrefix(prefix)) GTEST_SKIP() << "cannot drop privileges";
  const fs::path dir = FreshDirectory("read_only_destination");
  fs::permissions(dir, fs::perms::all);
  WriteFile(dir / "listing.xml", kListing);
  WriteFile(dir / "out.xml", "keep me");
  fs::permissions(dir / "out.xml", fs::perms(0444));
  const ProgramResult run = RunInShell("", prefix, {"listing.xml", "--output", "out.xml"}, dir);
  EXPECT_EQ(run.status, 1);
  ExpectFailureReport(run.err, "EInOutError", "File access denied.");
  EXPECT_EQ(ReadFile(dir / "out.xml"), "keep me");
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
  // Refused before anything is created.
  EXPECT_FALSE(fs::exists(dir / "out.~tm"));
}

TEST(FilePass, DirectoryAsDestinationIsAccessDenied) {
  const fs::path dir = FreshDirectory("directory_destination");
  WriteFile(dir / "listing.xml", kListing);
  fs::create_directory(dir / "folder");
  const ProgramResult run = RunProgram({"listing.xml", "--output", "folder"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, SettingsReport("listing.xml", "folder"));
  ExpectFailureReport(run.err, "EInOutError", "File access denied.");
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
}

TEST(FilePass, FilesHeldOpenByAnotherProgramAreSharingViolations) {
  if (!kOnWindows) GTEST_SKIP() << "needs share modes, which POSIX files lack";
  const fs::path dir = FreshDirectory("held_open");
  WriteFile(dir / "listing.xml", kListing);
  WriteFile(dir / "out.xml", "keep me");
  {
    // A source that another program writes is not read.
    const HeldOpen writer(dir / "listing.xml", true);
    const ProgramResult run = RunProgram({"listing.xml", "--output", "new.xml"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, SettingsReport("listing.xml", "new.xml"));
    ExpectFailureReport(run.err, "EInOutError", "I/O error 32.");
    EXPECT_FALSE(fs::exists(dir / "new.xml"));
  }
  {
    // A destination that another program reads, allowing no writer, is
    // neither emptied nor written.
    const HeldOpen reader(dir / "out.xml", false);
    const ProgramResult run = RunProgram({"listing.xml", "--output", "out.xml"}, dir);
    EXPECT_EQ(run.status, 1);
    ExpectFailureReport(run.err, "EInOutError", "I/O error 32.");
  }
  EXPECT_EQ(ReadFile(dir / "out.xml"), "keep me");
  {
    // A source that another program reads can be read, but not replaced:
    // the source stays and the working file keeps the result.
    const HeldOpen reader(dir / "listing.xml", false);
    const ProgramResult run = RunProgram({"listing.xml", "--output", "listing.xml"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, SettingsReport("listing.xml", "listing.xml"));
    // The rename is refused as access denied or as a sharing violation,
    // depending on the system's version.
    const bool denied = run.err.find("\r\nFile access denied.\r\n") != std::string::npos;
    const bool shared = run.err.find("\r\nI/O error 32.\r\n") != std::string::npos;
    EXPECT_TRUE(denied || shared) << run.err;
    EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
    EXPECT_EQ(ReadFile(dir / "listing.~tm"), kResult);
  }
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
}

TEST(FilePass, SourceThatMayNotBeWrittenIsNotReplaced) {
  SKIP_WITHOUT_POSIX("a second user");
  // In a sticky directory only a file's owner may replace it, and another
  // user's listing that may be read but not written is not replaced by a
  // run that the directory lets create files: it is refused before anything
  // is created, as a destination of another name would be.
  if (!RunningAsRoot()) GTEST_SKIP() << "needs a second user";
  std::string prefix;
  if (!UnprivilegedPrefix(prefix)) GTEST_SKIP() << "cannot drop privileges";
  const fs::path dir = FreshDirectory("failed_rename");
  fs::permissions(dir, fs::perms::all | fs::perms::sticky_bit);
  WriteFile(dir / "listing.xml", kListing);
  fs::permissions(dir / "listing.xml", fs::perms(0644));
  const ProgramResult run =
      RunInShell("", prefix, {"listing.xml", "--output", "listing.xml"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, SettingsReport("listing.xml", "listing.xml"));
  ExpectFailureReport(run.err, "EInOutError", "File access denied.");
  EXPECT_EQ(ReadFile(dir / "listing.xml"), kListing);
  EXPECT_FALSE(fs::exists(dir / "listing.~tm"));
}

}  // namespace
}  // namespace zelvane::testing
