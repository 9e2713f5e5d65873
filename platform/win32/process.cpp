// Windows process services of the log: GetCurrentThreadId, GetStdHandle, GetTimeZoneInformation.
#include "platform/process.h"

#include <windows.h>

#include <cstdio>

namespace platform {

unsigned long current_thread_id() { return GetCurrentThreadId(); }

bool standard_output_present() {
  // A GUI-subsystem program started without redirection has no handle at all (NULL).
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool standard_output_discards() { return false; }

void write_standard_output(const char* text, std::size_t length) {
  std::fwrite(text, 1, length, stdout);
  std::fflush(stdout);
}

namespace {
void copy_name(const WCHAR* from, wchar_t* to) {
  int i = 0;
  for (; i < 31 && from[i] != 0; ++i) to[i] = static_cast<wchar_t>(from[i]);
  to[i] = 0;
}
}  // namespace

bool time_zone_names(TimeZoneNames* out) {
  if (out == nullptr) return false;
  out->standard_name[0] = 0;
  out->daylight_name[0] = 0;
  TIME_ZONE_INFORMATION information;
  if (GetTimeZoneInformation(&information) == TIME_ZONE_ID_INVALID) return false;
  copy_name(information.StandardName, out->standard_name);
  copy_name(information.DaylightName, out->daylight_name);
  return true;
}

}  // namespace platform
