#include "run/destination.h"

#include <gtest/gtest.h>

namespace zelvane {
namespace {

TEST(WorkingFileName, ReplacesTheExtensionOfTheLastName) {
  struct Case {
    const char* destination;
    const char* working;
  };
  const Case cases[] = {
      {"listing.xml", "listing.~tm"},
      {"listing", "listing.~tm"},
      {"listing.", "listing.~tm"},
      {"a.tar.gz", "a.tar.~tm"},
      {"/tmp/guide.xml", "/tmp/guide.~tm"},
      {"dir.d\\listing", "dir.d\\listing.~tm"},
      {"dir.d/listing", "dir.d/listing.~tm"},
      {"a.b/c.xml", "a.b/c.~tm"},
      {"../listing", "../listing.~tm"},
      {"./listing.xml", "./listing.~tm"},
      {"c:listing", "c:listing.~tm"},
      {"a.b:c", "a.b:c.~tm"},
      {"x.~tm", "x.~tm"},
      {".hidden", ".~tm"},
      {"", ".~tm"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WorkingFileName(c.destination), c.working) << c.destination;
  }
}

}  // namespace
}  // namespace zelvane
