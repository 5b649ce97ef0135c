#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "time/calendar.h"

namespace zelvane {

class TimeZone;

// Normalises the time stamps of one pass. `value` (an XMLTV time stamp) gets
// an explicit UTC offset: " UTC" gives "+0000", " CET" the European
// summer-time offset, and with `cet` a stamp without zone the CET offset plus
// `cetoffset` hours. A stamp whose 15th character is "+" or "-" carries its
// offset already; it and anything else comes back trimmed. A date of only
// four or six digits counts from the first day of its year or month. With a
// `zone`, a stamp without zone gets that zone's offset at its local time
// instead, whether `cet` is on or not.
class TimeStampNormaliser {
 public:
  // An invalid stamp is reported with `separators`.
  TimeStampNormaliser(bool cet, std::int32_t cetoffset, const TimeZone* zone = nullptr,
                      DateTimeSeparators separators = DateTimeSeparators())
      : cet_(cet), cetoffset_(cetoffset), zone_(zone), separators_(std::move(separators)) {}

  // Appends the normalised `value` to `out`. Raises EConvertError when the
  // stamp's date and time are invalid.
  void Append(std::string_view value, std::string& out);

 private:
  // Whether European summer time holds at the valid local time given.
  bool InSummer(int year, int month, int day, int hour, int minute, int second);
  // The usual stamp, fourteen digits with " CET", " UTC" or nothing after
  // them: false when `value` is not one, or its date is invalid.
  bool AppendUsual(std::string_view value, std::string& out);
  void AppendAny(std::string_view value, std::string& out);

  bool cet_;
  std::int32_t cetoffset_;
  const TimeZone* zone_;
  DateTimeSeparators separators_;
  // Stamps come in time order, many per day: the summer-time answer of the
  // last day asked for is kept (year * 10000 + month * 100 + day).
  std::int32_t cachedDay_ = -1;
  // The last date of a usual stamp found valid, keyed as cachedDay_.
  std::int32_t validDay_ = -1;
  enum class DayKind { kWinter, kSummer, kSpringSwitch, kAutumnSwitch } cachedKind_{};
};

// The normalised `value`, as a fresh TimeStampNormaliser gives it.
std::string NormaliseTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset,
                               const TimeZone* zone = nullptr);

// "+0200", "-0500"; a magnitude of 100 hours or more keeps all its digits.
void AppendUtcOffset(std::int64_t hours, std::string& out);

// "+0530", "-0330": a signed number of minutes as hours and minutes.
void AppendUtcOffsetMinutes(std::int32_t minutes, std::string& out);

}  // namespace zelvane
