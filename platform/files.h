// File services: the log's append-only files of the user's own, a lock on them, directories, renames; reading a regular file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace platform {

// Separator of the directories of a path ('\\' on Windows, '/' on POSIX).
extern const char kPathSeparator;

// An open file as the platform holds it (a descriptor on POSIX, a HANDLE on Windows).
typedef std::intptr_t FileHandle;
constexpr FileHandle kNoFile = -1;

// The folder of a program's default log file, without a final separator, into `buffer`:
// "C:\TEMP" on Windows. On POSIX a folder of the user's own: $XDG_STATE_HOME/PROGRAM, else
// $HOME/.local/state/PROGRAM (made with its missing parents, 0700), else, without a home,
// /tmp/PROGRAM-UID (made 0700). A folder that exists but is not a directory of the user's own
// (or, in /tmp, has other permissions than 0700) is refused: false, with last_error() set.
bool default_log_directory(const char* program, char* buffer, std::size_t size);

// Opens `path` for appending: every write lands at the end of the file, whatever other
// processes write. A link at the last component is never followed and only a regular file is
// taken; on POSIX it must also be the user's own with one link, so that a file someone else
// planted, or a hard link to another file, never receives a record. With `create` a missing
// file is made (0600 on POSIX); an existing one is kept. *size receives its size at the
// opening. kNoFile on failure, with last_error() set.
FileHandle open_append_file(const char* path, bool create, std::uint64_t* size);

// Appends `length` bytes with one write, so that writers sharing the file never split each
// other's records. On Windows the file is a text file: every "\n" reaches it as "\r\n".
// Returns the number of bytes that reached the file, or -1 (last_error() set).
long long append_file(FileHandle file, const char* text, std::size_t length);

// Takes an exclusive lock on the open file, waiting at most `timeout_ms` (0: one try); it is
// released when the file is closed, or when its holder dies. False when it cannot be had in
// time. POSIX: flock. Windows has no use for it (its named mutex cannot be taken from another
// user's session) and always says true.
bool lock_file(FileHandle file, unsigned long timeout_ms);

// Whether `path` still names the file open as `file` (nobody renamed or replaced it since).
bool same_file(FileHandle file, const char* path);

// The open file's size now. False, with last_error() set, when it cannot be read.
bool file_size(FileHandle file, std::uint64_t* size);

void close_file(FileHandle file);

// Creates one directory (CreateDirectoryA; 0700 on POSIX). On failure last_error() is set; a
// directory that exists already gives kErrorAlreadyExists (platform/system.h).
bool create_directory(const char* path);

// Renames `from` to `to`, replacing `to`: DeleteFileA (a failure ignored) and MoveFileA on
// Windows, one atomic rename on POSIX. False, with last_error() set, on failure.
bool replace_file(const char* from, const char* to);

// Opens `path` for reading (binary) when it is a regular file, a link to one included. A FIFO,
// a device or a directory is not read: the open of a FIFO would wait for a writer, and a read
// of one or of a device may never end. nullptr on failure, with *not_regular telling that
// the path names something else than a regular file, else errno set (the C library's number
// on both platforms).
std::FILE* open_regular_file(const char* path, bool* not_regular);

}  // namespace platform
