#include "time/calendar.h"

namespace zelvane {

// Placeholder: the calendar arithmetic lands with the time-handling work.
void SetDateTimeSeparators(std::string, std::string, std::string) {}

}  // namespace zelvane
