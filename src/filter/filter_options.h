#pragma once

#include <cstdint>
#include <string>

#include "time/calendar.h"

namespace zelvane {

// How the listing's bytes are to be read when numeric character references
// are decoded into them.
enum class ListingEncoding {
  kLatin1,           // ISO-8859-1 declared, latin1, or no encoding declared
  kUtf8,             // UTF-8 declared, or a UTF-8 byte-order mark
  kOtherSingleByte,  // any other declared encoding
};

// What the filter does to the lines after the first, as the command line
// asks: filled once, before the pass, and fixed for it.
struct FilterOptions {
  bool cet = false;
  std::int32_t cetoffset = 0;  // hours relative to CET
  bool tz = false;
  std::string tzname;  // the zone's name, as given after --tz
  bool kenmerk = false;
  bool talpa = false;
  bool tba = false;
  DateTimeSeparators separators;  // the locale's, for the report of an invalid time stamp
};

}  // namespace zelvane
