// The listener's time stamp: the system's short date and the time of day, in one static buffer.
#include <cstdio>

#include "listener/listener.h"
#include "listener/texts.h"

namespace listener {

const char* FormatTimeStamp(const platform::SystemTime& time) {
  char* date = g_listener.date_text;
  platform::SystemTime& day = g_listener.date_of;
  if (date[0] == '\0' || day.year != time.year || day.month != time.month || day.day != time.day) {
    if (platform::short_date(time, date, static_cast<int>(kDateBufferSize)) == 0) {
      // A short date format longer than the buffer: the numeric date still identifies the day.
      std::snprintf(date, kDateBufferSize, "%04d-%02d-%02d", time.year, time.month, time.day);
    }
    day = time;
  }
  std::snprintf(g_listener.time_stamp, sizeof g_listener.time_stamp, kTimeStampFormat, date,
                time.hour, time.minute, time.second);
  return g_listener.time_stamp;
}

const char* CurrentTimeStamp() {
  platform::SystemTime now{};
  platform::local_time(&now);
  return FormatTimeStamp(now);
}

}  // namespace listener
