#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "program_runner.h"

namespace zelvane::testing {
namespace {

// Real XMLTV files, kept outside the repository.
const std::filesystem::path kCorpus = ZELVANE_CORPUS;

constexpr std::size_t kNoEnd = std::string_view::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The end of the markup that starts with the `<` at `at`: a comment, a CDATA
// section, a processing instruction, a declaration with its internal subset,
// or a tag with its quoted attribute values; kNoEnd when it never ends.
std::size_t MarkupEnd(std::string_view text, std::size_t at) {
  constexpr std::array<std::array<std::string_view, 2>, 3> kDelimited = {
      {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}}};
  for (const auto& [open, close] : kDelimited) {
    if (text.substr(at).starts_with(open)) {
      const std::size_t end = text.find(close, at + open.size());
      return end == kNoEnd ? kNoEnd : end + close.size();
    }
  }
  int subset = 0;
  char quote = 0;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      ++subset;
    } else if (c == ']') {
      --subset;
    } else if (c == '>' && subset == 0) {
      return i + 1;
    }
  }
  return kNoEnd;
}

// A tag, as against a comment, CDATA section, processing instruction or
// declaration.
bool IsTag(std::string_view markup) {
  return !markup.starts_with("<!") && !markup.starts_with("<?");
}
bool IsEndTag(std::string_view markup) { return markup.starts_with("</"); }
// A start tag that is no empty-element tag: an element whose end is to come.
bool IsStartTag(std::string_view markup) {
  return IsTag(markup) && !IsEndTag(markup) && !markup.ends_with("/>");
}

std::string_view TagName(std::string_view tag) {
  const std::size_t start = IsEndTag(tag) ? 2 : 1;
  return tag.substr(start, tag.find_first_of(" \t\r\n/>", start) - start);
}

// One line of the usual layout: a piece of the listing as read, its
// indentation, and whether it belongs to a channel or programme after its
// start tag (a child, a comment or the end tag).
struct Line {
  std::string_view text;
  std::size_t indent = 0;
  bool inner = false;
};

enum class Layout { kUsual, kProgrammeLine, kOneLine };

// A listing read into the lines of its usual layout: every tag, child,
// comment and processing instruction as its bytes stand in the file, so that
// the layouts differ only in the white space between them.
class ListingLines {
 public:
  explicit ListingLines(std::string_view text) : text_(text) {
    if (text_.starts_with("\xEF\xBB\xBF")) at_ = 3;
    Read();
  }

  // True when the file's root element is tv.
  bool listing() const { return listing_; }
  // True when all of it was read: no text outside the children, no markup
  // that never ends.
  bool complete() const { return complete_; }
  // True when tv holds elements other than channels and programmes.
  bool foreign() const { return foreign_; }

