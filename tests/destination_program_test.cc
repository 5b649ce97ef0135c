// Whole-program tests of the destination in the places where a working file
// beside it is not possible or a rename is refused, and of names that lead
// elsewhere. Each case runs three times: to the end, failing half-way, and
// killed half-way while it waits for the rest of its source from a pipe.
// After each, the destination's bytes, owner and mode are what they must be.
#include "program_runner_posix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <csignal>
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

const std::string kOld = "yesterday's guide\n";
const std::string kForeign = "another user's working file";
constexpr uid_t kNobody = 65534;

// A listing of a zone-less programme and enough channels to pass the
// writer's buffer several times; `tail` ends it.
std::string Listing(const std::string& tail) {
  std::string listing =
      "<tv>\n  <programme start=\"20070715203000\" channel=\"a\">\n  </programme>\n";
  for (int i = 0; i < 40000; ++i) listing += "  <channel id=\"c" + std::to_string(i) + "\"/>\n";
  return listing + tail;
}

// What the pass makes of Listing("</tv>\n"), the stamp written as `stamp`.
std::string Result(const std::string& stamp) {
  std::string result =
      CrLf({"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<tv>",
            "  <programme start=\"" + stamp + "\" channel=\"a\">", "  </programme>"});
  for (int i = 0; i < 40000; ++i) result += "  <channel id=\"c" + std::to_string(i) + "\"/>\r\n";
  return result + "</tv>\r\n";
}

