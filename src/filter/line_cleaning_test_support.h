#pragma once

#include "filter/line_cleaning.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zelvane::testing {

// For the tests of CleanLine: a line and what cleaning makes of it.
struct CleaningCase {
  std::string in;
  std::string out;
};

inline void ExpectCleaned(const std::vector<CleaningCase>& cases,
                          ListingEncoding encoding = ListingEncoding::kLatin1) {
  for (const CleaningCase& c : cases) {
    EXPECT_EQ(CleanLine(c.in, encoding), c.out) << "line: " << c.in;
  }
}

}  // namespace zelvane::testing
