// Log record formatting: separator, date-time prefix or indentation, message, stamp.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/process.h"
#include "platform/time.h"
#include "sender/log/log.h"
#include "sender/log/log_state.h"
#include "sender/log/log_texts.h"

namespace {

using namespace log_texts;

// English names, as the C library's ctime writes them whatever the locale.
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A record that does not fit keeps what fitted and ends with "...\r\n"; its length is
// the length of the text now in the buffer.
void cut_record(char* buffer, int size, int* position) {
  std::memcpy(buffer + size - static_cast<int>(sizeof kOverflowMark), kOverflowMark, sizeof kOverflowMark);
  *position = static_cast<int>(std::strlen(buffer));
}

// One formatting step at *position. A step fits when its output and a terminator fit into
// the room left (so the record is always terminated); then *position moves behind it and
// true is returned. Otherwise the record is cut and false is returned.
bool put_formatted(char* buffer, int size, int* position, const char* format, va_list args)
    TIDEWAKE_PRINTF(4, 0);
bool put_formatted(char* buffer, int size, int* position, const char* format, va_list args) {
  int room = size - *position;
  int written = std::vsnprintf(buffer + *position, static_cast<std::size_t>(room), format, args);
  if (written < 0) {
    // A text the C library cannot convert (a wide text outside the character set): the
    // step adds nothing rather than leaving undefined bytes behind.
    buffer[*position] = '\0';
    return true;
  }
  if (written < room) {
    *position += written;
    return true;
  }
  cut_record(buffer, size, position);
  return false;
}

bool put(char* buffer, int size, int* position, const char* format, ...)
    TIDEWAKE_PRINTF(4, 5);
bool put(char* buffer, int size, int* position, const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool fitted = put_formatted(buffer, size, position, format, args);
  va_end(args);
  return fitted;
}

bool begins_with_time_prefix(const char* format) { return format[0] == '%' && format[1] == 'T'; }

// The stamp of a stamped record: time with milliseconds, year and zone name.
void make_time_stamp(char* stamp, std::size_t room) {
  if (g_log_state.time_zone == nullptr) {
    // Allocated once; when that fails this record goes without a zone name and the next
    // stamped record tries again.
    g_log_state.time_zone = static_cast<platform::TimeZoneNames*>(std::calloc(1, sizeof(platform::TimeZoneNames)));
    if (g_log_state.time_zone != nullptr) platform::time_zone_names(g_log_state.time_zone);
  }
  platform::TimeWithMs now{};
  platform::time_with_ms(&now);
  // The local time as ctime writes it, "Www Mmm dd hh:mm:ss yyyy\n", with the day in two
  // digits; the year starts at position 20.
  const platform::SystemTime& t = now.local;
  char text[40];
  if (t.month >= 1 && t.month <= 12 && t.day_of_week <= 6) {
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d\n", kWeekdays[t.day_of_week],
                  kMonths[t.month - 1], t.day % 100, t.hour % 100, t.minute % 100, t.second % 100,
                  t.year % 10000);
  } else {
    std::snprintf(text, sizeof text, "%s", "??? ??? ?? ??:??:?? ????\n");
  }
  const wchar_t* zone = L"";
  if (g_log_state.time_zone != nullptr) zone = now.daylight != 0 ? g_log_state.time_zone->daylight_name : g_log_state.time_zone->standard_name;
  if (std::snprintf(stamp, room, kTimeStamp, text, static_cast<int>(now.milliseconds), text + 20, zone) < 0) {
    std::snprintf(stamp, room, kTimeStamp, text, static_cast<int>(now.milliseconds), text + 20, L"");
  }
}

// Stamped style: the message without "%T" and its ':' and space, the line ends of the
// message dropped, then the prefix, the time stamp and the thread tag.
void format_stamped(char* buffer, int size, int* position, const char* format, va_list args) {
  const char* message = format;
  if (begins_with_time_prefix(format)) {
    message = format + 2;
    if (*message == ':') ++message;
    if (*message == ' ') ++message;
  }
  if (!put_formatted(buffer, size, position, message, args)) return;
  while (*position > kSeparatorLength &&
         (buffer[*position - 1] == '\r' || buffer[*position - 1] == '\n')) {
    --*position;
  }
  buffer[*position] = '\0';
  char stamp[160];
  make_time_stamp(stamp, sizeof stamp);
  char thread_tag[64];
  unsigned long thread = platform::current_thread_id();
  std::snprintf(thread_tag, sizeof thread_tag, kThreadTag, static_cast<long>(thread), thread);
  put(buffer, size, position, kStampTail, g_log_state.record_prefix, stamp, thread_tag);
}

