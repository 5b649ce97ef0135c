#pragma once

#include <cstddef>
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

  // The most bytes WriteUsual writes.
  static constexpr std::size_t kUsualMaxLength = 20;

  // Appends the normalised `value` to `out`. Raises EConvertError when the
  // stamp's date and time are invalid.
  void Append(std::string_view value, std::string& out);

  // Writes the normalised `value` to `to`, which has room for
  // kUsualMaxLength bytes, when it is a usual stamp: fourteen digits alone,
  // or with " CET", " UTC" or an offset such as " +0100" after them. Returns
  // the number of bytes written (14 or kUsualMaxLength), or 0 when `value`
  // is none of these or needs the general path of Append for another reason
  // (an invalid date, an offset of a hundred hours or more); `to` then holds
  // nothing of use.
  std::size_t WriteUsual(std::string_view value, char* to);

 private:
  // What European summer time does on a day: from 02:00 on the last Sunday
  // of March to 03:00 on the last Sunday of October.
  enum class DayKind { kWinter, kSummer, kSpringSwitch, kAutumnSwitch };
  // What summer time does on the valid date of `time`.
  static DayKind KindOfDay(const CivilTime& time);
  // Whether summer time holds at `secondOfDay` of a day of `kind`.
  static bool SummerAt(DayKind kind, int secondOfDay);
  // Whether European summer time holds at the valid local `time`.
  bool InSummer(const CivilTime& time);
  // Keeps the valid date of `time`, whose date bytes are `date`, as the day.
  void KeepDay(std::uint64_t date, const CivilTime& time);
  // WriteUsual for a stamp whose date is not the one kept: checks its date
  // and time and keeps a valid date.
  std::size_t WriteUsualOfNewDate(std::string_view value, char* to);
  // The zone's offset at the valid fourteen `digits` of a usual stamp, in
  // the last five of kUsualMaxLength bytes at `to`.
  std::size_t WriteZoneStamp(const char* digits, char* to) const;
  void AppendAny(std::string_view value, std::string& out);

  bool cet_;
  std::int32_t cetoffset_;
  const TimeZone* zone_;
  DateTimeSeparators separators_;
  // Stamps come in time order, many per day: the last valid date met, on
  // either path, is kept as the date bytes of a usual stamp ("YYYYMMDD" as
  // read from memory), with what summer time does on that day. No date
  // reads as 0.
  std::uint64_t day_ = 0;
  DayKind dayKind_{};
};

// The normalised `value`, as a fresh TimeStampNormaliser gives it.
std::string NormaliseTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset,
                               const TimeZone* zone = nullptr);

// "+0200", "-0500"; a magnitude of 100 hours or more keeps all its digits.
void AppendUtcOffset(std::int64_t hours, std::string& out);

// "+0530", "-0330": a signed number of minutes as hours and minutes.
void AppendUtcOffsetMinutes(std::int32_t minutes, std::string& out);

}  // namespace zelvane
