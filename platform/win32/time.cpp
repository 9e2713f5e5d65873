// Windows clock services: GetLocalTime, _ftime with _localtime64_s, FileTimeToSystemTime, GetDateFormatA.
#include "platform/time.h"
#include "platform/tm_fields.h"

#include <sys/timeb.h>
#include <windows.h>

#include <ctime>

namespace platform {

namespace {

void fill(const SYSTEMTIME& st, SystemTime* out) {
  out->year = st.wYear;
  out->month = st.wMonth;
  out->day_of_week = st.wDayOfWeek;
  out->day = st.wDay;
  out->hour = st.wHour;
  out->minute = st.wMinute;
  out->second = st.wSecond;
  out->milliseconds = st.wMilliseconds;
}

// The system's default locale, LOCALE_SYSTEM_DEFAULT.
constexpr LCID kSystemDefaultLocale = 0x800;

}  // namespace

void local_time(SystemTime* out) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  fill(st, out);
}

bool file_time_to_system_time(std::uint64_t file_time, SystemTime* out) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(file_time & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(file_time >> 32);
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&ft, &st)) return false;
  fill(st, out);
  return true;
}

int short_date(const SystemTime& time, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  SYSTEMTIME st{};
  st.wYear = time.year;
  st.wMonth = time.month;
  st.wDayOfWeek = time.day_of_week;
  st.wDay = time.day;
  st.wHour = time.hour;
  st.wMinute = time.minute;
  st.wSecond = time.second;
  st.wMilliseconds = time.milliseconds;
  int n = GetDateFormatA(kSystemDefaultLocale, DATE_SHORTDATE, &st, nullptr, buffer, size);
  if (n == 0) buffer[0] = '\0';
  return n;
}

void time_with_ms(TimeWithMs* out) {
  __timeb64 now;
  _ftime64(&now);
  out->seconds = static_cast<std::int64_t>(now.time);
  out->milliseconds = now.millitm;
  out->daylight = now.dstflag;
  out->local = SystemTime{};
  local_time_at(out->seconds, out->milliseconds, &out->local);
}

bool local_time_at(std::int64_t seconds, unsigned milliseconds, SystemTime* out) {
  __time64_t t = static_cast<__time64_t>(seconds);
  std::tm tm{};
  if (_localtime64_s(&tm, &t) != 0) return false;
  system_time_from_tm(tm, milliseconds, out);
  return true;
}

}  // namespace platform
