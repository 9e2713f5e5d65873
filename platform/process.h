// Process services of the log: thread identifier, standard output, zone names.
#pragma once

#include <cstdint>

namespace platform {

// The calling thread's identifier (GetCurrentThreadId).
unsigned long current_thread_id();

// Whether the process has a standard-output handle now (GetStdHandle).
bool standard_output_present();

// Names of the local time zone, as the system keeps them (GetTimeZoneInformation).
struct TimeZoneNames {
  wchar_t standard_name[32];
  wchar_t daylight_name[32];
};

// Fills both names (each terminated, at most 31 characters). False when the system
// cannot tell; the names are then empty.
bool time_zone_names(TimeZoneNames* out);

}  // namespace platform
