// POSIX clock services: local time, the time with milliseconds, calendar splitting, the locale's short date.
#include "platform/time.h"
#include "platform/tm_fields.h"

#include <clocale>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <locale.h>

namespace platform {

namespace {

bool is_c_locale(locale_t locale) {
  if (locale == static_cast<locale_t>(0)) return true;
  const char* name = nl_langinfo_l(_NL_LOCALE_NAME(LC_TIME), locale);
  return name == nullptr || name[0] == '\0' || std::strcmp(name, "C") == 0 ||
         std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

// The environment's LC_TIME locale, opened once (whether it is the C locale with it): the
// short date of every log record and listener line is written in it.
struct TimeLocale {
  locale_t locale;
  bool is_c;
};
const TimeLocale& time_locale() {
  static const TimeLocale time = [] {
    locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    return TimeLocale{locale, is_c_locale(locale)};
  }();
  return time;
}

}  // namespace

void local_time(SystemTime* out) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  time_t seconds = now.tv_sec;
  std::tm tm{};
  localtime_r(&seconds, &tm);
  system_time_from_tm(tm, static_cast<unsigned>(now.tv_nsec / 1000000L), out);
}

bool file_time_to_system_time(std::uint64_t file_time, SystemTime* out) {
  // Windows rejects counts with the top bit set; the epoch difference is 11644473600 s.
  if (file_time >= 0x8000000000000000ULL) return false;
  const std::uint64_t kEpochDifference = 11644473600ULL;
  std::uint64_t seconds = file_time / 10000000ULL;
  unsigned milliseconds = static_cast<unsigned>((file_time % 10000000ULL) / 10000ULL);
  long long unix_seconds = static_cast<long long>(seconds) - static_cast<long long>(kEpochDifference);
  time_t t = static_cast<time_t>(unix_seconds);
  std::tm tm{};
  if (gmtime_r(&t, &tm) == nullptr) return false;
  system_time_from_tm(tm, milliseconds, out);
  return true;
}

int short_date(const SystemTime& time, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_wday = time.day_of_week;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  char text[128];
  std::size_t n;
  const TimeLocale& locale = time_locale();
  if (locale.is_c) {
    n = strftime(text, sizeof text, "%Y-%m-%d", &tm);
  } else {
    n = strftime_l(text, sizeof text, "%x", &tm, locale.locale);
  }
  if (n == 0 || n + 1 > static_cast<std::size_t>(size)) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, text, n + 1);
  return static_cast<int>(n + 1);
}

void time_with_ms(TimeWithMs* out) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  out->seconds = static_cast<std::int64_t>(now.tv_sec);
  out->milliseconds = static_cast<unsigned short>(now.tv_nsec / 1000000L);
  time_t seconds = now.tv_sec;
  std::tm tm{};
  bool split = localtime_r(&seconds, &tm) != nullptr;
  out->daylight = (split && tm.tm_isdst > 0) ? 1 : 0;
  out->local = SystemTime{};
  if (split) system_time_from_tm(tm, out->milliseconds, &out->local);
}

bool local_time_at(std::int64_t seconds, unsigned milliseconds, SystemTime* out) {
  time_t t = static_cast<time_t>(seconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return false;
  // A year the 16-bit field cannot hold would wrap into another one.
  const long long year = 1900LL + tm.tm_year;
  if (year < 1 || year > 0xFFFF) return false;
  system_time_from_tm(tm, milliseconds, out);
  return true;
}

}  // namespace platform
