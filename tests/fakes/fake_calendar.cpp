// Fake calendar: replaces the platform's clock services but the counter (link seam).
#include "tests/fakes/fake_calendar.h"

#include <cstring>

namespace fake_calendar {
platform::SystemTime now = {2005, 7, 1, 4, 10, 15, 2, 381};
char short_date[64] = "2005-07-04";
}  // namespace fake_calendar

namespace platform {

void local_time(SystemTime* out) { *out = fake_calendar::now; }

bool file_time_to_system_time(std::uint64_t, SystemTime* out) {
  *out = fake_calendar::now;
  return true;
}

void time_with_ms(TimeWithMs* out) {
  out->seconds = 0;
  out->milliseconds = fake_calendar::now.milliseconds;
  out->daylight = 0;
  out->local = fake_calendar::now;
}

int short_date(const SystemTime&, char* buffer, int size) {
  int length = static_cast<int>(std::strlen(fake_calendar::short_date));
  if (buffer == nullptr || length + 1 > size) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, fake_calendar::short_date, static_cast<std::size_t>(length) + 1);
  return length + 1;
}

}  // namespace platform
