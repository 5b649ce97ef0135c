// Writes a large, realistic XMLTV listing for timing the filter: about 60
// channels, programmes of about a dozen lines, a mix of zone words, markup,
// ampersands, references and non-ASCII text. Deterministic for a given seed.
//
//   generate_listing MEGABYTES OUTPUT [SEED] [latin1|utf8] [KIND] [LAYOUT]
//
// KIND "realistic" (the default) writes programmes; the hostile kinds write
// one line of MEGABYTES made of a single text repeated ("br": <br>, "amp": &,
// "ref": &#233;, "ltbr": &lt;br&gt;), or "further": one programme whose lines
// are all further lines.
//
// LAYOUT "usual" (the default) writes every element on a line of its own,
// indented as XMLTV's own writer does. "programme" writes each channel and
// each programme on one line, its children joined without the line ends and
// indentation between them; "line" writes the declaration on its own line and
// everything from <tv to </tv> on one line, with no line end at all. The
// compact layouts hold the same channels and programmes as the usual one of
// the same seed, so that the three can be timed against each other.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 2654435761u + 0x9E3779B97F4A7C15u) {}
  std::uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Percent(double p) { return static_cast<double>(Next() % 100000) < p * 1000.0; }

 private:
  std::uint64_t state_;
};

const char* const kWords[] = {
    "het", "nieuws", "van", "de", "dag", "met", "aandacht", "voor", "sport", "weer",
    "film", "serie", "documentaire", "over", "natuur", "in", "Nederland", "en", "België",
    "een", "reis", "door", "Europa", "muziek", "concert", "live", "uit", "Amsterdam",
    "verhaal", "familie", "liefde", "politie", "onderzoek", "geschiedenis", "oorlog",
    "kinderen", "dieren", "koken", "tuin", "wonen", "quiz", "spel", "presentatie",
};
const char* const kAccented[] = {"café", "première", "reünie", "Curaçao", "Müller", "coördinator"};
const char* const kSpecial[] = {"<br>", "<BR />", "<p>", "&lt;br&gt;", "&amp;", "&#233;",
                                " & ", "&#8217;", "&quot;", "&#x41;"};
const char* const kCategories[] = {"nieuws", "film", "serie", "sport", "documentaire",
                                   "kinderen", "muziek", "amusement"};
const char* const kNames[] = {"Jan de Vries", "Anna Jansen", "Pieter Bakker", "Zoë Visser",
                              "Mark Smit", "Lotte Meijer", "René de Boer", "Emma Mulder"};

// Chances per text line, so that about 2.5% of all lines carry markup or an
// ampersand and about 10% carry bytes 0x80-0xFF.
constexpr double kSpecialPercent = 12;
constexpr double kAccentPercent = 22;

enum class Layout { kUsual, kProgramme, kLine };

struct Writer {
  std::FILE* out;
  bool latin1;
  Layout layout = Layout::kUsual;
  // Bytes the usual layout would have written so far: the listing's size
  // limit counts these, so that every layout holds the same programmes.
  std::uint64_t written = 0;
  std::uint64_t lines = 0;

  // A line outside channels and programmes, or the start tag of one.
  void Line(const std::string& text) { Put(text, false); }
  // A line of a channel or programme after its start tag (its end tag
  // included), which the programme layout joins to the line before.
  void Inner(const std::string& text) { Put(text, true); }

  // Ends the listing: the usual and programme layouts end their last line.
  void Finish() {
    if (layout != Layout::kLine) std::fputc('\n', out);
  }

  void Put(const std::string& text, bool inner) {
    std::string bytes = latin1 ? ToLatin1(text) : text;
    written += bytes.size() + 1;
    // The declaration stays on a line of its own in every layout.
    const bool joined = (layout == Layout::kLine && lines >= 2) ||
                        (layout == Layout::kProgramme && inner);
    if (lines > 0 && !joined) std::fputc('\n', out);
    ++lines;
    if (joined) bytes.erase(0, bytes.find_first_not_of(' '));
    std::fwrite(bytes.data(), 1, bytes.size(), out);
  }

  // The sources above are UTF-8; a Latin-1 listing gets single bytes.
  static std::string ToLatin1(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c >= 0xC0 && c < 0xE0 && i + 1 < text.size()) {
        result += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
        ++i;
      } else {
        result += static_cast<char>(c);
      }
    }
    return result;
  }
};

std::string Text(Random& random, int minBytes, int maxBytes, bool special, bool accented) {
  const int target = minBytes + random.Below(maxBytes - minBytes + 1);
  std::string text;
  bool specialDone = !special, accentDone = !accented;
  while (static_cast<int>(text.size()) < target) {
    if (!text.empty()) text += ' ';
    if (!specialDone && random.Below(4) == 0) {
      text += kSpecial[random.Below(10)];
      specialDone = true;
    } else if (!accentDone && random.Below(4) == 0) {
      text += kAccented[random.Below(6)];
      accentDone = true;
    } else {
      text += kWords[random.Below(static_cast<int>(sizeof kWords / sizeof kWords[0]))];
    }
  }
  if (!specialDone) text += std::string(" ") + kSpecial[random.Below(10)];
  if (!accentDone) text += std::string(" ") + kAccented[random.Below(6)];
  if (random.Below(3) == 0) text += random.Below(2) ? "." : "?";
  return text;
}

