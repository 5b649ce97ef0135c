#include "time/time_zone.h"

#include "base/byte_string.h"
#include "base/failure.h"
#include "base/platform.h"

#include <cctz/civil_time.h>
#include <cctz/time_zone.h>

#include <algorithm>
#include <chrono>
#include <limits>

namespace zelvane {

struct TimeZone::Rules {
  cctz::time_zone zone;
};

namespace {

using Lookup = cctz::time_zone::civil_lookup;

// A local date and time as one number that orders as the times do. Years far
// outside the stamps' 1 to 9999 are held at the edge, which keeps the order
// with every stamp.
std::int64_t LocalKey(const cctz::civil_second& time) {
  const std::int64_t year = std::clamp<std::int64_t>(time.year(), -1, 10000);
  return ((((year * 16 + time.month()) * 32 + time.day()) * 32 + time.hour()) * 64 +
          time.minute()) *
             64 +
         time.second();
}

// The offset in seconds of `time`: a skipped time takes the offset after the
// jump, a repeated one the earlier offset.
int OffsetSeconds(const cctz::time_zone& zone, const Lookup& found) {
  return zone.lookup(found.kind == Lookup::SKIPPED ? found.trans : found.pre).offset;
}

// True when `time` occurs once in `zone` and has `offset` seconds.
bool HasUniqueOffset(const cctz::time_zone& zone, const cctz::civil_second& time, int offset) {
  const Lookup found = zone.lookup(time);
  return found.kind == Lookup::UNIQUE && OffsetSeconds(zone, found) == offset;
}

}  // namespace

TimeZone::TimeZone(std::string_view name) : rules_(std::make_unique<Rules>()) {
  if (name.empty())
    throw EConvertError("No time zone was given after --tz", FailurePosition::kUnknownTimeZone);
  // Only names within the database's folder are looked up, and only there:
  // the zone is the command line's choice, not the environment's.
  const bool withinDatabase =
      name.front() != '/' && name.find("..") == std::string_view::npos;
  if (!withinDatabase ||
      !cctz::load_time_zone(Concat(ZELVANE_ZONEINFO_DIR "/", name), &rules_->zone)) {
    // Every database has a zone UTC: without it the database itself is
    // missing (a container or a minimal system without tzdata), and the
    // user needs to hear that rather than look for a typo in the name.
    if (platform::KindOf(ZELVANE_ZONEINFO_DIR "/UTC") == platform::EntryKind::kAbsent) {
      throw EConvertError(Concat("No time-zone database was found in " ZELVANE_ZONEINFO_DIR
                                 ", so time zone \"",
                                 name, "\" cannot be loaded; install it (Debian: tzdata)"),
                          FailurePosition::kNoTimeZoneDatabase);
    }
    // The zone's name on the command line cannot be turned into a zone: a
    // conversion of the user's value that fails, like an invalid date, not
    // a failed operation on the listing's files.
    throw EConvertError(Concat("Unknown time zone \"", name, "\""),
                        FailurePosition::kUnknownTimeZone);
  }
}

TimeZone::~TimeZone() = default;

std::int32_t TimeZone::UtcOffsetMinutes(const CivilTime& local) const {
  const cctz::civil_second time(local.year, local.month, local.day, local.hour, local.minute,
                                local.second);
  const std::int64_t key = LocalKey(time);
  if (key >= cachedFrom_ && key < cachedTo_) return cachedOffset_;

  const cctz::time_zone& zone = rules_->zone;
  const Lookup found = zone.lookup(time);
  const int offset = OffsetSeconds(zone, found);
  // Whole minutes, cut off towards zero as strftime's %z does: only local
  // mean times before the zones were standardised have seconds.
  const auto minutes = static_cast<std::int32_t>(offset / 60);
  if (found.kind != Lookup::UNIQUE) return minutes;

  // The local times between the transitions around this one occur once and
  // have this offset: from the later end of the previous jump to the earlier
  // end of the next.
  cctz::time_zone::civil_transition previous;
  cctz::time_zone::civil_transition next;
  std::int64_t from = std::numeric_limits<std::int64_t>::min();
  std::int64_t to = std::numeric_limits<std::int64_t>::max();
  if (zone.next_transition(found.pre, &next)) {
    if (zone.prev_transition(found.pre + cctz::seconds(1), &previous)) {
      from = LocalKey(std::max(previous.from, previous.to));
    }
    to = LocalKey(std::min(next.from, next.to));
  } else {
    // No next transition: either the zone keeps this offset for good, or
    // the library has stopped listing transitions this far ahead. Only this
    // local day is kept, when both of its ends have the same offset.
    const cctz::civil_second dayStart{cctz::civil_day(time)};
    const cctz::civil_second dayEnd = dayStart + (24 * 60 * 60 - 1);
    if (!HasUniqueOffset(zone, dayStart, offset) || !HasUniqueOffset(zone, dayEnd, offset)) {
      return minutes;
    }
    from = LocalKey(dayStart);
    to = LocalKey(dayEnd) + 1;
  }
  cachedFrom_ = from;
  cachedTo_ = to;
  cachedOffset_ = minutes;
  return minutes;
}

}  // namespace zelvane
