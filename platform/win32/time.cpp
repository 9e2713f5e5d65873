// Windows clock services: GetLocalTime, FileTimeToSystemTime, GetDateFormatA.
#include "platform/time.h"

#include <windows.h>

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

}  // namespace platform