// One situation, and what the destination must be in it. The runs start in
// a world-writable directory, with the source in.xml.
struct Case {
  const char* name;
  bool unprivileged;  // run as nobody
  std::function<void(const fs::path&)> prepare;
  std::vector<std::string> arguments;
  std::string destination;  // relative to the directory
  bool existed;             // it stands there before each run
  uid_t owner;              // of the destination (0: the user running the tests)
  unsigned mode;            // its permission bits
  std::string stamp;        // the programme's stamp in the result
  bool appended;            // it is standard output, appended to (a log)
  std::string untouched;    // another user's file that no run may change, if any
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

uid_t Owner(uid_t owner) { return owner == 0 ? ::geteuid() : owner; }

void Plant(const fs::path& path, const std::string& bytes, uid_t owner, unsigned mode) {
  WriteFile(path, bytes);
  ASSERT_EQ(::chown(path.c_str(), Owner(owner), static_cast<gid_t>(-1)), 0);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

const std::string kLong253(253, 'a');
const std::string kLong255(255, 'b');

const std::string kStamp = "20070715203000";

// clang-format off
const Case kCases[] = {
    {"ReadOnlyDirectory", true, [](const fs::path& dir) {
       fs::create_directory(dir / "ro");
       Plant(dir / "ro" / "guide.xml", kOld, 0, 0666);
       ASSERT_EQ(::chmod((dir / "ro").c_str(), 0555), 0);
     },
     {"in.xml", "-o", "ro/guide.xml"}, "ro/guide.xml", true, 0, 0666, kStamp, false, ""},
    {"StickyDirectoryWithAForeignLeftover", true, [](const fs::path& dir) {
       ASSERT_EQ(::chmod(dir.c_str(), 01777), 0);
       Plant(dir / "guide.xml", kOld, kNobody, 0640);
       Plant(dir / "guide.~tm", kForeign, 0, 0644);
     },
     {"in.xml", "-o", "guide.xml"}, "guide.xml", true, kNobody, 0640, kStamp, false, "guide.~tm"},
    {"RefusedRename", true, [](const fs::path& dir) {
       ASSERT_EQ(::chmod(dir.c_str(), 01777), 0);
       Plant(dir / "guide.xml", kOld, 0, 0666);
     },
     {"in.xml", "-o", "guide.xml"}, "guide.xml", true, 0, 0666, kStamp, false, ""},
    {"NameOf253Bytes", false, [](const fs::path&) {},
     {"in.xml", "-o", kLong253}, kLong253, false, 0, 0644, kStamp, false, ""},
    {"NameOf255Bytes", false, [](const fs::path& dir) { Plant(dir / kLong255, kOld, 0, 0604); },
     {"in.xml", "-o", kLong255}, kLong255, true, 0, 0604, kStamp, false, ""},
    {"StandardOutputAppended", false,
     [](const fs::path& dir) { Plant(dir / "log.txt", kOld, 0, 0644); },
     {"-q", "in.xml", "-o", "/dev/stdout"}, "log.txt", true, 0, 0644, kStamp, true, ""},
    {"OptionWords", false, [](const fs::path&) {},
     {"--outputfile=guide.xml", "--cetoffset=1", "in.xml"}, "guide.xml", false, 0, 0644,
     kStamp + " +0300", false, ""},
};
// clang-format on

// Starts the program in `dir` as the case says: as nobody where it asks for
// that, with standard output appended to log.txt where it is the
// destination, and with temporary files in `dir`/tmp.
pid_t Start(const Case& c, const fs::path& dir) {
  std::vector<std::string> words = {ZELVANE_PROGRAM};
  words.insert(words.end(), c.arguments.begin(), c.arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string out = (dir / (c.appended ? "log.txt" : ".stdout")).string();
  const std::string err = (dir / ".stderr").string();
  const std::string tmp = (dir / "tmp").string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 || ::chdir(dir.c_str()) != 0 ||
        ::setenv("TMPDIR", tmp.c_str(), 1) != 0 ||
        (c.unprivileged && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))) {
      ::_exit(127);
    }
    ::umask(022);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

// The exit status of `pid`; -1 after a signal.
int Wait(pid_t pid) {
  int raw = 0;
  while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Runs the case with its source fed through a pipe, and kills it once the
// program has taken the first part and waits for the rest: the kill comes
// in the middle of the source, whatever the machine's speed.
void RunKilledHalfWay(const Case& c, const fs::path& dir) {
  const fs::path source = dir / "in.xml";
  ASSERT_EQ(::mkfifo(source.c_str(), 0644), 0);
  const pid_t pid = Start(c, dir);
  int fifo = -1;
  // Opened without waiting, so that a program that never opens its source
  // cannot stop the test.
  while ((fifo = ::open(source.c_str(), O_WRONLY | O_NONBLOCK)) < 0) {
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, WNOHANG), 0) << "the program ended before reading";
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(::fcntl(fifo, F_SETFL, 0), 0);
  // A program that ends early fails the write instead of ending the tests.
  std::signal(SIGPIPE, SIG_IGN);
  const std::string part = Listing("");
  EXPECT_EQ(::write(fifo, part.data(), part.size()), static_cast<ssize_t>(part.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ::kill(pid, SIGKILL);
  ::close(fifo);
  EXPECT_EQ(Wait(pid), -1);
}

class Destination : public ::testing::TestWithParam<Case> {};

TEST_P(Destination, IsOldOrCompleteAfterAGoodAFailedAndAKilledRun) {
  const Case& c = GetParam();
  if (c.unprivileged && !RunningAsRoot()) GTEST_SKIP() << "needs root to run as another user";
  const fs::path dir = FreshDirectory(std::string("destination_") + c.name);
  ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
  fs::create_directory(dir / "tmp");
  ASSERT_EQ(::chmod((dir / "tmp").c_str(), 0777), 0);
  const std::string result = Result(c.stamp);
  for (const std::string run : {"good", "failed", "killed"}) {
    SCOPED_TRACE(run);
    c.prepare(dir);
    const std::string before = c.existed ? ReadFile(dir / c.destination) : "";
    if (run == "killed") {
      RunKilledHalfWay(c, dir);
    } else {
      const bool good = run == "good";
      WriteFile(dir / "in.xml",
                Listing(good ? "</tv>\n" : "  <programme start=\"20070230120000 CET\">\n"));
      EXPECT_EQ(Wait(Start(c, dir)), good ? 0 : 1) << ReadFile(dir / ".stderr");
    }
    const std::string after = ReadFile(dir / c.destination);
    if (c.appended) {
      // Appended to: the earlier lines stay, and what follows them is the
      // result or, after a failure, a part of it.
      ASSERT_EQ(after.substr(0, before.size()), before);
      const std::string added = after.substr(before.size());
      EXPECT_TRUE(run == "good" ? added == result : result.starts_with(added));
    } else if (run == "good") {
      EXPECT_TRUE(after == result) << after.size() << " bytes";
    } else {
      EXPECT_EQ(fs::exists(dir / c.destination), c.existed);
      EXPECT_TRUE(after == before) << after.size() << " bytes";
    }
    struct stat info {};
    if (::stat((dir / c.destination).c_str(), &info) == 0) {
      EXPECT_EQ(info.st_uid, Owner(c.owner));
      EXPECT_EQ(info.st_mode & 07777, c.mode);
    }
    // No copy of the listing is left among the temporary files.
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
    if (!c.untouched.empty()) {
      EXPECT_EQ(ReadFile(dir / c.untouched), kForeign);
    }
    fs::remove(dir / "in.xml");
    if (!c.existed) fs::remove(dir / c.destination);
  }
}

INSTANTIATE_TEST_SUITE_P(Destination, Destination, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& param) {
                           return std::string(param.param.name);
                         });

// Without the time-zone database (a container or a minimal system without
// tzdata) the report says so, and where it looked, instead of calling the
// zone unknown.
TEST(TimeZone, MissingDatabaseIsReportedWithItsDirectory) {
  if (!RunningAsRoot() || std::system("unshare --mount true > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "needs root and unshare to hide the time-zone database";
  }
  const fs::path dir = FreshDirectory("no_zoneinfo");
  fs::create_directory(dir / "empty");
  WriteFile(dir / "in.xml", "<tv>\n</tv>\n");
  const std::string hide = std::string("unshare --mount sh -c 'mount --bind empty ") +
                           ZELVANE_ZONEINFO_DIR + " && exec \"$0\" \"$@\"'";
  const ProgramResult run =
      RunInShell("", hide, {"-q", "in.xml", "-o", "out.xml", "--tz", "UTC"}, dir);
  EXPECT_EQ(run.status, 1);
  ExpectFailureReport(run.err, "EConvertError",
                      std::string("No time-zone database was found in ") + ZELVANE_ZONEINFO_DIR +
                          ", so time zone \"UTC\" cannot be loaded; install it (Debian: tzdata).");
  EXPECT_FALSE(fs::exists(dir / "out.xml"));
}

}  // namespace
}  // namespace zelvane::testing