std::string Stamp(int day, int minutes, int zone) {
  char text[40];
  const int hour = minutes / 60 % 24, minute = minutes % 60;
  const char* suffix = zone < 60 ? " CET" : zone < 80 ? " UTC" : zone < 95 ? "" : " +0100";
  std::snprintf(text, sizeof text, "2026%02d%02d%02d%02d00%s", 3 + day / 28 % 8, 1 + day % 28,
                hour, minute, suffix);
  return text;
}

// One hostile listing of about `limit` bytes; false for an unknown kind.
bool WriteHostile(Writer& w, const std::string& kind, std::uint64_t limit) {
  const std::string unit = kind == "br"     ? "<br>"
                           : kind == "amp"  ? "&"
                           : kind == "ref"  ? "&#233;"
                           : kind == "ltbr" ? "&lt;br&gt;"
                                            : "";
  w.Line("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
  w.Line("<tv>");
  if (kind == "further") {
    w.Line("  <programme start=\"20260715203000 CET\" stop=\"20260715213000 CET\" channel=\"x\">");
    while (w.written < limit) w.Inner("    <actor>Jan de Vries</actor>");
    w.Inner("  </programme>");
  } else if (!unit.empty()) {
    std::string line;
    line.reserve(limit + unit.size());
    while (line.size() < limit) line += unit;
    w.Line(line);
  } else {
    std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
    return false;
  }
  w.Line("</tv>");
  w.Finish();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: generate_listing MEGABYTES OUTPUT [SEED] [latin1|utf8] [KIND] "
                 "[usual|programme|line]\n");
    return 2;
  }
  const std::string layout = argc > 6 ? argv[6] : "usual";
  if (layout != "usual" && layout != "programme" && layout != "line") {
    std::fprintf(stderr, "unknown layout %s\n", layout.c_str());
    return 2;
  }
  const std::uint64_t limit = std::strtoull(argv[1], nullptr, 10) * 1024 * 1024;
  Random random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);
  const bool latin1 = argc <= 4 || std::strcmp(argv[4], "utf8") != 0;
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  Writer w{out, latin1};
  w.layout = layout == "programme" ? Layout::kProgramme
             : layout == "line"    ? Layout::kLine
                                   : Layout::kUsual;
  const std::string kind = argc > 5 ? argv[5] : "realistic";
  if (kind != "realistic") return WriteHostile(w, kind, limit) && std::fclose(out) == 0 ? 0 : 1;
  w.Line(latin1 ? "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  w.Line("<tv generator-info-name=\"zelvane benchmark\">");
  constexpr int kChannels = 60;
  for (int c = 0; c < kChannels; ++c) {
    w.Line("  <channel id=\"ch" + std::to_string(c) + ".example\">");
    w.Inner("    <display-name lang=\"nl\">Kanaal " + std::to_string(c) + "</display-name>");
    w.Inner("  </channel>");
  }
  int day = 0, minutes = 6 * 60, channel = 0;
  while (w.written < limit) {
    // About 2.5% of the lines carry markup or ampersands and 10% non-ASCII
    // bytes; a programme has about twelve lines.
    const int zone = random.Below(100);
    const int length = 15 + 15 * random.Below(8);
    w.Line("  <programme start=\"" + Stamp(day, minutes, zone) + "\" stop=\"" +
           Stamp(day, minutes + length, zone) + "\" channel=\"ch" + std::to_string(channel) +
           ".example\">");
    const int fate = random.Below(1000);
    std::string title = fate < 15   ? "To Be Announced"
                        : fate < 25 ? "TALPA"
                                    : Text(random, 8, 30, random.Percent(kSpecialPercent), random.Percent(kAccentPercent));
    w.Inner("    <title lang=\"nl\">" + title + "</title>");
    if (random.Below(3) == 0) {
      w.Inner("    <sub-title lang=\"nl\">" + Text(random, 10, 40, random.Percent(kSpecialPercent), random.Percent(kAccentPercent)) +
              "</sub-title>");
    }
    w.Inner("    <desc lang=\"nl\">" + Text(random, 50, 600, random.Percent(kSpecialPercent), random.Percent(kAccentPercent)) +
            "</desc>");
    w.Inner("    <credits>");
    for (int a = 1 + random.Below(3); a > 0; --a) {
      w.Inner(std::string("      <actor>") + kNames[random.Below(8)] + "</actor>");
    }
    w.Inner("    </credits>");
    w.Inner(std::string("    <category lang=\"nl\">") + kCategories[random.Below(8)] + "</category>");
    if (random.Below(2) == 0) {
      w.Inner("    <kenmerken>" + Text(random, 6, 30, false, false) + "</kenmerken>");
    }
    w.Inner("    <episode-num system=\"onscreen\">" + std::to_string(1 + random.Below(40)) +
            "</episode-num>");
    w.Inner("    <rating system=\"kijkwijzer\"><value>" + std::to_string(6 + 3 * random.Below(4)) +
            "</value></rating>");
    w.Inner("  </programme>");
    channel = (channel + 1) % kChannels;
    if (channel == 0) {
      minutes += length;
      if (minutes >= 24 * 60) {
        minutes -= 24 * 60;
        ++day;
      }
    }
  }
  w.Line("</tv>");
  w.Finish();
  return std::fclose(out) == 0 ? 0 : 1;
}