// Time-prefix style: "%T" puts the date-time text in front; other records are indented
// under the last date-time prefix, unless they continue an open line.
void format_time_prefixed(char* buffer, int size, int* position, const char* format, va_list args) {
  if (begins_with_time_prefix(format)) {
    g_log_state.time_prefix_seen = true;
    char date_time[kDateTimeBuffer];
    if ((g_log_state.record_mode & 0x80) != 0) {
      format_date_time_ms(date_time, 0);
    } else {
      format_date_time(date_time, 0);
    }
    g_log_state.time_prefix_width = static_cast<int>(std::strlen(date_time));
    if (!put(buffer, size, position, "%s", date_time)) return;
    put_formatted(buffer, size, position, format + 2, args);
    return;
  }
  if (format[0] == '\0') return;
  if (g_log_state.time_prefix_seen && !g_log_state.line_open) {
    char field[32];
    if (g_log_state.time_prefix_width >= kIndentFixedFromWidth) {
      std::snprintf(field, sizeof field, "%s", kIndentFixed);
    } else {
      std::snprintf(field, sizeof field, kIndentField, g_log_state.time_prefix_width, g_log_state.time_prefix_width);
    }
    if (!put(buffer, size, position, field, " ")) return;
  }
  put_formatted(buffer, size, position, format, args);
}

// Fills one of the date-time texts; `pair` and `turn` are the formatter's static buffers.
char* date_time_text(char* buffer, std::uint64_t file_time, bool with_ms,
                     char (*pair)[kDateTimeBuffer], int* turn) {
  if (buffer == nullptr) {
    buffer = pair[*turn];
    *turn ^= 1;
  }
  platform::SystemTime time{};
  char date[kDateField] = "";
  bool have_time = true;
  if (file_time == 0) {
    platform::local_time(&time);
  } else if (!platform::file_time_to_system_time(file_time, &time)) {
    time = platform::SystemTime{};
    have_time = false;
  }
  // A date that does not fit its field, or a time the system cannot split, gives an
  // empty date; the text always stays within the 40-byte buffer.
  LogState& state = g_log_state;
  if (have_time && time.year == state.date_year && time.month == state.date_month && time.day == state.date_day) {
    std::memcpy(date, state.date, sizeof date);
  } else if (!have_time || platform::short_date(time, date, kDateField) == 0) {
    date[0] = '\0';
  } else {
    std::memcpy(state.date, date, sizeof date);
    state.date_year = time.year;
    state.date_month = time.month;
    state.date_day = time.day;
  }
  // The fields are in range already; the remainders only tell the compiler so.
  int hour = time.hour % 100, minute = time.minute % 100, second = time.second % 100;
  if (with_ms) {
    std::snprintf(buffer, kDateTimeBuffer, kDateTimeMs, date, hour, minute, second, time.milliseconds % 1000);
  } else {
    std::snprintf(buffer, kDateTimeBuffer, kDateTime, date, hour, minute, second);
  }
  return buffer;
}

}  // namespace

int log_format_record(char* buffer, int size, const char* format, va_list args) {
  // The overflow mark needs six bytes behind the separator.
  if (buffer == nullptr || size < kSeparatorLength + static_cast<int>(sizeof kOverflowMark)) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (format == nullptr) format = "";
  std::memcpy(buffer, kSeparator, sizeof kSeparator);
  int position = kSeparatorLength;
  if (g_log_state.record_mode == 1) {
    format_stamped(buffer, size, &position, format, args);
  } else {
    format_time_prefixed(buffer, size, &position, format, args);
  }
  g_log_state.line_open = buffer[position - 1] != '\n';
  return position;
}

void log_set_record_mode(std::int32_t mode, const char* prefix) {
  g_log_state.record_mode = mode;
  g_log_state.record_prefix[0] = '\0';
  if (prefix != nullptr) std::snprintf(g_log_state.record_prefix, sizeof g_log_state.record_prefix, "%s", prefix);
}

char* format_date_time(char* buffer, std::uint64_t file_time) {
  return date_time_text(buffer, file_time, false, g_log_state.date_time, &g_log_state.date_time_turn);
}

char* format_date_time_ms(char* buffer, std::uint64_t file_time) {
  return date_time_text(buffer, file_time, true, g_log_state.date_time_ms, &g_log_state.date_time_ms_turn);
}
