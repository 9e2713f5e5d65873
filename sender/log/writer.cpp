// Log file writer: the log call, the pending list, opening, rotation and the counter lines.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/system.h"
#include "sender/log/log.h"
#include "sender/log/log_state.h"
#include "sender/log/log_texts.h"

LogState g_log_state;

namespace {

using namespace log_texts;

const std::int32_t kMinimumMaxSize = 8192;
const unsigned long kRenameRetryMs = 10;
// A log call waits for the mutex at most this many times the mutex time-out (5 x 2000 ms
// unless changed) before it writes without it; see wait_for_mutex.
const int kMutexWaits = 5;

char* pending_text(PendingRecord* record) { return reinterpret_cast<char*>(record + 1); }

std::int32_t log_call(const char* format, va_list args);

// The program's file name without directory: a pointer into `path`.
char* file_name_of(char* path) {
  char* separator = std::strrchr(path, platform::kPathSeparator);
  return separator != nullptr ? separator + 1 : path;
}

// The extension is looked for in the file name only: a '.' in a directory name must not
// cut the path, and a program file without extension (the rule on POSIX) has none.
void cut_extension(char* file_name) {
  char* dot = std::strrchr(file_name, '.');
  if (dot != nullptr) *dot = '\0';
}

// "<base name>_QELOG": shared by all processes of the same program.
bool make_mutex_name(char* name, std::size_t room) {
  char module[kPathField];
  if (platform::module_path(module, sizeof module) == 0) return false;
  char* base = file_name_of(module);
  cut_extension(base);
  // A base name too long for the field is cut: every process of the program cuts it alike.
  int written = std::snprintf(name, room, kMutexName, base);
  return written > 0;
}

void create_mutex() {
  char name[kMutexNameField];
  if (make_mutex_name(name, sizeof name)) g_log_state.mutex = platform::named_mutex_create(name);
  if (!platform::standard_output_present()) g_log_state.no_standard_output = true;
}

enum class WaitOutcome { kAcquired, kTimedOut, kNoMutex };

// Waiting is bounded: the waits are repeated while they time out, up to kMutexWaits waits
// (10 s with the default time-out), because a holder that hangs must not stop every other
// process of the program from logging for good. After that the call writes without the
// mutex and marks the record "Mutex Timeout"; from then on the process only tries the
// mutex once per call (time-out 0). A mutex that cannot be waited on at all (its
// creation failed, or the wait fails) is given up at once, without the mark. An abandoned
// mutex (its holder died) is acquired.
WaitOutcome wait_for_mutex() {
  if (g_log_state.mutex == nullptr) return WaitOutcome::kNoMutex;
  int waits = g_log_state.mutex_timeout_ms == 0 ? 1 : kMutexWaits;
  for (int i = 0; i < waits; ++i) {
    switch (platform::named_mutex_wait(g_log_state.mutex, g_log_state.mutex_timeout_ms)) {
      case platform::MutexWait::kAcquired:
      case platform::MutexWait::kAbandoned:
        return WaitOutcome::kAcquired;
      case platform::MutexWait::kFailed:
        return WaitOutcome::kNoMutex;
      case platform::MutexWait::kTimeout:
        break;
    }
  }
  return WaitOutcome::kTimedOut;
}

// Appends the time-out mark to the record, within the record buffer: when the record is
// too long, the mark replaces its end.
int append_mutex_timeout(char* record, int length) {
  char mark[64];
  int mark_length = std::snprintf(mark, sizeof mark, kMutexTimeout,
                                  platform::named_mutex_handle_value(g_log_state.mutex));
  if (mark_length < 0 || mark_length >= kRecordBuffer - kSeparatorLength) return length;
  int start = length;
  if (start + mark_length > kRecordBuffer - 1) start = kRecordBuffer - 1 - mark_length;
  std::memcpy(record + start, mark, static_cast<std::size_t>(mark_length) + 1);
  return start + mark_length;
}

void write_text(std::FILE* file, const char* text, std::size_t length) {
  // The results of these writes are not checked: the log never reports its own failures.
  if (file != nullptr) std::fwrite(text, 1, length, file);
  if (!g_log_state.no_standard_output) {
    std::fwrite(text, 1, length, stdout);
    std::fflush(stdout);
  }
}

// Writes the pending records, oldest first, up to the one that was the tail when the log
// call began; records queued later stay for the next call.
void write_pending(std::FILE* file, PendingRecord* last) {
  while (g_log_state.pending_head != nullptr) {
    PendingRecord* record = g_log_state.pending_head;
    g_log_state.pending_head = record->next;
    record->next = nullptr;
    if (g_log_state.pending_head == nullptr) g_log_state.pending_tail = nullptr;
    if (record->length != 0) write_text(file, pending_text(record), static_cast<std::size_t>(record->length));
    bool was_last = record == last;
    std::free(record);
    if (was_last) break;
  }
}

void rotate(std::FILE* file) {
  char backup[kPathField];
  std::snprintf(backup, sizeof backup, "%s", g_log_state.path);
  std::size_t length = std::strlen(backup);
  if (length > 0) backup[length - 1] = kBackupLastCharacter;
  std::fclose(file);
  platform::delete_file(backup);
  if (!platform::rename_file(g_log_state.path, backup)) {
    platform::sleep_ms(kRenameRetryMs);
    if (!platform::rename_file(g_log_state.path, backup)) ++g_log_state.rename_errors;
    return;
  }
  if (g_log_state.rotation_callback != nullptr) {
    g_log_state.in_rotation_callback = true;
    g_log_state.rotation_callback(2);
    g_log_state.in_rotation_callback = false;
  }
  // Complete log calls, made while this call still holds the (recursive) mutex: unless
  // the callback logged first they are the first records of the new file.
  if (g_log_state.release_errors != 0) {
    log_printf_unchecked(kMutexReleaseErrors, static_cast<int>(g_log_state.release_errors),
                  static_cast<unsigned long>(g_log_state.last_release_error));
  }
  if (g_log_state.rename_errors != 0) log_printf_unchecked(kLogRenameErrors, static_cast<int>(g_log_state.rename_errors));
}

std::int32_t log_call(const char* format, va_list args) {
  if (format == nullptr) format = "";
  PendingRecord* last_pending = g_log_state.pending_tail;
  bool previous_ended_with_line_feed = g_log_state.last_ended_with_line_feed;
  if (g_log_state.max_size == 0) return 0;
  if (format[0] == '\0' && g_log_state.pending_head == nullptr) return 0;
  if (g_log_state.max_size < kMinimumMaxSize) g_log_state.max_size = kMinimumMaxSize;
  if (g_log_state.mutex == nullptr) create_mutex();

  // Formatted before the wait, so that the mutex is held only for the file work.
  char record[kRecordBuffer];
  int n = log_format_record(record, sizeof record, format, args);

  WaitOutcome wait = wait_for_mutex();
  if (wait == WaitOutcome::kTimedOut && g_log_state.mutex_timeout_ms != 0) {
    n = append_mutex_timeout(record, n);
    g_log_state.mutex_timeout_ms = 0;
  }

  std::FILE* file = log_open_file();
  if (g_log_state.pending_head != nullptr && !g_log_state.in_rotation_callback) write_pending(file, last_pending);
  if (n > kSeparatorLength) write_text(file, record + kSeparatorLength, static_cast<std::size_t>(n - kSeparatorLength));
  if (file != nullptr) {
    long size = std::ftell(file);  // -1 (size unknown) never rotates
    if (size < g_log_state.max_size) {
      std::fclose(file);
    } else {
      rotate(file);
    }
  }

  if (wait == WaitOutcome::kAcquired && !platform::named_mutex_release(g_log_state.mutex)) {
    ++g_log_state.release_errors;
    g_log_state.last_release_error = static_cast<std::uint32_t>(platform::last_error());
  }

  g_log_state.last_ended_with_line_feed = n > 0 && record[n - 1] == '\n';
  if (g_log_state.last_ended_with_line_feed) record[--n] = '\0';
  if (g_log_state.line_hook != nullptr) g_log_state.line_hook(record, n, previous_ended_with_line_feed);
  return n;
}

}  // namespace

