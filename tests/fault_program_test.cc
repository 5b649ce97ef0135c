// Whole-program tests of what the file system can do to a run: permissions,
// things standing where files should be, and a run killed half-way. After
// each, the exit status and report are as they should be, the source holds
// the bytes it held before, and the output is complete, untouched or a
// prefix of the result as the kind of failure allows.
#include "program_runner_posix.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace zelvane::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
const std::string kListing =
    "<tv>\n"
    "  <programme start=\"20070715203000 CET\" stop=\"20070715213000 CET\" channel=\"ned1\">\n"
    "    <title lang=\"nl\">Journaal</title>\n"
    "  </programme>\n"
    "</tv>\n";
const std::string kResult =
    CrLf({kDeclaration, "<tv>",
          "  <programme start=\"20070715203000 +0200\" stop=\"20070715213000 +0200\" "
          "channel=\"ned1\">",
          "    <title lang=\"nl\">Journaal</title>", "  </programme>", "</tv>"});

// One situation a run meets. The directory holds listing.xml with kListing
// when `prepare` is called (as the owner of the tests), and may be written by
// anyone.
struct Fault {
  const char* name;
  bool unprivileged;  // run as a user without privileges
  std::function<void(const fs::path&)> prepare;
  std::string source;
  std::string destination;
  int status;
  const char* kind;     // the report's kind; nullptr for no report
  const char* message;  // its second line
  std::function<void(const fs::path&)> check;  // what the destination must be
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

void MakeDirectory(const fs::path& path, fs::perms permissions) {
  fs::create_directory(path);
  fs::permissions(path, permissions);
}

void WriteWithPermissions(const fs::path& path, const std::string& content,
                          fs::perms permissions) {
  WriteFile(path, content);
  fs::permissions(path, permissions);
}

const fs::perms kReadOnlyDirectory = fs::perms(0555);

const Fault kFaults[] = {
    {"ReadOnlyDirectoryNewDestination", true,
     [](const fs::path& dir) { MakeDirectory(dir / "ro", kReadOnlyDirectory); }, "listing.xml",
     "ro/out.xml", 1, "EInOutError", "File access denied.",
     [](const fs::path& dir) { EXPECT_FALSE(fs::exists(dir / "ro" / "out.xml")); }},
    {"ReadOnlyDirectoryExistingDestination", true,
     [](const fs::path& dir) {
       fs::create_directory(dir / "ro");
       WriteWithPermissions(dir / "ro" / "out.xml", "old", fs::perms(0666));
       fs::permissions(dir / "ro", kReadOnlyDirectory);
     },
     "listing.xml", "ro/out.xml", 0, nullptr, nullptr,
     [](const fs::path& dir) { EXPECT_EQ(ReadFile(dir / "ro" / "out.xml"), kResult); }},
    {"ReadOnlyDirectorySameName", true,
     [](const fs::path& dir) {
       fs::create_directory(dir / "ro");
       WriteWithPermissions(dir / "ro" / "listing.xml", kListing, fs::perms(0666));
       fs::permissions(dir / "ro", kReadOnlyDirectory);
     },
     "ro/listing.xml", "ro/listing.xml", 0, nullptr, nullptr,
     [](const fs::path& dir) {
       EXPECT_EQ(ReadFile(dir / "ro" / "listing.xml"), kResult);
       EXPECT_FALSE(fs::exists(dir / "ro" / "listing.~tm"));
     }},
    {"ReadOnlySourceIsRefused", true,
     [](const fs::path& dir) { fs::permissions(dir / "listing.xml", fs::perms(0444)); },
     "listing.xml", "listing.xml", 1, "EInOutError", "File access denied.",
     [](const fs::path& dir) {
       EXPECT_EQ(fs::status(dir / "listing.xml").permissions(), fs::perms(0444));
       EXPECT_FALSE(fs::exists(dir / "listing.~tm"));
     }},
    {"UnreadableSourceSameName", true,
     [](const fs::path& dir) { fs::permissions(dir / "listing.xml", fs::perms::none); },
     "listing.xml", "listing.xml", 1, "EInOutError", "File access denied.",
     [](const fs::path& dir) { EXPECT_FALSE(fs::exists(dir / "listing.~tm")); }},
    {"DestinationIsADirectory", false,
     [](const fs::path& dir) { fs::create_directory(dir / "out.d"); }, "listing.xml", "out.d",
     1, "EInOutError", "File access denied.",
     [](const fs::path& dir) { EXPECT_TRUE(fs::is_empty(dir / "out.d")); }},
    {"DestinationBelowAFile", false, [](const fs::path&) {}, "listing.xml",
     "listing.xml/out.xml", 1, "EInOutError", "Invalid filename.", [](const fs::path&) {}},
    {"DirectoryPlantedAtTheWorkingFile", false,
     [](const fs::path& dir) {
       fs::create_directory(dir / "listing.~tm");
       WriteFile(dir / "listing.~tm" / "inside", "kept");
     },
     "listing.xml", "listing.xml", 1, "EInOutError", "File access denied.",
     [](const fs::path& dir) { EXPECT_EQ(ReadFile(dir / "listing.~tm" / "inside"), "kept"); }},
    // In a shared directory with the sticky bit (like /tmp) another user
    // plants a link at the working file's name, pointing at a file the
    // victim may write. The link may not be removed, and must not be
    // followed either: the result goes through a temporary file instead.
    {"LinkPlantedByAnotherUser", true,
     [](const fs::path& dir) {
       fs::permissions(dir, fs::perms::all | fs::perms::sticky_bit);
       fs::permissions(dir / "listing.xml", fs::perms(0666));
       WriteWithPermissions(dir / "target.txt", "precious", fs::perms(0666));
       fs::create_symlink("target.txt", dir / "listing.~tm");
     },
     "listing.xml", "listing.xml", 0, nullptr, nullptr,
     [](const fs::path& dir) {
       EXPECT_EQ(ReadFile(dir / "listing.xml"), kResult);
       EXPECT_EQ(ReadFile(dir / "target.txt"), "precious");
       EXPECT_TRUE(fs::is_symlink(dir / "listing.~tm"));
     }},
};

class FileSystemFault : public ::testing::TestWithParam<Fault> {};

TEST_P(FileSystemFault, EndsAsSpecifiedAndKeepsTheSource) {
  const Fault& fault = GetParam();
  std::string prefix;
  if (fault.unprivileged && !RunningAsRoot()) {
    GTEST_SKIP() << "needs to run as root to give the files another owner";
  }
  if (fault.unprivileged && !UnprivilegedPrefix(prefix)) GTEST_SKIP() << "cannot drop privileges";
  const fs::path dir = FreshDirectory(std::string("fault_") + fault.name);
  fs::permissions(dir, fs::perms::all);
  WriteWithPermissions(dir / "listing.xml", kListing, fs::perms(0644));
  fault.prepare(dir);
  const std::string before = ReadFile(dir / fault.source);

  const ProgramResult run =
      RunInShell("", prefix, {fault.source, "--output", fault.destination}, dir);
  EXPECT_EQ(run.status, fault.status);
  EXPECT_EQ(run.out, SettingsReport(fault.source, fault.destination));
  if (fault.kind != nullptr) {
    ExpectFailureReport(run.err, fault.kind, fault.message);
  } else {
    EXPECT_EQ(run.err, "");
  }
  if (fault.status != 0 || fault.source != fault.destination) {
    EXPECT_EQ(ReadFile(dir / fault.source), before);
  }
  fault.check(dir);
  // Let the owner of the tests clean up whatever was locked.
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_directory() && !entry.is_symlink()) fs::permissions(entry.path(), fs::perms::all);
  }
}

