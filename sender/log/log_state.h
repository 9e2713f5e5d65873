// The diagnostic log's process-wide state in one record: the record formatter's and the writer's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/files.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "sender/log/log_texts.h"

// A record formatted earlier, written by the next log call.
struct PendingRecord {
  PendingRecord* next;
  std::int32_t length;  // record length without the separator; 0: nothing to write
  // followed by the text, terminated
};

// The platform services the writer reaches through this record: the real ones, unless a test
// wraps them to inject a fault (a rename that fails, a mutex that times out) and forwards the
// rest, so that the writer's tests run against real files on every platform.
struct LogServices {
  bool (*default_directory)(const char* program, char* buffer, std::size_t size);
  bool (*replace)(const char* from, const char* to);
  platform::NamedMutex* (*mutex_create)(const char* name);
  platform::MutexWait (*mutex_wait)(platform::NamedMutex* mutex, unsigned long timeout_ms);
  bool (*mutex_release)(platform::NamedMutex* mutex);
  unsigned long (*mutex_handle_value)(const platform::NamedMutex* mutex);
  void (*mutex_close)(platform::NamedMutex* mutex);
  bool (*output_present)();  // a standard output that someone may read
  void (*write_output)(const char* text, std::size_t length);
};
extern const LogServices kPlatformLogServices;

// log_reset() puts it back to these initial values (and frees what it holds), but for the
// services.
struct LogState {
  // ---- Record formatting
  std::int32_t record_mode = 0;          // 1: stamped style; else time prefix (bit 0x80: ms)
  char record_prefix[log_texts::kRecordPrefixField] = "";
  platform::TimeZoneNames* time_zone = nullptr;  // fetched on the first stamped record
  int time_prefix_width = 19;            // characters of the last date-time prefix
  bool time_prefix_seen = false;         // a "%T" record has been formatted
  bool line_open = false;                // the last record did not end with a line feed
  // The date-time formatters' own buffers, two each, taken in turn.
  char date_time[2][log_texts::kDateTimeBuffer] = {};
  int date_time_turn = 0;
  char date_time_ms[2][log_texts::kDateTimeBuffer] = {};
  int date_time_ms_turn = 0;
  // The short date of the last day formatted: the locale's date text changes only with the
  // day, so most records need not ask the system for it again.
  std::uint16_t date_year = 0, date_month = 0, date_day = 0;
  char date[log_texts::kDateField] = "";

  // ---- Writer
  std::int32_t max_size = 16384;         // 0: the log is off
  unsigned long mutex_timeout_ms = 2000;
  unsigned long file_lock_timeout_ms = 2000;  // the file lock's wait, where the mutex is out of reach
  char path[log_texts::kPathField] = ""; // "-": no file; empty: the default, built on first use
  platform::NamedMutex* mutex = nullptr;
  bool no_standard_output = false;       // decided when the mutex is created
  std::uint32_t release_errors = 0;
  std::uint32_t last_release_error = 0;
  std::uint32_t rename_errors = 0;
  PendingRecord* pending_head = nullptr;
  PendingRecord* pending_tail = nullptr;
  bool in_rotation_callback = false;
  void (*rotation_callback)(std::int32_t) = nullptr;
  bool last_ended_with_line_feed = false;
  void (*line_hook)(const char*, std::int32_t, bool) = nullptr;
  LogServices services = kPlatformLogServices;  // kept by log_reset()
};
// Not named g_log: a global variable is linked under its plain name, and GLib's logging
// function of that name (in the dialog's GTK host) would resolve to it.
extern LogState g_log_state;