  // The listing in `layout`: the usual one; each channel and programme on
  // one line; or the declaration and then everything else on one line, with
  // no line end after it.
  std::string Write(Layout layout) const {
    std::string out(text_.substr(0, text_.starts_with("\xEF\xBB\xBF") ? 3 : 0));
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const bool joined = layout == Layout::kOneLine
                              ? i > (declared_ ? 1u : 0u)
                              : layout == Layout::kProgrammeLine && lines_[i].inner;
      if (i > 0 && !joined) out.push_back('\n');
      if (!joined) out.append(lines_[i].indent, ' ');
      out.append(lines_[i].text);
    }
    if (layout != Layout::kOneLine) out.push_back('\n');
    return out;
  }

 private:
  // The next markup after white space, or empty at the end of the file, at
  // text, or at markup that never ends.
  std::string_view Next() {
    while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
    if (at_ == text_.size() || text_[at_] != '<') return {};
    const std::size_t end = MarkupEnd(text_, at_);
    if (end == kNoEnd) return {};
    const std::string_view markup = text_.substr(at_, end - at_);
    at_ = end;
    return markup;
  }

  // The whole element whose start tag Next() has just returned, nested
  // elements, comments and CDATA sections included.
  std::string_view Element(std::string_view tag) {
    const std::size_t start = at_ - tag.size();
    for (int depth = IsStartTag(tag) ? 1 : 0; depth > 0;) {
      const std::size_t open = text_.find('<', at_);
      const std::size_t end = open == kNoEnd ? kNoEnd : MarkupEnd(text_, open);
      if (end == kNoEnd) return {};
      const std::string_view markup = text_.substr(open, end - open);
      depth += IsStartTag(markup) ? 1 : IsEndTag(markup) ? -1 : 0;
      at_ = end;
    }
    return text_.substr(start, at_ - start);
  }

  void Add(std::string_view text, std::size_t indent, bool inner) {
    complete_ = complete_ && !text.empty();
    lines_.push_back({text, indent, inner});
  }

  void Read() {
    std::string_view markup = Next();
    for (; !markup.empty() && !IsTag(markup); markup = Next()) {
      if (lines_.empty() && markup.starts_with("<?xml") && markup.size() > 5 &&
          IsBlank(markup[5])) {
        declared_ = true;
      }
      Add(markup, 0, false);
    }
    listing_ = !markup.empty() && !IsEndTag(markup) && TagName(markup) == "tv";
    if (!listing_) return;
    Add(markup, 0, false);
    if (IsStartTag(markup)) ReadTv();
    while (!(markup = Next()).empty()) Add(markup, 0, false);
    complete_ = complete_ && at_ == text_.size();
  }

  void ReadTv() {
    for (std::string_view markup = Next();; markup = Next()) {
      if (markup.empty() || IsEndTag(markup)) {
        Add(!markup.empty() && TagName(markup) == "tv" ? markup : std::string_view(), 0, false);
        return;
      }
      const std::string_view name = IsTag(markup) ? TagName(markup) : std::string_view();
      if (name != "programme" && name != "channel") {
        foreign_ = foreign_ || !name.empty();
        Add(Element(markup), 2, false);
        continue;
      }
      Add(markup, 2, false);
      if (!IsStartTag(markup)) continue;
      for (markup = Next(); !markup.empty() && !IsEndTag(markup); markup = Next()) {
        Add(Element(markup), 4, true);
      }
      Add(!markup.empty() && TagName(markup) == name ? markup : std::string_view(), 2, true);
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::vector<Line> lines_;
  bool declared_ = false;
  bool listing_ = false;
  bool complete_ = true;
  bool foreign_ = false;
};

// The line of `usual` and of `other` that holds their first difference.
std::string FirstDifference(std::string_view usual, std::string_view other) {
  const auto at = static_cast<std::size_t>(
      std::mismatch(usual.begin(), usual.end(), other.begin(), other.end()).first - usual.begin());
  const std::size_t before = at == 0 ? kNoEnd : usual.rfind('\n', at - 1);
  const std::size_t start = before == kNoEnd ? 0 : before + 1;
  std::string lines = "usual: ";
  lines.append(usual.substr(start, usual.find('\n', start) - start)).append("\nthis:  ");
  return lines.append(other.substr(start, other.find('\n', start) - start));
}

struct LayoutCase {
  Layout layout;
  const char* name;
};

const LayoutCase kLayouts[] = {
    {Layout::kUsual, "usual"},
    {Layout::kProgrammeLine, "programme a line"},
    {Layout::kOneLine, "one line"},
};

const std::vector<std::vector<std::string>> kSwitchSets = {
    {"--cet", "--kenmerk", "--tba", "--talpa"},
    {},
};

// Every corpus listing, written the usual way, one channel or programme a
// line, and all on one line, is filtered to the same bytes.
TEST(LayoutProgram, FiltersEveryLayoutOfAListingAlike) {
  if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  const std::filesystem::path directory = FreshDirectory("layout");
  std::size_t listings = 0;
  for (const std::filesystem::path& file : files) {
    const std::string text = ReadFile(file);
    const ListingLines lines(text);
    if (!lines.listing()) continue;
    ++listings;
    const std::string what = file.filename().string();
    if (!lines.complete()) {
      ADD_FAILURE() << what << " holds text or markup that no layout can be made of";
      continue;
    }
    for (const std::vector<std::string>& switches : kSwitchSets) {
      std::string usual;
      ProgramResult usualResult;
      for (const LayoutCase& layout : kLayouts) {
        // No line is cut before an element directly inside tv other than a
        // channel or programme: on one line it stays on the line of the end
        // tag before it, where the usual layout gives it a line of its own.
        if (layout.layout == Layout::kOneLine && lines.foreign()) continue;
        WriteFile(directory / "listing.xml", lines.Write(layout.layout));
        std::filesystem::remove(directory / "out.xml");
        std::vector<std::string> arguments = {"listing.xml", "--output", "out.xml"};
        arguments.insert(arguments.end(), switches.begin(), switches.end());
        const ProgramResult result = RunProgram(arguments, directory);
        const std::string output = ReadFile(directory / "out.xml");
        if (layout.layout == Layout::kUsual) {
          usual = output;
          usualResult = result;
          continue;
        }
        // Appended piece by piece: GCC 12 warns falsely on chains of operator+.
        std::string run = what;
        run.append(", ").append(layout.name).append(switches.empty() ? ", no switches" : "");
        EXPECT_EQ(result.status, usualResult.status) << run << "\n" << result.err;
        EXPECT_EQ(result.out, usualResult.out) << run;
        EXPECT_EQ(result.err, usualResult.err) << run;
        EXPECT_TRUE(output == usual) << run << " is filtered differently from the usual layout:\n"
                                     << FirstDifference(usual, output);
      }
    }
  }
  EXPECT_GT(listings, 0u);
}

}  // namespace
}  // namespace zelvane::testing