INSTANTIATE_TEST_SUITE_P(Fault, FileSystemFault, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& param) {
                           return std::string(param.param.name);
                         });

TEST(Fault, SourceThatIsADirectoryInPlaceOfItself) {
  const fs::path dir = FreshDirectory("fault_source_directory");
  fs::create_directory(dir / "listing.d");
  WriteFile(dir / "listing.d" / "inside", "kept");
  const ProgramResult run = RunProgram({"listing.d", "--output", "listing.d"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, SettingsReport("listing.d", "listing.d") +
                         CrLf({"", "Error: Source file does not exist"}));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(dir / "listing.d" / "inside"), "kept");
  EXPECT_FALSE(fs::exists(dir / "listing.~tm"));
}

// Started from a job with its standard input and error closed, the run's
// files take the lowest free descriptors, among them the one the failure
// report is written to: the report must not end up in the output.
TEST(Fault, ClosedStandardStreamsKeepTheReportOutOfTheOutput) {
  std::string listing = "<tv>\n";
  std::string result = CrLf({kDeclaration, "<tv>"});
  for (int i = 0; i < 20; ++i) {
    const std::string line = "<channel id=\"c" + std::to_string(i) + "\">";
    listing += line + "\n";
    result += line + "\r\n";
  }
  listing += "  <programme start=\"20070230120000 CET\" channel=\"a\">\n</tv>\n";
  for (const std::string destination : {"out.xml", "listing.xml"}) {
    const fs::path dir = FreshDirectory("fault_closed_streams");
    WriteFile(dir / "listing.xml", listing);
    std::string command = "cd '";
    command.append(dir.string()).append("' && '").append(ZELVANE_PROGRAM);
    command.append("' listing.xml --output ").append(destination);
    command.append(" > /dev/null <&- 2>&-");
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << destination;
    EXPECT_EQ(ReadFile(dir / "listing.xml"), listing) << destination;
    const fs::path output = dir / (destination == "out.xml" ? "out.~tm" : "listing.~tm");
    EXPECT_EQ(ReadFile(output), result.substr(0, result.size() / 128 * 128)) << destination;
  }
}

