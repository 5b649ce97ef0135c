#include "time/timestamp.h"

namespace zelvane {

// Placeholder: time stamps pass unchanged until the time handling lands.
std::string NormaliseTimeStamp(std::string_view value, bool, std::int32_t) {
  return std::string(value);
}

std::string FormatUtcOffset(std::int64_t) { return "+0000"; }

}  // namespace zelvane
