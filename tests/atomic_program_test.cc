// Whole-program tests of what a run leaves when it is cut short, when two
// runs meet, and when listings are compressed: the destination is either as
// it was or the whole result, never a part, and never another run's result.
#include "program_runner_posix.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace zelvane::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
const std::string kOld = "yesterday's guide\n";

// A listing of `lines` channel lines named after `tag`, and what the pass
// makes of it.
std::string ChannelListing(int lines, const std::string& tag, std::string& result) {
  std::string listing = "<tv>\n";
  result = CrLf({kDeclaration, "<tv>"});
  for (int i = 0; i < lines; ++i) {
    const std::string line = "  <channel id=\"" + tag + std::to_string(i) + "\"/>";
    listing.append(line).append("\n");
    result.append(line).append("\r\n");
  }
  return listing;
}

std::string Gzip(const std::string& text) {
  z_stream stream {};
  EXPECT_EQ(deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string Gunzip(const fs::path& path) {
  gzFile file = gzopen(path.c_str(), "rb");
  std::string text;
  char block[4096];
  for (int n; file != nullptr && (n = gzread(file, block, sizeof block)) > 0;) {
    text.append(block, static_cast<std::size_t>(n));
  }
  if (file != nullptr) gzclose(file);
  return text;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Compressed, ListingsAreReadAndWrittenCompressed) {
  const std::string listing = "<tv>\n<channel id=\"a\"/>\n</tv>\n";
  const std::string result = CrLf({kDeclaration, "<tv>", "<channel id=\"a\"/>", "</tv>"});
  struct Case {
    std::string source;       // its bytes
    std::string destination;  // guide.xml.gz is the source itself
    std::string expected;     // the destination's content, decompressed where named .gz
  } cases[] = {
      {Gzip(listing), "guide.xml.gz", result},
      {Gzip(listing), "OUT.XML.GZ", result},
      {Gzip(listing), "out.xml", result},
      {listing, "out.gz", result},
      // Every member of a multi-member file; a Ctrl-Z in the text still ends it.
      {Gzip("<tv>\n") + Gzip("<channel id=\"a\"/>\n</tv>\n"), "out.xml", result},
      {Gzip("<tv>\n\x1a<x>\n"), "out.xml", CrLf({kDeclaration, "<tv>"})},
  };
  for (const Case& c : cases) {
    const fs::path dir = FreshDirectory("compressed");
    WriteFile(dir / "guide.xml.gz", c.source);
    const ProgramResult run = RunProgram({"guide.xml.gz", "--output", c.destination}, dir);
    EXPECT_EQ(run.status, 0) << c.destination;
    EXPECT_EQ(run.err, "") << c.destination;
    const bool compressed = c.destination.ends_with("gz") || c.destination.ends_with("GZ");
    EXPECT_EQ(compressed ? Gunzip(dir / c.destination) : ReadFile(dir / c.destination), c.expected)
        << c.destination;
    if (compressed) {
      EXPECT_EQ(ReadFile(dir / c.destination).substr(0, 2), "\x1F\x8B");
    }
  }
}

TEST(Compressed, BadOrForeignCompressionFailsAndKeepsTheDestination) {
  std::string ignored;
  const std::string gzip = Gzip(ChannelListing(2000, "c", ignored));
  std::string badCheck = gzip;
  badCheck[badCheck.size() - 6] ^= 0x55;  // the CRC of the trailer
  struct Case {
    const char* name;
    std::string source;
    const char* message;
    bool refusedBeforeOutput;
  } cases[] = {
      {"bzip2", "BZh91AY&SY\x01\x02", "The source in.xml is compressed with bzip2: decompress it first.",
       true},
      {"xz", std::string("\xFD\x37\x7A\x58\x5A\x00\x00", 7),
       "The source in.xml is compressed with xz: decompress it first.", true},
      {"zstd", "\x28\xB5\x2F\xFD\x24", "The source in.xml is compressed with zstd: decompress it first.",
       true},
      {"zip", "PK\x03\x04\x14", "The source in.xml is compressed with zip: decompress it first.", true},
      {"truncated", gzip.substr(0, gzip.size() / 2), "The gzip data of the source in.xml ends too early.",
       false},
      {"corrupt", badCheck, "The gzip data of the source in.xml is corrupt.", false},
  };
  for (const Case& c : cases) {
    const fs::path dir = FreshDirectory(std::string("bad_compression_") + c.name);
    WriteFile(dir / "in.xml", c.source);
    WriteFile(dir / "out.xml", kOld);
    for (const std::string destination : {"out.xml", "in.xml"}) {
      const ProgramResult run = RunProgram({"in.xml", "--output", destination}, dir);
      EXPECT_EQ(run.status, 1) << c.name;
      ExpectFailureReport(run.err, "EInOutError", c.message);
      EXPECT_EQ(ReadFile(dir / "out.xml"), kOld) << c.name;
      EXPECT_EQ(ReadFile(dir / "in.xml"), c.source) << c.name;
      if (c.refusedBeforeOutput) {
        EXPECT_FALSE(fs::exists(dir / "out.~tm")) << c.name;
        EXPECT_FALSE(fs::exists(dir / "in.~tm")) << c.name;
      }
    }
  }
}

TEST(Compressed, HugeDecompressedListingKeepsMemoryFlat) {
  if (kAddressSanitizer) GTEST_SKIP() << "memory means nothing under AddressSanitizer";
  const fs::path dir = FreshDirectory("gzip_bomb");
  {
    std::string ignored;
    const std::string block = ChannelListing(100000, "bomb", ignored);  // 3 MB
    std::string text;
    while (text.size() < 110'000'000) text += block;
    WriteFile(dir / "bomb.xml.gz", Gzip(text));
  }
  long peakKiB = 0;
  const ProgramResult run = FinishProgram(
      StartProgram({"bomb.xml.gz", "--output", "/dev/null"}, dir, true), dir, nullptr, &peakKiB);
  EXPECT_EQ(run.status, 0);
  EXPECT_LT(peakKiB, 8 * 1024) << "peak memory in KiB";
}

// Writes `head`, then `piece` until more than 256 MiB follow, gzip-compressed.
void WriteHugeGzip(const fs::path& path, const std::string& head, const std::string& piece) {
  gzFile file = gzopen(path.c_str(), "wb1");
  ASSERT_NE(file, nullptr);
  gzwrite(file, head.data(), static_cast<unsigned>(head.size()));
  std::string block;
  while (block.size() < (1u << 20)) block += piece;
  for (std::size_t written = 0; written <= (std::size_t{256} << 20); written += block.size()) {
    ASSERT_EQ(gzwrite(file, block.data(), static_cast<unsigned>(block.size())),
              static_cast<int>(block.size()));
  }
  gzclose(file);
}

TEST(Compressed, WhatWouldBeHeldBeyond256MiBEndsTheRun) {
  struct Case {
    const char* what;
    std::string head, piece, report;
  } cases[] = {
      {"one line", "<tv>\n", "x", "A line of the source is longer than 256 MiB"},
      // Cut into element lines, a line whose quote or comment never ends is
      // still one element line.
      {"an unclosed quote", "<tv>\n  <programme a=\"", "x<title>",
       "A line of the source is longer than 256 MiB"},
      {"an unclosed comment", "<tv>\n  <!--", "x--<programme>",
       "A line of the source is longer than 256 MiB"},
      {"one programme", "<tv>\n  <programme start=\"20070715203000\">\n", "    <x/>\n",
       "A programme of the source is larger than 256 MiB"},
  };
  for (const Case& c : cases) {
    const fs::path dir = FreshDirectory("ceiling");
    WriteHugeGzip(dir / "huge.xml.gz", c.head, c.piece);
    const ProgramResult run = RunProgram({"huge.xml.gz", "--output", "out.xml"}, dir);
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_TRUE(Contains(run.err, c.report)) << c.what << ": " << run.err;
    EXPECT_FALSE(fs::exists(dir / "out.xml")) << c.what;
  }
}

// Starts the run and stops it with `signal` once `output` holds `threshold`
// bytes; false when the run ended first.
bool SignalHalfWay(pid_t pid, const fs::path& output, std::uintmax_t threshold, int signal) {
  for (;;) {
    std::error_code error;
    if (fs::file_size(output, error) >= threshold && !error) return ::kill(pid, signal) == 0;
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

TEST(Concurrent, StoppedRunKeepsItsWorkingFileFromASecondRun) {
  bool stopped = false;
  for (int lines = 200000; !stopped && lines <= 3200000; lines *= 4) {
    const fs::path dir = FreshDirectory("stopped_run");
    fs::create_directory(dir / "first");
    fs::create_directory(dir / "second");
    std::string result;
    const std::string listing = ChannelListing(lines, "c", result);
    const std::string name = (dir / "x.xml").string();
    WriteFile(name, listing);
    const pid_t first = StartProgram({name, "--output", name}, dir / "first");
    stopped = SignalHalfWay(first, dir / "x.~tm", 1 << 16, SIGSTOP);
    if (stopped) {
      const ProgramResult second = RunProgram({name, "--output", name}, dir / "second");
      EXPECT_EQ(second.status, 1);
      ExpectFailureReport(second.err, "EInOutError",
                          "Working file " + (dir / "x.~tm").string() +
                              " is in use by another run.");
      EXPECT_EQ(ReadFile(name), listing);
      ::kill(first, SIGCONT);
    }
    const ProgramResult run = FinishProgram(first, dir / "first");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(name), result);
    EXPECT_FALSE(fs::exists(dir / "x.~tm"));
  }
  EXPECT_TRUE(stopped) << "every run ended before it could be stopped";
}

TEST(Concurrent, TwoListingsWithOneStemNeverTradeContent) {
  const fs::path dir = FreshDirectory("one_stem");
  fs::create_directory(dir / "a");
  fs::create_directory(dir / "b");
  std::string resultXml, resultTxt;
  const std::string xml = ChannelListing(100000, "xml", resultXml);
  const std::string txt = ChannelListing(100000, "txt", resultTxt);
  const std::string xmlName = (dir / "x.xml").string(), txtName = (dir / "x.txt").string();
  for (int round = 0; round < 8; ++round) {
    WriteFile(xmlName, xml);
    WriteFile(txtName, txt);
    const pid_t a = StartProgram({xmlName, "--output", xmlName}, dir / "a");
    const pid_t b = StartProgram({txtName, "--output", txtName}, dir / "b");
    const ProgramResult runs[] = {FinishProgram(a, dir / "a"), FinishProgram(b, dir / "b")};
    const std::string* names[] = {&xmlName, &txtName};
    const std::string* listings[] = {&xml, &txt};
    const std::string* results[] = {&resultXml, &resultTxt};
    for (int i = 0; i < 2; ++i) {
      // Each listing holds its own listing or its own result; the run that
      // met the other's working file says so.
      if (runs[i].status == 0) {
        EXPECT_EQ(ReadFile(*names[i]), *results[i]) << *names[i];
      } else {
        EXPECT_EQ(runs[i].status, 1);
        EXPECT_TRUE(Contains(runs[i].err, "is in use by another run.")) << runs[i].err;
        EXPECT_EQ(ReadFile(*names[i]), *listings[i]) << *names[i];
      }
    }
  }
}

TEST(Fault, KilledAtAnyMomentLeavesTheDestinationOldOrComplete) {
  std::string result;
  const std::string listing = ChannelListing(200000, "c", result);
  std::mt19937 random(14);
  for (const bool sameName : {false, true}) {
    for (int kill = 0; kill < 8; ++kill) {
      const fs::path dir = FreshDirectory("killed_any_moment");
      WriteFile(dir / "listing.xml", listing);
      WriteFile(dir / "out.xml", kOld);
      const std::string destination = sameName ? "listing.xml" : "out.xml";
      const pid_t pid = StartProgram({"listing.xml", "--output", destination}, dir);
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 150000));
      ::kill(pid, SIGKILL);
      FinishProgram(pid, dir);
      const std::string after = ReadFile(dir / destination);
      EXPECT_TRUE(after == (sameName ? listing : kOld) || after == result)
          << destination << ": " << after.size() << " bytes";
    }
  }
}

TEST(Fault, RootRunKeepsTheOwnerAndModeOfTheReplacedFile) {
  if (!RunningAsRoot()) GTEST_SKIP() << "only the superuser may give files away";
  for (const std::string destination : {"own.xml", "other.xml"}) {
    const fs::path dir = FreshDirectory("owner_kept");
    WriteFile(dir / "own.xml", "<tv>\n</tv>\n");
    WriteFile(dir / "other.xml", kOld);
    for (const char* name : {"own.xml", "other.xml"}) {
      ASSERT_EQ(::chown((dir / name).c_str(), 65534, 65534), 0);
      ASSERT_EQ(::chmod((dir / name).c_str(), 0640), 0);
    }
    const ProgramResult run = RunProgram({"own.xml", "--output", destination}, dir);
    EXPECT_EQ(run.status, 0);
    struct stat info {};
    ASSERT_EQ(::stat((dir / destination).c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u) << destination;
    EXPECT_EQ(info.st_gid, 65534u) << destination;
    EXPECT_EQ(info.st_mode & 07777, 0640u) << destination;
    EXPECT_EQ(ReadFile(dir / destination), CrLf({kDeclaration, "<tv>", "</tv>"}));
  }
}

}  // namespace
}  // namespace zelvane::testing
