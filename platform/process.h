// Process services of the log: thread identifier, standard output, zone names.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// The calling thread's identifier (GetCurrentThreadId).
unsigned long current_thread_id();

// Whether the process has a standard-output handle now (GetStdHandle).
bool standard_output_present();

// Whether standard output is the null device (/dev/null), where whatever is written goes
// nowhere; a writer can leave it out. Never on Windows, where it is not told apart.
bool standard_output_discards();

// Writes the text to standard output at once, unbuffered: write(2) on POSIX; on Windows
// through the C library's stdout, flushed, so that a console or file gets "\r\n" line ends.
// The result is not reported: a copy that cannot be written is lost, not an error.
void write_standard_output(const char* text, std::size_t length);

// Names of the local time zone, as the system keeps them (GetTimeZoneInformation).
struct TimeZoneNames {
  wchar_t standard_name[32];
  wchar_t daylight_name[32];
};

// Fills both names (each terminated, at most 31 characters). False when the system
// cannot tell; the names are then empty.
bool time_zone_names(TimeZoneNames* out);

}  // namespace platform