std::int32_t log_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::int32_t n = log_call(format, args);
  va_end(args);
  return n;
}

std::int32_t log_printf_unchecked(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::int32_t n = log_call(format, args);
  va_end(args);
  return n;
}

void log_set_max_size(std::int32_t size) { g_log_state.max_size = size; }

void log_set_rotation_callback(void (*callback)(std::int32_t)) { g_log_state.rotation_callback = callback; }

void log_set_line_hook(void (*hook)(const char*, std::int32_t, bool)) { g_log_state.line_hook = hook; }

void log_set_path(const char* path) {
  if (path != nullptr && path[0] != '\0') {
    std::snprintf(g_log_state.path, sizeof g_log_state.path, "%s", path);
    return;
  }
  if (g_log_state.path[0] != '\0') return;
  // The default: the default log directory and the program's file name with ".LOG" in
  // place of its extension (or added, when it has none).
  char module[kPathField];
  if (platform::module_path(module, sizeof module) == 0) return;
  char* name = file_name_of(module);
  cut_extension(name);
  if (name[0] == '\0') return;
  int written = std::snprintf(g_log_state.path, sizeof g_log_state.path, "%s%c%s%s",
                              platform::default_log_directory(), platform::kPathSeparator, name,
                              kLogExtension);
  // A path that does not fit would name another file: no default then, records go to
  // standard output only.
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof g_log_state.path) g_log_state.path[0] = '\0';
}

