// Calendar arithmetic on local civil time, without time zones: the virtual clock keeps local
// time as milliseconds since 1970-01-01 00:00 and turns it back into a SYSTEMTIME.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace platform::core {

// Milliseconds since 1970-01-01 00:00 of the date and time in a SYSTEMTIME (wDayOfWeek ignored).
std::int64_t CivilMs(const SYSTEMTIME& time);
// The date and time, with month 1-12 and day of week 0 (Sunday) to 6.
SYSTEMTIME CivilTime(std::int64_t ms);

}  // namespace platform::core
