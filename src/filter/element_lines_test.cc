#include "filter/element_lines.h"

#include "base/line_io.h"
#include "base/platform.h"
#include "filter/line_rules.h"
#include "filter/line_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace zelvane {
namespace {

using Lines = std::vector<std::string>;

// A file under the temporary directory holding `bytes`, removed at the end.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("zelvane_element_lines_" + std::to_string(random()) + std::to_string(random()));
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::string name() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// The scan handed out with `line` says what the line's own scan and
// classification say; a wrong shape taken from the memo shows here.
void ExpectOwnScan(std::string_view line, const LineScan& given) {
  const LineScan own = ScanLine(line);
  EXPECT_EQ(given.openingAt, own.openingAt) << line;
  EXPECT_EQ(given.tagMarkup, own.tagMarkup) << line;
  EXPECT_EQ(given.ampersand, own.ampersand) << line;
  const LineKind kind = ClassifyLine(line, own.headTagStarts);
  const LineKind givenKind = given.kindKnown ? given.kind : ClassifyLine(line, given.headTagStarts);
  EXPECT_EQ(givenKind.lineClass, kind.lineClass) << line;
  EXPECT_EQ(givenKind.at, kind.at) << line;
  EXPECT_EQ(givenKind.demoted, kind.demoted) << line;
}

// The element lines of `bytes`, read `readBlock` bytes at a time.
Lines ElementLines(const std::string& bytes, std::size_t readBlock) {
  const TempFile file(bytes);
  LineReader reader(platform::OpenForReading(file.name()), MarkupScanner(), readBlock);
  ElementLineSplitter splitter(reader);
  Lines lines;
  std::string_view line;
  LineScan scan;
  while (splitter.Next(line, scan)) {
    ExpectOwnScan(line, scan);
    lines.emplace_back(line);
  }
  reader.Close();
  return lines;
}

// `lines` as a listing in the usual layout: each line followed by LF.
std::string Layout(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\n");
  return text;
}

// `text` followed by a line "</tv>", which takes the state back to where a
// listing starts unless `text` leaves markup open.
std::string WithTvEnd(const std::string& text) {
  return text + (text.empty() || text.back() == '\n' ? "" : "\n") + "</tv>\n";
}

// Splits `text`, whose element lines are `expected`, with `readBlock`; and,
// where a "</tv>" after it leads back to the start, splits it a second time
// in the same splitter, which now knows the shapes of its elements.
void ExpectElementLines(const std::string& text, const Lines& expected, std::size_t readBlock) {
  SCOPED_TRACE(::testing::Message() << "read block " << readBlock);
  EXPECT_EQ(ElementLines(text, readBlock), expected);
  // Outside tv and in text, the tv start tag after "x" is a split point.
  const Lines probe = ElementLines(WithTvEnd(text) + "x<tv>\n", readBlock);
  const bool backAtStart = probe.size() >= 2 && probe[probe.size() - 2] == "x" &&
                           probe.back() == "<tv>";
  // A byte-order mark counts as white space on the first line only.
  if (!backAtStart || text.starts_with("\xEF\xBB\xBF")) return;
  Lines twice = expected;
  twice.push_back("</tv>");
  twice.insert(twice.end(), expected.begin(), expected.end());
  EXPECT_EQ(ElementLines(WithTvEnd(text) + text, readBlock), twice) << "a second time";
}

const std::string kProgramme =
    "<programme start=\"20240101060000 +0100\" stop=\"20240101070000 +0100\" channel=\"nl1\">";

// Listings and the element lines the splitter cuts them into.
struct Row {
  std::string input;
  Lines lines;
};

const Row kRows[] = {
    // The usual layout, children indented by 16 blanks too, stands as it is.
    {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
     "<tv generator-info-name=\"x\">\n  <channel id=\"nl1\">\n"
     "    <display-name lang=\"nl\">NPO 1</display-name>\n  </channel>\n  " +
         kProgramme + "\n    <title lang=\"nl\">Nieuws</title>\n"
                      "                <desc lang=\"nl\">Het nieuws\nvan de dag.   </desc>\n"
                      "    <new />\n  </programme>\n</tv>\n",
     {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<!DOCTYPE tv SYSTEM \"xmltv.dtd\">",
      "<tv generator-info-name=\"x\">", "  <channel id=\"nl1\">",
      "    <display-name lang=\"nl\">NPO 1</display-name>", "  </channel>", "  " + kProgramme,
      "    <title lang=\"nl\">Nieuws</title>",
      "                <desc lang=\"nl\">Het nieuws", "van de dag.   </desc>", "    <new />",
      "  </programme>", "</tv>"}},
    // Programme and channel start and end tags, the tv end tag; the same
    // shapes again, with an ampersand and markup in their text.
    {"<tv><programme a=\"1\"><title>A</title></programme><programme a=\"1\"><title>B &amp; C"
     "</title></programme><programme a=\"1\"><title>D<br>E</title></programme>"
     "<channel id=\"c\"><display-name>C</display-name></channel></tv>",
     {"<tv>", "  <programme a=\"1\">", "    <title>A</title>", "  </programme>",
      "  <programme a=\"1\">", "    <title>B &amp; C</title>", "  </programme>",
      "  <programme a=\"1\">", "    <title>D<br>E</title>", "  </programme>",
      "  <channel id=\"c\">", "    <display-name>C</display-name>", "  </channel>", "</tv>"}},
    // The declaration, tv and a programme on the first line.
    {"<?xml version=\"1.0\"?><tv><programme start=\"1\">\n",
     {"<?xml version=\"1.0\"?>", "<tv>", "  <programme start=\"1\">"}},
    // The desc before the title, blanks between.
    {"<programme a=\"1\"> <desc>B</desc>\t<title>A</title>  </programme>  \n",
     {"<programme a=\"1\">", "    <desc>B</desc>", "    <title>A</title>", "  </programme>  "}},
    // An unclosed child is ended by a programme or channel tag or </tv>.
    {"<tv><programme a=\"1\"><desc>B<programme a=\"2\"><title>A</title>",
     {"<tv>", "  <programme a=\"1\">", "    <desc>B", "  <programme a=\"2\">",
      "    <title>A</title>"}},
    {"<tv><programme><desc>B</programme><channel id=\"x\"><desc>C</channel></tv>",
     {"<tv>", "  <programme>", "    <desc>B", "  </programme>", "  <channel id=\"x\">",
      "    <desc>C", "  </channel>", "</tv>"}},
    {"<tv><programme><desc>B</tv><programme><title>T</title>",
     {"<tv>", "  <programme>", "    <desc>B", "</tv>", "  <programme>", "    <title>T</title>"}},
    // The tv start tag splits outside tv only: inside tv or a programme it
    // is content.
    {"Nieuws <tv>", {"Nieuws", "<tv>"}},
    {"<tv><tv><programme><tv><title>A</title>",
     {"<tv><tv>", "  <programme><tv>", "    <title>A</title>"}},
    // A stray end tag directly inside a programme is content.
    {"<tv><programme></title><title>A</title>",
     {"<tv>", "  <programme></title>", "    <title>A</title>"}},
    // Comments, processing instructions and declarations outside tv,
    // directly in tv and directly in a programme, indented 0, 2 and 4;
    // inside a child they are content.
    {"<!-- a --><?pi x?><!DOCTYPE tv><tv><!-- b --><?pi?><programme>"
     "<!-- c --><?pi?><title>A<!-- d --><?pi?></title></programme></tv><!-- e -->",
     {"<!-- a -->", "<?pi x?>", "<!DOCTYPE tv>", "<tv>", "  <!-- b -->", "  <?pi?>",
      "  <programme>", "    <!-- c -->", "    <?pi?>", "    <title>A<!-- d --><?pi?></title>",
      "  </programme>", "</tv>", "<!-- e -->"}},
    {"<tv><!x><programme><!y><title>A<!z></title>",
     {"<tv>", "  <!x>", "  <programme>", "    <!y>", "    <title>A<!z></title>"}},
    // Quoted attribute values hide ">" and "<".
    {"<tv><programme title=\"a>b\" x='<title>'><title>A</title></programme>",
     {"<tv>", "  <programme title=\"a>b\" x='<title>'>", "    <title>A</title>",
      "  </programme>"}},
    // Comments, CDATA sections and processing instructions hide markup.
    {"<tv><programme a=\"1\"><desc>x<!-- </programme><title> --></desc>"
     "<title><![CDATA[</programme><b>]]></title></programme>",
     {"<tv>", "  <programme a=\"1\">", "    <desc>x<!-- </programme><title> --></desc>",
      "    <title><![CDATA[</programme><b>]]></title>", "  </programme>"}},
    {"<tv><?pi <programme> ?><programme>", {"<tv>", "  <?pi <programme> ?>", "  <programme>"}},
    // A declaration's subset hides ">", also within a quoted literal.
    {"<!DOCTYPE tv [ <!ENTITY a \"x>]<tv>\"> <!ELEMENT tv (programme)*> ]><tv><programme>",
     {"<!DOCTYPE tv [ <!ENTITY a \"x>]<tv>\"> <!ELEMENT tv (programme)*> ]>", "<tv>",
      "  <programme>"}},
    // Markup in a child's content is content.
    {"<tv><programme><desc>Nieuws<br>weer<p>en</p></desc><rating><value>6</value></rating>",
     {"<tv>", "  <programme>", "    <desc>Nieuws<br>weer<p>en</p></desc>",
      "    <rating><value>6</value></rating>"}},
    // Elements directly inside tv, and markup before it, are content.
    {"<tv><foo a=\"1\">x</foo><bar/><programme>",
     {"<tv><foo a=\"1\">x</foo><bar/>", "  <programme>"}},
    {"Nieuws<br>weer<p/></x><![CDATA[<tv>]]>\n<tv>",
     {"Nieuws<br>weer<p/></x><![CDATA[<tv>]]>", "<tv>"}},
    // A start tag, a comment and a child running over lines.
    {"<tv><programme start=\"1\"\n     stop=\"2\"\n  channel=\"x\"><title>A</title>\n",
     {"<tv>", "  <programme start=\"1\"", "     stop=\"2\"", "  channel=\"x\">",
      "    <title>A</title>"}},
    {"<tv>x<!-- one\n<programme>two --><programme>\n",
     {"<tv>x", "  <!-- one", "<programme>two -->", "  <programme>"}},
    {"<tv><programme><desc>Het nieuws\nvan de <b>dag</b></desc><title>A</title>\n",
     {"<tv>", "  <programme>", "    <desc>Het nieuws", "van de <b>dag</b></desc>",
      "    <title>A</title>"}},
    // An unclosed quote or comment runs on to the end.
    {"<tv><programme a=\"1><title>A</title>\n</programme>\"><title>B</title>",
     {"<tv>", "  <programme a=\"1><title>A</title>", "</programme>\">", "    <title>B</title>"}},
    {"<tv><!-- x\n<programme><title>A</title>\n",
     {"<tv>", "  <!-- x", "<programme><title>A</title>"}},
    // Empty-element tags enter nothing.
    {"<tv><programme><new/><title>A</title><icon src=\"x\" /></programme>",
     {"<tv>", "  <programme>", "    <new/>", "    <title>A</title>", "    <icon src=\"x\" />",
      "  </programme>"}},
    {"<tv><programme a=\"1\"/><foo>x<!-- c --></foo>",
     {"<tv>", "  <programme a=\"1\"/><foo>x", "  <!-- c --></foo>"}},
    // "<" as text.
    {"<tv><programme><title>a < b <3 <= <-</title><desc>x</desc>",
     {"<tv>", "  <programme>", "    <title>a < b <3 <= <-</title>", "    <desc>x</desc>"}},
    // A child ends at its own end tag, not at one that begins like it;
    // names are whole words.
    {"<tv><programme><title>A</titles><b>x</b></title><desc>D</desc>",
     {"<tv>", "  <programme>", "    <title>A</titles><b>x</b></title>", "    <desc>D</desc>"}},
    {"<tv><programmes><programme-x></tv>", {"<tv><programmes><programme-x>", "</tv>"}},
    // White space: dropped at a split, kept at the end of a line; an empty
    // line; only white space before markup splits nothing.
    {"<tv>  \t <programme>\t<title>A</title>   \n",
     {"<tv>", "  <programme>", "    <title>A</title>   "}},
    {"<tv>x\n\n   <programme>\n", {"<tv>x", "", "   <programme>"}},
    {"<tv>\n\t<programme><title>A</title>\n", {"<tv>", "\t<programme>", "    <title>A</title>"}},
    // CR LF ends a line; a lone CR is dropped.
    {"<tv>\r\n<programme>\r<title>A</title>\r\n",
     {"<tv>", "<programme>", "    <title>A</title>"}},
    // The byte-order mark is white space at the start of the first line only.
    {"\xEF\xBB\xBF  <tv><programme>\n", {"\xEF\xBB\xBF  <tv>", "  <programme>"}},
    {"\xEF\xBB\xBF\n\xEF\xBB\xBF<tv>\n", {"\xEF\xBB\xBF", "\xEF\xBB\xBF", "<tv>"}},
};

TEST(ElementLineSplitter, CutsLinesIntoElementLines) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.input);
    for (const std::size_t readBlock : {LineReader::kReadBlock, std::size_t{3}}) {
      ExpectElementLines(row.input, row.lines, readBlock);
      // The element lines are a listing in the usual layout: read again,
      // they come back unchanged.
      ExpectElementLines(Layout(row.lines), row.lines, readBlock);
    }
  }
}

}  // namespace
}  // namespace zelvane
