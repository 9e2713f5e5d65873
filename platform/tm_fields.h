// The C library's broken-down time as the calendar record of the clock services.
#pragma once

#include <ctime>

#include "platform/time.h"

namespace platform {

inline void system_time_from_tm(const std::tm& tm, unsigned milliseconds, SystemTime* out) {
  out->year = static_cast<std::uint16_t>(tm.tm_year + 1900);
  out->month = static_cast<std::uint16_t>(tm.tm_mon + 1);
  out->day_of_week = static_cast<std::uint16_t>(tm.tm_wday);
  out->day = static_cast<std::uint16_t>(tm.tm_mday);
  out->hour = static_cast<std::uint16_t>(tm.tm_hour);
  out->minute = static_cast<std::uint16_t>(tm.tm_min);
  out->second = static_cast<std::uint16_t>(tm.tm_sec);
  out->milliseconds = static_cast<std::uint16_t>(milliseconds);
}

}  // namespace platform
