#pragma once

#include "base/captured_output.h"
#include "filter/programme_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zelvane::testing {

// For the tests of ProgrammeFilter: the settings they use, the filter run on
// a whole input, and a table of cases.

using Lines = std::vector<std::string>;

inline FilterOptions Switches(bool kenmerk, bool tba, bool talpa, bool cet = false,
                              std::int32_t cetoffset = 0) {
  FilterOptions settings;
  settings.kenmerk = kenmerk;
  settings.tba = tba;
  settings.talpa = talpa;
  settings.cet = cet;
  settings.cetoffset = cetoffset;
  return settings;
}

inline const FilterOptions kNoSwitches = Switches(false, false, false);
inline const FilterOptions kKenmerk = Switches(true, false, false);
inline const FilterOptions kTba = Switches(false, true, false);
inline const FilterOptions kTalpa = Switches(false, false, true);
inline const FilterOptions kAll = Switches(true, true, true);

// What a fresh filter writes for `input`, one call per line, and Finish at
// the end.
inline std::string Filter(const FilterOptions& settings, const Lines& input) {
  CapturedOutput output;
  ProgrammeFilter filter(output.writer(), settings, ListingEncoding::kLatin1);
  for (const std::string& line : input) filter.FilterLine(line);
  filter.Finish();
  return output.Take();
}

inline std::string CrLf(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\r\n");
  return text;
}

struct FilterCase {
  const char* name;
  FilterOptions settings;
  Lines input;
  Lines expected;
};

inline void ExpectCases(const std::vector<FilterCase>& cases) {
  for (const FilterCase& c : cases) {
    EXPECT_EQ(Filter(c.settings, c.input), CrLf(c.expected)) << c.name;
  }
}

// Opening lines whose values NormaliseTimeStamp leaves as they are.
inline const std::string kOpen = R"(  <programme start="20070715203000 +0200" channel="ned1">)";
inline const std::string kClose = "  </programme>";

}  // namespace zelvane::testing
