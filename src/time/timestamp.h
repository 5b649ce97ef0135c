#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelvane {

// `value` (an XMLTV time stamp) with an explicit UTC offset: " UTC" gives
// "+0000", " CET" the European summer-time offset, and with `cet` a stamp
// without zone the CET offset plus `cetoffset` hours. A stamp whose 15th
// character is "+" or "-" carries its offset already; it and anything else
// comes back trimmed. A date of only four or six digits counts from the first
// day of its year or month. Raises EConvertError when the stamp's date and
// time are invalid.
std::string NormaliseTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset);

// As NormaliseTimeStamp, appending the result to `out`.
void AppendNormalisedTimeStamp(std::string_view value, bool cet, std::int32_t cetoffset,
                               std::string& out);

// "+0200", "-0500"; a magnitude of 100 hours or more keeps all its digits.
std::string FormatUtcOffset(std::int64_t hours);
void AppendUtcOffset(std::int64_t hours, std::string& out);

}  // namespace zelvane