std::int32_t log_queue_record(const char* format, ...) {
  char record[kRecordBuffer];
  va_list args;
  va_start(args, format);
  int n = log_format_record(record, sizeof record, format, args);
  va_end(args);
  if (n < kSeparatorLength) return 0;
  std::size_t text_length = static_cast<std::size_t>(n - kSeparatorLength);
  PendingRecord* pending = static_cast<PendingRecord*>(std::malloc(sizeof(PendingRecord) + text_length + 1));
  if (pending == nullptr) return 0;
  pending->next = nullptr;
  pending->length = static_cast<std::int32_t>(text_length);
  std::memcpy(pending_text(pending), record + kSeparatorLength, text_length);
  pending_text(pending)[text_length] = '\0';
  if (g_log_state.pending_head == nullptr) {
    g_log_state.pending_head = pending;
  } else {
    g_log_state.pending_tail->next = pending;
  }
  g_log_state.pending_tail = pending;
  return n;
}

void log_reset() {
  for (PendingRecord* record = g_log_state.pending_head; record != nullptr;) {
    PendingRecord* next = record->next;
    std::free(record);
    record = next;
  }
  std::free(g_log_state.time_zone);
  if (g_log_state.mutex != nullptr) platform::named_mutex_close(g_log_state.mutex);
  g_log_state = LogState{};
}

bool log_flush_pending() {
  if (g_log_state.pending_head != nullptr) log_printf_unchecked("");
  return false;
}

std::FILE* log_open_file() {
  if (g_log_state.path[0] == '\0') log_set_path(nullptr);
  if (std::strcmp(g_log_state.path, kNoFile) == 0 || g_log_state.path[0] == '\0') return nullptr;
  std::FILE* file = platform::open_file(g_log_state.path, false);
  if (file == nullptr) {
    char* separator = std::strrchr(g_log_state.path, platform::kPathSeparator);
    if (separator != nullptr) {
      *separator = '\0';
      create_directory_path(g_log_state.path);
      *separator = platform::kPathSeparator;
    }
    file = platform::open_file(g_log_state.path, true);
  }
  if (file != nullptr) std::fseek(file, 0, SEEK_END);
  return file;
}

bool create_directory_path(char* path) {
  platform::set_last_error(0);
  if (platform::create_directory(path) || platform::last_error() == platform::kErrorAlreadyExists) return true;
  char* separator = std::strrchr(path, platform::kPathSeparator);
  if (separator == nullptr) return false;
  *separator = '\0';
  create_directory_path(path);
  *separator = platform::kPathSeparator;
  platform::set_last_error(0);
  return platform::create_directory(path) || platform::last_error() == platform::kErrorAlreadyExists;
}