// A listing of `lines` channel lines and what the pass makes of it.
std::string ChannelListing(int lines, std::string& result) {
  std::string listing = "<tv>\n";
  result = CrLf({kDeclaration, "<tv>"});
  // Each line holds a channel start tag and its child: they come out on
  // two lines.
  for (int i = 0; i < lines; ++i) {
    const std::string start = "  <channel id=\"c" + std::to_string(i) + "\">";
    const std::string child = "<display-name>Channel &amp; co</display-name>";
    listing.append(start).append(child).append("\n");
    result.append(start).append("\r\n    ").append(child).append("\r\n");
  }
  return listing;
}

// Starts the run and kills it as soon as `output` holds `threshold` bytes;
// false when the run ended before it could be killed.
bool KillHalfWay(const std::vector<std::string>& arguments, const fs::path& dir,
                 const fs::path& output, std::uintmax_t threshold) {
  const pid_t pid = StartProgram(arguments, dir);
  bool killed = false;
  for (;;) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(output, error);
    if (!error && size >= threshold) {
      killed = ::kill(pid, SIGKILL) == 0;
      break;
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  int signal = 0;
  const ProgramResult run = FinishProgram(pid, dir, &signal);
  // The kill may come too late only when the run ended in between.
  return killed && signal == SIGKILL && run.status == -1;
}

TEST(Fault, KilledHalfWayLeavesTheSourceAndAPrefixOfTheResult) {
  for (const bool sameName : {false, true}) {
    bool killed = false;
    // A run that ends before the kill reaches it is repeated on a larger
    // listing: on a busy machine the test may be slow to look.
    for (int lines = 200000; !killed && lines <= 3200000; lines *= 4) {
      const fs::path dir = FreshDirectory("fault_killed");
      std::string result;
      const std::string listing = ChannelListing(lines, result);
      WriteFile(dir / "listing.xml", listing);
      const std::string destination = sameName ? "listing.xml" : "out.xml";
      const fs::path output = dir / (sameName ? "listing.~tm" : "out.~tm");
      killed = KillHalfWay({"listing.xml", "--output", destination}, dir, output, 1 << 20);
      if (!killed) continue;

      EXPECT_EQ(ReadFile(dir / "listing.xml"), listing) << destination;
      EXPECT_FALSE(fs::exists(dir / "out.xml")) << destination;
      const std::string written = ReadFile(output);
      EXPECT_GE(written.size(), 1u << 20) << destination;
      EXPECT_LT(written.size(), result.size()) << destination;
      EXPECT_TRUE(result.compare(0, written.size(), written) == 0)
          << destination << ": what was written is no prefix of the result";
    }
    EXPECT_TRUE(killed) << "every run ended before it could be killed";
  }
}

}  // namespace
}  // namespace zelvane::testing
