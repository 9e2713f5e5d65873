// Fake calendar for tests: a fixed local time and a short date text of any length.
#pragma once

#include "platform/time.h"

namespace fake_calendar {

extern platform::SystemTime now;  // what local_time() and time_with_ms() give
extern char short_date[64];       // what short_date() writes for any date

}  // namespace fake_calendar
