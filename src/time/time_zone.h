#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "time/calendar.h"

namespace zelvane {

// A zone of the system's time-zone database ("Europe/London",
// "America/New_York", "UTC"), looked up once and then asked for the UTC
// offset of local wall-clock times. The last offset range found is kept, so
// that the stamps of a listing, which come in time order, seldom look the
// rules up again.
class TimeZone {
 public:
  // Raises EConvertError naming the zone when the database holds no zone of
  // that name, when the database is missing (naming the directory looked
  // in), or when this build has no time-zone database.
  explicit TimeZone(std::string_view name);
  ~TimeZone();
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

  // The offset east of UTC, in whole minutes (seconds cut off towards zero),
  // that the zone has at the valid local date and time `time` (its
  // milliseconds aside). A local time that the zone skips takes the offset
  // after the jump; one that occurs twice takes the earlier offset.
  std::int32_t UtcOffsetMinutes(const CivilTime& time) const;

 private:
  struct Rules;
  std::unique_ptr<Rules> rules_;
  // The local times from `cachedFrom_` up to, not including, `cachedTo_`
  // (each as a number that orders as the times do) occur once and have the
  // offset `cachedOffset_`. Empty at first.
  mutable std::int64_t cachedFrom_ = 0;
  mutable std::int64_t cachedTo_ = 0;
  mutable std::int32_t cachedOffset_ = 0;
};

}  // namespace zelvane
