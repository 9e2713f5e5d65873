// The diagnostic log of kestrava: record formatting and the shared, size-limited log file.
//
// kestrava itself calls only log_printf. The rest is the log's interface all the same and is
// kept and tested: log_set_record_mode (the stamped style and the millisecond prefix),
// log_set_max_size, log_set_path, log_set_rotation_callback, log_set_line_hook,
// log_queue_record and log_flush_pending; log_reset exists for tests.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "common/printf_format.h"
#include "platform/files.h"

// ---- Record formatting -------------------------------------------------------------------

// Formats one record into `buffer` (of `size` bytes, at least 8): the separator "\r\n",
// then the date-time prefix or the indentation, the message, and in the stamped style
// the stamp. A format that begins with "%T" asks for the date-time prefix. Returns the
// record length, separator included; the record is always terminated. A record that does
// not fit is cut and ends with "...\r\n".
int log_format_record(char* buffer, int size, const char* format, va_list args)
    TIDEWAKE_PRINTF(3, 0);

// Record mode 1 selects the stamped style; any other value the time-prefix style, in
// which bit 0x80 adds milliseconds to the date-time prefix. The prefix (shown in the
// stamp) is cleared, then takes at most the first 79 characters of `prefix`.
void log_set_record_mode(std::int32_t mode, const char* prefix);

// The date-time text ("<short date> hh:mm:ss", or with ".mmm") of `file_time`, a count of
// 100-ns intervals since 1601 taken as it is, or of the current local time when it is 0.
// Without a buffer (nullptr) the text goes to one of two static 40-byte buffers used in
// turn, so two results can be used together. A given buffer must hold 40 bytes.
char* format_date_time(char* buffer, std::uint64_t file_time);
char* format_date_time_ms(char* buffer, std::uint64_t file_time);

// ---- Log file writer -----------------------------------------------------------------------

// The log call: formats one record, writes the pending records and the record to the log
// file (under the log mutex shared by all processes of the program) and to standard
// output, and rotates the file at its size limit. Returns the record length with its
// separator and without a final line feed, or 0 when nothing was logged.
// The formats of this call are checked as printf formats, so "%T" cannot be passed here:
// records with the date-time prefix are written with LOG_PRINTF_TIMED.
std::int32_t log_printf(const char* format, ...) TIDEWAKE_PRINTF(1, 2);

// The log call for a format that begins with "%T"; the compiler never sees "%T" in a
// checked format. Use it through LOG_PRINTF_TIMED, or for formats built at run time.
std::int32_t log_printf_unchecked(const char* format, ...);

// Never defined: it only lets the compiler check a format and its arguments.
void log_check_format(const char* format, ...) TIDEWAKE_PRINTF(1, 2);

// LOG_PRINTF_TIMED(": x=%d\n", 5) logs "%T: x=%d\n" with 5: the message format (a string
// literal) and its arguments are checked as printf's are, then "%T" is put in front.
#define LOG_PRINTF_TIMED(...)                                   \
  (static_cast<void>(sizeof((log_check_format(__VA_ARGS__), 0))), \
   log_printf_unchecked("%T" __VA_ARGS__))

// 0 turns the log off; a non-zero size below 8192 is raised to 8192 by the next log call.
void log_set_max_size(std::int32_t size);

// Called with the value 2 after every successful rotation, with the log mutex held.
void log_set_rotation_callback(void (*callback)(std::int32_t));

// A non-empty text becomes the log path (its first 259 characters on Windows, a whole path
// on POSIX; "-" means no file).
// With nullptr or an empty text, the default path is built when no path is set yet.
void log_set_path(const char* path);

// Called after every log call with the record text (separator included), its length
// without a final line feed, and whether the record before it ended with a line feed.
void log_set_line_hook(void (*hook)(const char* text, std::int32_t length, bool last_ended_with_line_feed));

// Formats a record now and keeps it for the next log call, which writes it before its own
// record. Returns the record length with its separator, or 0 when there is no memory.
std::int32_t log_queue_record(const char* format, ...) TIDEWAKE_PRINTF(1, 2);

// Writes the pending records now, when there are any. Always returns false.
bool log_flush_pending();

// Frees what the log holds (pending records, the mutex handle) and puts its settings, counters
// and formatting state back to those of a new process.
void log_reset();

// Opens the log file for appending (creating it and its directories when missing), its
// size at the opening in *size; platform::kNoFile when there is no file to write to. Used
// by the log call.
platform::FileHandle log_open_file(std::uint64_t* size);

// Creates the directory `path` and its missing parents; true when it exists afterwards.
// `path` is modified during the call and restored.
bool create_directory_path(char* path);
