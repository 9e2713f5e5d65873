// Windows file services: the log's C:\TEMP and appending text files opened without following a reparse point; a regular file opened for reading.
#include "platform/files.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

const char kPathSeparator = '\\';

bool default_log_directory(const char*, char* buffer, std::size_t size) {
  int written = std::snprintf(buffer, size, "%s", "C:\\TEMP");
  if (written < 0 || static_cast<std::size_t>(written) >= size) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return false;
  }
  return true;
}

FileHandle open_append_file(const char* path, bool create, std::uint64_t* size) {
  if (path == nullptr || path[0] == '\0') {
    SetLastError(ERROR_INVALID_NAME);
    return kNoFile;
  }
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file,
  // whatever other processes write. FILE_FLAG_OPEN_REPARSE_POINT opens a link itself instead
  // of its target, so that a link planted where the log lives is refused below rather than
  // written through. FILE_SHARE_DELETE lets the rotation rename the file while it is open.
  HANDLE handle = CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              create ? OPEN_ALWAYS : OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kNoFile;
  BY_HANDLE_FILE_INFORMATION information;
  LARGE_INTEGER length;
  if (!GetFileInformationByHandle(handle, &information) || GetFileType(handle) != FILE_TYPE_DISK ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      !GetFileSizeEx(handle, &length)) {
    CloseHandle(handle);
    SetLastError(ERROR_ACCESS_DENIED);
    return kNoFile;
  }
  if (size != nullptr) *size = static_cast<std::uint64_t>(length.QuadPart);
  return reinterpret_cast<FileHandle>(handle);
}

long long append_file(FileHandle file, const char* text, std::size_t length) {
  // A text file: "\n" is written as "\r\n", all of it with one WriteFile.
  std::size_t line_feeds = 0;
  for (std::size_t i = 0; i < length; ++i) line_feeds += text[i] == '\n';
  const std::size_t total = length + line_feeds;
  char* translated = static_cast<char*>(std::malloc(total > 0 ? total : 1));
  if (translated == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
  std::size_t n = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == '\n') translated[n++] = '\r';
    translated[n++] = text[i];
  }
  DWORD written = 0;
  BOOL ok = WriteFile(reinterpret_cast<HANDLE>(file), translated, static_cast<DWORD>(total), &written, nullptr);
  std::free(translated);
  return ok ? static_cast<long long>(written) : -1;
}

bool lock_file(FileHandle, unsigned long) { return true; }

bool same_file(FileHandle file, const char* path) {
  HANDLE other = CreateFileA(path, FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  bool same = GetFileInformationByHandle(reinterpret_cast<HANDLE>(file), &a) &&
              GetFileInformationByHandle(other, &b) &&
              a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
              a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(other);
  return same;
}

bool file_size(FileHandle file, std::uint64_t* size) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(reinterpret_cast<HANDLE>(file), &length)) return false;
  *size = static_cast<std::uint64_t>(length.QuadPart);
  return true;
}

void close_file(FileHandle file) {
  if (file != kNoFile) CloseHandle(reinterpret_cast<HANDLE>(file));
}

bool create_directory(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool replace_file(const char* from, const char* to) {
  DeleteFileA(to);  // MoveFileA does not replace; a missing backup is no failure
  return MoveFileA(from, to) != FALSE;
}

std::FILE* open_regular_file(const char* path, bool* not_regular) {
  *not_regular = false;
  // A directory cannot be opened as a file at all; say what it is rather than "Permission denied".
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *not_regular = true;
    return nullptr;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return nullptr;
  // A device (CON, NUL, a serial port) or a pipe is no file on disk.
  if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
    std::fclose(file);
    *not_regular = true;
    return nullptr;
  }
  return file;
}

}  // namespace platform
