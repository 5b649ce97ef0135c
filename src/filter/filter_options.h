#pragma once

#include <cstdint>

#include "time/calendar.h"

namespace zelvane {

class TimeZone;

// How the listing's bytes are to be read when numeric character references
// are decoded into them.
enum class ListingEncoding {
  kLatin1,           // ISO-8859-1 declared, latin1, or no encoding declared
  kUtf8,             // UTF-8 declared, or a UTF-8 byte-order mark
  kOtherSingleByte,  // any other declared encoding
};

// What the filter does to the lines after the first, fixed for one pass.
struct FilterOptions {
  ListingEncoding encoding = ListingEncoding::kLatin1;
  bool cet = false;
  std::int32_t cetoffset = 0;      // hours relative to CET
  const TimeZone* zone = nullptr;  // the zone of --tz, or none
  bool kenmerk = false;
  bool talpa = false;
  bool tba = false;
  DateTimeSeparators separators;  // of the message for an invalid time stamp
};

}  // namespace zelvane
