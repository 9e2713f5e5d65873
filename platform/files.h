// File services of the log: opening without following links, directories, rename, delete.
#pragma once

#include <cstdio>

namespace platform {

// Separator of the directories of a path ('\\' on Windows, '/' on POSIX).
extern const char kPathSeparator;

// The directory that holds the default log file ("C:\\TEMP" on Windows, "/tmp" on POSIX),
// without a final separator.
const char* default_log_directory();

// Opens `path` for reading and writing in text mode, positioned at its start, without
// following a symbolic link at its last component. With `create`, a missing file is
// created (an existing one is kept as it is). Only regular files are opened. nullptr on
// failure, with last_error() set. On Windows text mode writes "\n" as "\r\n"; on POSIX
// the file receives exactly what is written.
std::FILE* open_file(const char* path, bool create);

// Creates one directory (CreateDirectoryA). On failure last_error() is set; a directory
// that exists already gives kErrorAlreadyExists (platform/system.h).
bool create_directory(const char* path);

// Deletes a file (DeleteFileA). False, with last_error() set, on failure.
bool delete_file(const char* path);

// Renames a file (MoveFileA). False, with last_error() set, on failure.
bool rename_file(const char* from, const char* to);

}  // namespace platform
