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

namespace {

// Whether the records' copy on standard output can reach anyone: there is a standard output,
// and it is not the null device (where writing it would cost a system call per record for
// nothing).
bool standard_output_worth_writing() {
  return platform::standard_output_present() && !platform::standard_output_discards();
}

}  // namespace

const LogServices kPlatformLogServices = {
    platform::default_log_directory, platform::replace_file,        platform::named_mutex_create,
    platform::named_mutex_wait,      platform::named_mutex_release, platform::named_mutex_handle_value,
    platform::named_mutex_close,     standard_output_worth_writing, platform::write_standard_output,
};

LogState g_log_state;

namespace {

using namespace log_texts;

const std::int32_t kMinimumMaxSize = 8192;
const unsigned long kRenameRetryMs = 10;
// A log call waits for the mutex at most this many times the mutex time-out (5 x 2000 ms
// unless changed) before it writes without it; see wait_for_mutex.
const int kMutexWaits = 5;
// The most a "Mutex Timeout" mark can take: its text with a 64-bit handle value.
const int kLongestMutexTimeoutMark = static_cast<int>(sizeof kMutexTimeout) + 16;

// The log's record, under a short name.
LogState& state = g_log_state;

char* pending_text(PendingRecord* record) { return reinterpret_cast<char*>(record + 1); }

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

// The program's base name (file name without extension) into `name`; false without one.
bool program_base_name(char* name, std::size_t room) {
  char module[kPathField];
  if (platform::module_path(module, sizeof module) == 0) return false;
  char* base = file_name_of(module);
  cut_extension(base);
  int written = std::snprintf(name, room, "%s", base);
  return written > 0 && static_cast<std::size_t>(written) < room;
}

void create_mutex() {
  char base[kPathField];
  char name[kMutexNameField];
  // "<base name>_QELOG", shared by all processes of the same program. A base name too long
  // for the field is cut: every process of the program cuts it alike.
  if (program_base_name(base, sizeof base) && std::snprintf(name, sizeof name, kMutexName, base) > 0) {
    state.mutex = state.services.mutex_create(name);
  }
  if (!state.services.output_present()) state.no_standard_output = true;
}

enum class WaitOutcome { kAcquired, kTimedOut, kNoMutex };

// Waiting is bounded: the waits are repeated while they time out, up to kMutexWaits waits
// (10 s with the default time-out), because a holder that hangs must not stop every other
// process of the program from logging for good. After that the call writes without the
// mutex and marks the record "Mutex Timeout"; from then on the process only tries the
// mutex once per call (time-out 0). A mutex that cannot be waited on at all (its
// creation failed, or the wait fails) is given up at once, without the mark. An abandoned
// mutex (its holder died) is acquired. Without the mutex no record is lost all the same:
// every record is one append, and the file lock (lock_log_file) keeps the rotation whole.
WaitOutcome wait_for_mutex() {
  if (state.mutex == nullptr) return WaitOutcome::kNoMutex;
  int waits = state.mutex_timeout_ms == 0 ? 1 : kMutexWaits;
  for (int i = 0; i < waits; ++i) {
    switch (state.services.mutex_wait(state.mutex, state.mutex_timeout_ms)) {
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

// Without the mutex the file's own lock serialises the writers that are out of its reach, so
// that two of them never rotate at once. The wait is bounded as the mutex's is: after one
// time-out the process only tries the lock once per call. A writer that waited may find the
// file it holds rotated away meanwhile: it then takes the new one, so that no record lands in
// the backup past its limit. Returns the file to write to, its size in *size.
platform::FileHandle lock_log_file(platform::FileHandle file, std::uint64_t* size) {
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts && file != platform::kNoFile; ++attempt) {
    if (!platform::lock_file(file, state.file_lock_timeout_ms)) {
      state.file_lock_timeout_ms = 0;
      return file;
    }
    if (platform::same_file(file, state.path)) {
      platform::file_size(file, size);
      return file;
    }
    platform::close_file(file);
    file = log_open_file(size);
  }
  return file;
}

// Appends the time-out mark to the record, within the record buffer: when the record is
// too long, the mark replaces its end. Returns the new length; *mark_start where the mark
// begins.
int append_mutex_timeout(char* record, int length, int* mark_start) {
  char mark[64];
  int mark_length = std::snprintf(mark, sizeof mark, kMutexTimeout,
                                  state.services.mutex_handle_value(state.mutex));
  *mark_start = length;
  if (mark_length < 0 || mark_length >= kRecordBuffer - kSeparatorLength) return length;
  int start = length;
  if (start + mark_length > kRecordBuffer - 1) start = kRecordBuffer - 1 - mark_length;
  std::memcpy(record + start, mark, static_cast<std::size_t>(mark_length) + 1);
  *mark_start = start;
  return start + mark_length;
}

// The copy on standard output: written at once, unbuffered, before any lock is taken.
void echo(const char* text, std::size_t length) {
  if (!state.no_standard_output && length > 0) state.services.write_output(text, length);
}

// The pending records that this call writes: from the head up to the one that was the tail
// when the call began; records queued later stay for the next call.
template <typename Action>
void for_each_pending(PendingRecord* last, Action action) {
  for (PendingRecord* record = state.pending_head; record != nullptr; record = record->next) {
    action(record);
    if (record == last) break;
  }
}

// Takes the pending records up to `last` off the list, each written to the file with one
// append of its own; the file's size grows by what reached it.
void write_pending(platform::FileHandle file, PendingRecord* last, std::uint64_t* size) {
  while (state.pending_head != nullptr) {
    PendingRecord* record = state.pending_head;
    state.pending_head = record->next;
    record->next = nullptr;
    if (state.pending_head == nullptr) state.pending_tail = nullptr;
    if (record->length != 0 && file != platform::kNoFile) {
      long long written = platform::append_file(file, pending_text(record), static_cast<std::size_t>(record->length));
      if (written > 0) *size += static_cast<std::uint64_t>(written);
    }
    bool was_last = record == last;
    std::free(record);
    if (was_last) break;
  }
}

bool rename_to_backup(const char* backup) {
  if (state.services.replace(state.path, backup)) return true;
  platform::sleep_ms(kRenameRetryMs);
  if (state.services.replace(state.path, backup)) return false;  // renamed, but not at the first try
  ++state.rename_errors;
  return false;
}

// The file that reached its limit becomes the backup; the next record starts a new file.
// The rename happens while this call still holds the file and its lock (taken here too by a
// writer that holds the mutex, since writers without it may be at work), and only while the
// log path still names it: a writer that lost the race to another's rotation leaves the new
// file alone. A lock that cannot be had in time leaves the rotation to a later record.
void rotate(platform::FileHandle file) {
  char backup[sizeof state.path];
  std::memcpy(backup, state.path, sizeof backup);
  std::size_t length = std::strlen(backup);
  if (length > 0) backup[length - 1] = kBackupLastCharacter;
  if (!platform::lock_file(file, state.file_lock_timeout_ms)) {
    state.file_lock_timeout_ms = 0;
    return;
  }
  if (!platform::same_file(file, state.path)) return;
  // A first rename that failed calls no callback and writes no counter line, even when the
  // second succeeds.
  if (!rename_to_backup(backup)) return;
  if (state.rotation_callback != nullptr) {
    state.in_rotation_callback = true;
    state.rotation_callback(2);
    state.in_rotation_callback = false;
  }
  // Complete log calls, made while this call still holds the (recursive) mutex: unless
  // the callback logged first they are the first records of the new file.
  if (state.release_errors != 0) {
    log_printf_unchecked(kMutexReleaseErrors, static_cast<int>(state.release_errors),
                         static_cast<unsigned long>(state.last_release_error));
  }
  if (state.rename_errors != 0) log_printf_unchecked(kLogRenameErrors, static_cast<int>(state.rename_errors));
}

std::int32_t log_call(const char* format, va_list args) {
  if (format == nullptr) format = "";
  PendingRecord* last_pending = state.pending_tail;
  bool previous_ended_with_line_feed = state.last_ended_with_line_feed;
  if (state.max_size == 0) return 0;
  if (format[0] == '\0' && state.pending_head == nullptr) return 0;
  if (state.max_size < kMinimumMaxSize) state.max_size = kMinimumMaxSize;
  if (state.mutex == nullptr) create_mutex();

  // Formatted and echoed before the wait, so that the mutex is held only for the file work.
  char record[kRecordBuffer];
  int n = log_format_record(record, sizeof record, format, args);
  const bool with_pending = state.pending_head != nullptr && !state.in_rotation_callback;
  if (with_pending) {
    for_each_pending(last_pending, [](PendingRecord* r) { echo(pending_text(r), static_cast<std::size_t>(r->length)); });
  }
  // A record so long that a "Mutex Timeout" mark would have to cut it is echoed after the
  // wait instead, so that standard output shows it as the file does.
  const bool mark_may_cut = state.mutex != nullptr && state.mutex_timeout_ms != 0 &&
                            n + kLongestMutexTimeoutMark > kRecordBuffer - 1;
  if (n > kSeparatorLength && !mark_may_cut) echo(record + kSeparatorLength, static_cast<std::size_t>(n - kSeparatorLength));

  WaitOutcome wait = wait_for_mutex();
  int echoed = mark_may_cut ? kSeparatorLength : n;
  if (wait == WaitOutcome::kTimedOut && state.mutex_timeout_ms != 0) {
    int mark_start = n;
    n = append_mutex_timeout(record, n, &mark_start);
    if (mark_start < echoed) echoed = mark_start;
    state.mutex_timeout_ms = 0;
  }
  if (n > echoed) echo(record + echoed, static_cast<std::size_t>(n - echoed));

  std::uint64_t size = 0;
  platform::FileHandle file = log_open_file(&size);
  if (file != platform::kNoFile && wait != WaitOutcome::kAcquired) file = lock_log_file(file, &size);
  if (with_pending) write_pending(file, last_pending, &size);
  if (n > kSeparatorLength && file != platform::kNoFile) {
    long long written = platform::append_file(file, record + kSeparatorLength, static_cast<std::size_t>(n - kSeparatorLength));
    if (written > 0) size += static_cast<std::uint64_t>(written);
  }
  if (file != platform::kNoFile) {
    if (size >= static_cast<std::uint64_t>(state.max_size)) rotate(file);
    platform::close_file(file);
  }

  if (wait == WaitOutcome::kAcquired && !state.services.mutex_release(state.mutex)) {
    ++state.release_errors;
    state.last_release_error = static_cast<std::uint32_t>(platform::last_error());
  }

  state.last_ended_with_line_feed = n > 0 && record[n - 1] == '\n';
  if (state.last_ended_with_line_feed) record[--n] = '\0';
  if (state.line_hook != nullptr) state.line_hook(record, n, previous_ended_with_line_feed);
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

void log_set_max_size(std::int32_t size) { state.max_size = size; }

void log_set_rotation_callback(void (*callback)(std::int32_t)) { state.rotation_callback = callback; }

void log_set_line_hook(void (*hook)(const char*, std::int32_t, bool)) { state.line_hook = hook; }

void log_set_path(const char* path) {
  if (path != nullptr && path[0] != '\0') {
    std::snprintf(state.path, sizeof state.path, "%s", path);
    return;
  }
  if (state.path[0] != '\0') return;
  // The default: the program's log folder and its file name with ".LOG" in place of its
  // extension (or added, when it has none).
  char name[kPathField];
  char directory[kPathField];
  if (!program_base_name(name, sizeof name) || name[0] == '\0') return;
  if (!state.services.default_directory(name, directory, sizeof directory)) return;
  int written = std::snprintf(state.path, sizeof state.path, "%s%c%s%s", directory, platform::kPathSeparator,
                              name, kLogExtension);
  // A path that does not fit would name another file: no default then, records go to
  // standard output only.
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof state.path) state.path[0] = '\0';
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
  if (state.pending_head == nullptr) {
    state.pending_head = pending;
  } else {
    state.pending_tail->next = pending;
  }
  state.pending_tail = pending;
  return n;
}

void log_reset() {
  for (PendingRecord* record = state.pending_head; record != nullptr;) {
    PendingRecord* next = record->next;
    std::free(record);
    record = next;
  }
  std::free(state.time_zone);
  if (state.mutex != nullptr) state.services.mutex_close(state.mutex);
  const LogServices services = state.services;
  state = LogState{};
  state.services = services;  // a test's wrappers stay until it puts the platform's back
}

bool log_flush_pending() {
  if (state.pending_head != nullptr) log_printf_unchecked("");
  return false;
}

platform::FileHandle log_open_file(std::uint64_t* size) {
  if (state.path[0] == '\0') log_set_path(nullptr);
  if (std::strcmp(state.path, kNoFilePath) == 0 || state.path[0] == '\0') return platform::kNoFile;
  platform::FileHandle file = platform::open_append_file(state.path, false, size);
  if (file == platform::kNoFile) {
    char* separator = std::strrchr(state.path, platform::kPathSeparator);
    if (separator != nullptr) {
      *separator = '\0';
      create_directory_path(state.path);
      *separator = platform::kPathSeparator;
    }
    file = platform::open_append_file(state.path, true, size);
  }
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
