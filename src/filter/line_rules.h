#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "filter/filter_options.h"
#include "filter/line_scan.h"

namespace zelvane {

// Element start texts count only when they lie wholly in this many
// characters from the line's first one that is no blank or tab: text before
// a tag counts, indentation does not.
inline constexpr std::size_t kHeadLength = 20;

// Where the characters that kHeadLength counts begin in `line`.
std::size_t HeadStart(std::string_view line);

// The text that closes a programme.
inline constexpr std::string_view kClosingText = "</programme";

// Classifies a line that opens no programme by the fixed texts near its
// start (see kHeadLength); `headTagStarts` marks the "<" among its first 32
// bytes.
LineKind ClassifyLine(std::string_view line, std::uint32_t headTagStarts);

// True when the title line `line`, whose first "<title" stands at `titleAt`
// (npos: none), matches a drop rule whose switch is on: "to be announced"
// (any case) starting 1 to 9 characters after the ">" of the start tag, or
// a title that is exactly "talpa" (any case).
bool CheckTitleAt(std::string_view line, std::size_t titleAt, const FilterOptions& options);

// The kenmerken merge folds the text of a kenmerken line as
// " Kenmerken: <text>" into the desc line before its "</desc", with a full
// stop first when the description ends in a byte above '?'; without a desc
// line, a desc line holding the text is built. Its parts, for a desc line
// held elsewhere: the text of `kenmerkenLine`, whose first "<kenmerken"
// stands at `startAt` (npos: none), between its start tag and
// "</kenmerken>", or empty; the desc line built around it where there is
// none; and where in a desc line that is not empty it goes and what goes
// before it.
std::string_view KenmerkenTextAt(std::string_view kenmerkenLine, std::size_t startAt);
void AppendKenmerkenDesc(std::string_view text, std::string& out);
struct KenmerkenPlace {
  std::size_t at = 0;      // the first "</desc", or npos: the line stays as it is
  std::string_view label;  // " Kenmerken: ", with a full stop first where needed
};
KenmerkenPlace FindKenmerkenPlace(std::string_view descLine);

}  // namespace zelvane
