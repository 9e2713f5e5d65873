// Clock services: local time, the time with milliseconds, calendar splitting, the short date, the counter.
#pragma once

#include <cstdint>

namespace platform {

// Calendar fields as Windows' SYSTEMTIME holds them.
struct SystemTime {
  std::uint16_t year;
  std::uint16_t month;         // 1-12
  std::uint16_t day_of_week;   // 0 = Sunday
  std::uint16_t day;           // 1-31
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

// The current local time (GetLocalTime).
void local_time(SystemTime* out);

// A count of 100-ns intervals since 1601-01-01 split into calendar fields without any
// conversion to local time (FileTimeToSystemTime). False when the count is out of range.
bool file_time_to_system_time(std::uint64_t file_time, SystemTime* out);

// The date of `time` in the short date format of the system's default locale
// (GetDateFormatA with locale 0x800 and DATE_SHORTDATE). Returns the number of characters
// written including the terminator, or 0 when it does not fit into `size`.
int short_date(const SystemTime& time, char* buffer, int size);

// The current time as the C library's _ftime gives it, with the same moment split into local
// calendar fields.
struct TimeWithMs {
  std::int64_t seconds;       // since 1970-01-01 00:00:00 UTC
  unsigned short milliseconds;  // 0-999
  short daylight;             // non-zero while daylight saving time is in force
  SystemTime local;           // the same second in local time (milliseconds as above)
};

void time_with_ms(TimeWithMs* out);

// A moment given as seconds since 1970-01-01 00:00:00 UTC and milliseconds, split into local
// calendar fields. False when out of range (a year outside 1 to 65535 included).
bool local_time_at(std::int64_t seconds, unsigned milliseconds, SystemTime* out);

// High-resolution monotonic counter (QueryPerformanceCounter / Frequency).
std::uint64_t performance_counter();
std::uint64_t performance_frequency();

}  // namespace platform
