// Days from and to civil dates in the proleptic Gregorian calendar (Howard Hinnant's algorithms).
#include "platform/core/civil_time.h"

namespace platform::core {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  std::int64_t era = FloorDiv(year, 400);
  auto year_of_era = static_cast<unsigned>(year - era * 400);
  unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

}  // namespace

std::int64_t CivilMs(const SYSTEMTIME& time) {
  std::int64_t days = DaysFromCivil(time.wYear, time.wMonth, time.wDay);
  return days * kMsPerDay + ((time.wHour * 60 + time.wMinute) * 60 + time.wSecond) * 1000LL +
         time.wMilliseconds;
}

SYSTEMTIME CivilTime(std::int64_t ms) {
  std::int64_t days = FloorDiv(ms, kMsPerDay);
  std::int64_t ms_of_day = ms - days * kMsPerDay;
  std::int64_t shifted = days + 719468;
  std::int64_t era = FloorDiv(shifted, 146097);
  auto day_of_era = static_cast<unsigned>(shifted - era * 146097);
  unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  unsigned month_index = (5 * day_of_year + 2) / 153;
  unsigned day = day_of_year - (153 * month_index + 2) / 5 + 1;
  unsigned month = month_index < 10 ? month_index + 3 : month_index - 9;
  std::int64_t year = static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2);

  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  // 1970-01-01 was a Thursday (4).
  time.wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7);
  time.wHour = static_cast<WORD>(ms_of_day / 3'600'000);
  time.wMinute = static_cast<WORD>(ms_of_day / 60'000 % 60);
  time.wSecond = static_cast<WORD>(ms_of_day / 1000 % 60);
  time.wMilliseconds = static_cast<WORD>(ms_of_day % 1000);
  return time;
}

}  // namespace platform::core
