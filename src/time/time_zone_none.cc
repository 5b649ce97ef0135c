#include "time/time_zone.h"

#include "base/byte_string.h"
#include "base/failure.h"

namespace zelvane {

// This build has no time-zone database: every zone is refused.
struct TimeZone::Rules {};

TimeZone::TimeZone(std::string_view name) {
  // As for an unknown zone: the name cannot be turned into a zone here.
  throw EConvertError(Concat("Time zones are not available in this build, so \"", name,
                             "\" cannot be used; use --cet with an offset instead"),
                      FailurePosition::kNoTimeZones);
}

TimeZone::~TimeZone() = default;

std::int32_t TimeZone::UtcOffsetMinutes(const CivilTime&) const { return 0; }

}  // namespace zelvane
