#include "base/line_io.h"

#include "base/failure.h"
#include "base/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace zelvane {
namespace {

// The reader notes "<" and "&", as the program's does; the bytewise scan is
// the reference for its marks.
const ByteScanner kScanner('<', '&');
const ByteScanner kBytewise('<', '&', VectorLevel::kNone);

// A file under the temporary directory that is removed at the end of the test.
class TempFile {
 public:
  TempFile() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("zelvane_line_io_" + std::to_string(random()) + std::to_string(random()));
  }
  ~TempFile() { std::filesystem::remove(path_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::string name() const { return path_.string(); }

  void Write(const std::string& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
};

// The next line of `reader`, its pieces joined; the marks of a line that
// came in pieces are left incomplete.
std::string ReadWholeLine(LineReader& reader, LineMarks& marks) {
  std::string line(reader.ReadLine(marks));
  while (reader.LineGoesOn()) {
    line.append(reader.ReadLine(marks));
    marks.complete = false;
  }
  return line;
}

// Every line of `bytes` as the reader delivers them, reading `readBlock`
// bytes at a time, the pieces of a longer line joined. The marks noted on
// the way, wherever refills fall, are those of a scan of a line delivered
// whole.
std::vector<std::string> ReadAllLines(const std::string& bytes, std::size_t readBlock) {
  TempFile file;
  file.Write(bytes);
  LineReader reader(platform::OpenForReading(file.name()), kScanner, readBlock);
  std::vector<std::string> lines;
  LineMarks marks;
  while (!reader.AtEnd()) {
    const std::string line = ReadWholeLine(reader, marks);
    lines.push_back(line);
    if (!marks.complete) continue;
    LineMarks expected;
    kBytewise.ToLineEnd(line.data(), line.data(), line.data() + line.size(), expected);
    EXPECT_EQ(marks.flagged, expected.flagged) << line;
    EXPECT_EQ(marks.headTags, expected.headTags) << line;
    EXPECT_EQ(marks.tags, expected.tags) << line;
  }
  reader.Close();
  return lines;
}

struct ReadCase {
  const char* what;
  std::string input;
  std::vector<std::string> lines;
};

const std::string kZ(1, '\x1a');

const std::vector<ReadCase> kReadCases = {
    {"empty file", "", {}},
    {"one line without line end", "abc", {"abc"}},
    {"LF ends lines", "a\nb\n", {"a", "b"}},
    {"CR LF ends lines", "a\r\nb\r\n", {"a", "b"}},
    {"mixed line ends", "a\r\nb\nc", {"a", "b", "c"}},
    {"empty lines are lines", "\n\r\n\n", {"", "", ""}},
    {"lone CR is dropped", "a\rb\r\nc", {"ab", "c"}},
    {"CR-only file is one line", "a\rb\rc\r", {"abc"}},
    {"CR before CR LF", "a\r\r\nb", {"a", "b"}},
    {"CR at end of file", "a\r", {"a"}},
    {"lone CR line is empty", "\r\nx\r\r\n", {"", "x"}},
    {"Ctrl-Z at start ends input", kZ + "a\nb\n", {}},
    {"Ctrl-Z at a later line start", "a\n" + kZ + "b\nc\n", {"a"}},
    {"Ctrl-Z inside a line skips its rest", "ab" + kZ + "cd\nef\n", {"ab", "ef"}},
    {"Ctrl-Z inside a CR LF line", "ab" + kZ + "cd\r\nef", {"ab", "ef"}},
    {"rest after Ctrl-Z stops at a further Ctrl-Z", "ab" + kZ + "cd" + kZ + "ef\ngh\n", {"ab"}},
    {"Ctrl-Z inside the last line", "ab" + kZ + "cd", {"ab"}},
    {"Ctrl-Z right before the line end", "ab" + kZ + "\ncd", {"ab", "cd"}},
    {"CR before Ctrl-Z is dropped", "ab\r" + kZ + "\ncd", {"ab", "cd"}},
    {"two Ctrl-Z in a row inside a line", "ab" + kZ + kZ + "\ncd", {"ab"}},
    {"Ctrl-Z after a final LF", "ab\n" + kZ, {"ab"}},
    {"tags and ampersands", "a<b&c\r\n<<d\n&", {"a<b&c", "<<d", "&"}},
    {"tags across refills", "<a<b</a</x<A\n", {"<a<b</a</x<A"}},
    {"tags after a lone CR", "a\r<b&\r\n<c" + kZ + "<&\nx", {"a<b&", "<c", "x"}},
    {"bytes pass unchanged", std::string("\x00\xff\xe9\x7f", 4) + "\n",
     {std::string("\x00\xff\xe9\x7f", 4)}},
};

class LineReaderCases : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LineReaderCases, ReadsEveryCaseAtEveryRefillPosition) {
  for (const ReadCase& c : kReadCases) {
    EXPECT_EQ(ReadAllLines(c.input, GetParam()), c.lines) << c.what;
  }
}

TEST_P(LineReaderCases, PeekShowsTheBytesAheadAndConsumesNothing) {
  for (const ReadCase& c : kReadCases) {
    for (std::size_t size : {std::size_t{0}, std::size_t{4}, std::size_t{1} << 20}) {
      TempFile file;
      file.Write(c.input);
      LineReader reader(platform::OpenForReading(file.name()), kScanner, GetParam());
      EXPECT_EQ(reader.Peek(size), c.input.substr(0, size)) << c.what;
      std::vector<std::string> lines;
      LineMarks marks;
      while (!reader.AtEnd()) lines.push_back(ReadWholeLine(reader, marks));
      reader.Close();
      EXPECT_EQ(lines, c.lines) << c.what << ", after a look at " << size << " bytes";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(LineReader, LineReaderCases,
                         ::testing::Values(1, 2, 3, 5, 64 * 1024));

TEST(LineReader, ReadsLinesFarLongerThanTheBuffer) {
  std::string longLine(3 * LineReader::kReadBlock + 17, 'x');
  for (std::size_t i = 0; i < longLine.size(); i += 1000) longLine[i] = 'y';
  const std::string input = "a\n" + longLine + "\r\n" + longLine + "\rb\nc";
  const std::vector<std::string> expected = {"a", longLine, longLine + "b", "c"};
  EXPECT_EQ(ReadAllLines(input, LineReader::kReadBlock), expected);
  EXPECT_EQ(ReadAllLines(input, 4096), expected);
}

TEST(LineReader, SkipsARestLongerThanTheBuffer) {
  const std::string input = "a" + kZ + std::string(200000, 'q') + "\nb\n";
  EXPECT_EQ(ReadAllLines(input, LineReader::kReadBlock), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ReadAllLines(input, 7), (std::vector<std::string>{"a", "b"}));
}

TEST(LineReader, FindsCrLfSplitAcrossRefills) {
  // Lines whose CR LF falls on every position relative to a 64 KiB refill.
  std::string input;
  std::vector<std::string> expected;
  for (std::size_t length = LineReader::kReadBlock - 4; length <= LineReader::kReadBlock + 4;
       ++length) {
    expected.emplace_back(length, static_cast<char>('a' + length % 26));
    input += expected.back() + "\r\n";
  }
  EXPECT_EQ(ReadAllLines(input, LineReader::kReadBlock), expected);
}

// The bytes given back of a piece come again at the start of the next, and
// the line is read whole in the end; nothing is given back of a piece that
// lone CRs were taken out of, nor of a line that ended.
TEST(LineReader, GivesBackTheEndOfAPiece) {
  struct Case {
    std::string line;
    std::size_t readBlock;
    std::size_t giveBack;
    bool given;  // every time, or refused at least once
  };
  const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789";
  const Case cases[] = {
      {letters + letters, 10, 4, true},
      {letters + letters, 10, 0, true},
      {letters + letters, 7, 3, true},
      {letters + "\r" + letters, 10, 4, false},
  };
  for (const Case& c : cases) {
    TempFile file;
    file.Write(c.line + "\nnext\n");
    LineReader reader(platform::OpenForReading(file.name()), kScanner, c.readBlock);
    std::string joined;
    std::string givenBack;
    int refused = 0;
    LineMarks marks;
    for (;;) {
      const std::string piece(reader.ReadLine(marks));
      EXPECT_EQ(piece.substr(0, givenBack.size()), givenBack) << c.line;
      joined.append(piece);
      givenBack.clear();
      if (!reader.LineGoesOn()) break;
      const std::size_t back = std::min(c.giveBack, piece.size());
      const bool given = reader.GiveBack(back);
      refused += given ? 0 : 1;
      if (given) {
        givenBack = piece.substr(piece.size() - back);
        joined.resize(joined.size() - back);
      }
    }
    EXPECT_EQ(refused == 0, c.given) << c.line;
    std::string expected = c.line;
    expected.erase(std::remove(expected.begin(), expected.end(), '\r'), expected.end());
    EXPECT_EQ(joined, expected);
    EXPECT_FALSE(reader.GiveBack(1)) << "a line that ended";
    EXPECT_EQ(reader.ReadLine(marks), "next");
  }
}

TEST(LineReader, AtEndCanBeAskedRepeatedly) {
  TempFile file;
  file.Write("a" + kZ + "rest\nb");
  LineReader reader(platform::OpenForReading(file.name()), kScanner);
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(reader.ReadLine(), "a");
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(reader.ReadLine(), "b");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_TRUE(reader.AtEnd());
}

TEST(LineReader, MissingFileIsFileNotFound) {
  TempFile file;
  try {
    LineReader reader(platform::OpenForReading(file.name()), kScanner);
    FAIL() << "opened a missing file";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.errorCode(), 2);
    EXPECT_EQ(failure.message(), "File not found");
  }
}

TEST(LineWriter, EndsEveryLineWithCrLf) {
  TempFile file;
  LineWriter writer(platform::CreateForWriting(file.name()), false);
  writer.WriteLine("a");
  writer.WriteLine("");
  writer.WriteLine(std::string_view("b\0c", 3));
  writer.Close();
  EXPECT_EQ(file.Read(), std::string("a\r\n\r\nb\0c\r\n", 10));
}

TEST(LineWriter, FileGetsNothingBeforeTheBufferFills) {
  TempFile file;
  LineWriter writer(platform::CreateForWriting(file.name()), false);
  writer.WriteLine(std::string(1000, 'a'));
  EXPECT_EQ(file.Read(), "");
  writer.Close();
  EXPECT_EQ(file.Read().size(), 1002u);
}

TEST(LineWriter, FullBufferIsPassedOnInWholeBlocks) {
  TempFile file;
  LineWriter writer(platform::CreateForWriting(file.name()), false);
  for (int i = 0; i < 4000; ++i) writer.WriteLine(std::string(98, 'a'));  // 100 bytes each
  EXPECT_EQ(file.Read().size(), LineWriter::kBufferSize);
  EXPECT_EQ(file.Read().size() % LineWriter::kBlockSize, 0u);
  writer.Close();
  EXPECT_EQ(file.Read().size(), 400000u);
}

TEST(LineWriter, PassOnWholeBlocksLeavesWholeBlocks) {
  struct Case {
    std::size_t lines;
    std::size_t lineLength;  // with CR LF
  };
  for (const Case c : {Case{0, 10}, Case{1, 10}, Case{12, 10}, Case{13, 10}, Case{64, 2},
                       Case{1000, 100}, Case{700, 127}}) {
    TempFile file;
    LineWriter writer(platform::CreateForWriting(file.name()), false);
    std::string written;
    for (std::size_t i = 0; i < c.lines; ++i) {
      const std::string line(c.lineLength - 2, static_cast<char>('a' + i % 26));
      writer.WriteLine(line);
      written += line + "\r\n";
    }
    writer.PassOnWholeBlocks();
    EXPECT_EQ(file.Read(), written.substr(0, written.size() / 128 * 128)) << c.lines << " lines";
  }
}

TEST(LineWriter, LineByLineWriterPassesEachLineAtOnce) {
  TempFile file;
  LineWriter writer(platform::CreateForWriting(file.name()), true);
  writer.WriteLine("first");
  EXPECT_EQ(file.Read(), "first\r\n");
  writer.WriteLine("second");
  EXPECT_EQ(file.Read(), "first\r\nsecond\r\n");
  writer.Close();
}

TEST(LineWriter, EndedLinesGoOutAsTheyAreInEveryMode) {
  // Longer than the buffer, so that the lines are passed on in pieces.
  std::string lines;
  for (int i = 0; i < 3000; ++i) lines += std::string(40, static_cast<char>('a' + i % 26)) + "\r\n";
  for (const bool lineByLine : {false, true}) {
    TempFile file;
    LineWriter writer(platform::CreateForWriting(file.name()), lineByLine);
    writer.WriteEndedLines("a\r\nb\r\n");
    // A console gets the lines at once, a file when the buffer fills.
    EXPECT_EQ(file.Read(), lineByLine ? "a\r\nb\r\n" : "");
    writer.WriteEndedLines(lines);
    writer.WriteLine("z");
    writer.Close();
    EXPECT_EQ(file.Read(), "a\r\nb\r\n" + lines + "z\r\n");
  }
}

TEST(LineWriter, FailedWriteRaisesItsCodeAndIsNotRepeated) {
  if (ZELVANE_ON_WINDOWS) GTEST_SKIP() << "needs /dev/full, which Windows lacks";
  LineWriter writer(platform::CreateForWriting("/dev/full"), false);
  writer.WriteLine(std::string(300, 'c'));
  try {
    writer.Close();
    FAIL() << "writing to a full device succeeded";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.errorCode(), 28);
    EXPECT_EQ(failure.message(), "I/O error 28");
  }
  writer.PassOnWholeBlocks();  // must neither raise nor write again
  writer.PassOnAllQuietly();
}

}  // namespace
}  // namespace zelvane
