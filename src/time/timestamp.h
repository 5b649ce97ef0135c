#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelvane {

class TimeZone;

// `value` (an XMLTV time stamp) with an explicit UTC offset: " UTC" gives
// "+0000", " CET" the European summer-time offset, and with `cet` a stamp
// without zone the CET offset plus `cetoffset` hours. A stamp whose 15th
// character is "+" or "-" carries its offset already; it and anything else
// comes back trimmed. A date of only four or six digits counts from the first
// day of its year or month. With a `zone`, a stamp without zone gets that
// zone's offset at its local time instead, whether `cet` is on or not. Raises
// EConvertError when the stamp's date and time are invalid.
std::string NormaliseTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset,
                               const TimeZone* zone = nullptr);

// As NormaliseTimeStamp, appending the result to `out`.
void AppendNormalisedTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset,
                               std::string& out);
void AppendNormalisedTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset,
                               const TimeZone* zone, std::string& out);

// "+0200", "-0500"; a magnitude of 100 hours or more keeps all its digits.
std::string FormatUtcOffset(std::int64_t hours);
void AppendUtcOffset(std::int64_t hours, std::string& out);

// "+0530", "-0330": a signed number of minutes as hours and minutes.
void AppendUtcOffsetMinutes(std::int32_t minutes, std::string& out);

}  // namespace zelvane
