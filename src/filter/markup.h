#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "base/byte_string.h"

namespace zelvane {

// The markup that the filter looks for in a line, written once: what opens a
// programme, and the paragraph and line-break markup that cleaning replaces.

// The text that opens a programme's line.
inline constexpr std::string_view kProgrammeOpening = "<programme ";

// True when a programme opens at `at`.
inline bool OpensProgrammeAt(std::string_view text, std::size_t at) {
  static_assert(kProgrammeOpening == "<programme ");
  return LiteralAt(text, at, "<programme ");
}

// Replaced by one blank each, one whole pass per text in this order. The
// order matters: a blank left by an earlier pass can complete a later text,
// so "<br<p>/>" becomes "<br />" and then a single blank. The texts are
// lower case; a line is compared without regard to ASCII case. All but the
// last are tag markup, starting with "<"; the last starts with "&".
inline constexpr std::array<std::string_view, 5> kMarkup = {"<p>", "</p>", "<br>", "<br />",
                                                            "&lt;br&gt;"};

// Whether `markup` stands at `at`, ASCII case ignored.
inline bool MarkupAt(std::string_view text, std::size_t at, std::string_view markup) {
  if (at > text.size() || text.size() - at < markup.size()) return false;
  for (std::size_t k = 0; k < markup.size(); ++k) {
    if (LowerAscii(text[at + k]) != markup[k]) return false;
  }
  return true;
}

// The length of the tag markup (one of the first four kMarkup texts) that
// starts at the "<" at `at`, or 0.
inline std::size_t TagMarkupLength(std::string_view text, std::size_t at) {
  if (text.size() - at < 3) return 0;
  switch (LowerAscii(text[at + 1])) {
    case 'p':
      return text[at + 2] == '>' ? kMarkup[0].size() : 0;
    case '/':
      return MarkupAt(text, at, kMarkup[1]) ? kMarkup[1].size() : 0;
    case 'b':
      if (MarkupAt(text, at, kMarkup[2])) return kMarkup[2].size();
      return MarkupAt(text, at, kMarkup[3]) ? kMarkup[3].size() : 0;
    default:
      return 0;
  }
}

}  // namespace zelvane
