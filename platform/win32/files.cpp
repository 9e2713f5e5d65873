// Windows file services of the log: CreateFileA without following a reparse point, directories, rename, delete.
#include "platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform {

const char kPathSeparator = '\\';

const char* default_log_directory() { return "C:\\TEMP"; }

std::FILE* open_file(const char* path, bool create) {
  if (path == nullptr || path[0] == '\0') {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself instead of its target, so that a link
  // planted where the log lives is refused below rather than written through.
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              create ? OPEN_ALWAYS : OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information) || GetFileType(handle) != FILE_TYPE_DISK ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    CloseHandle(handle);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // Text mode: the C library writes every "\n" as "\r\n".
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_TEXT);
  if (descriptor == -1) {
    CloseHandle(handle);
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  std::FILE* stream = _fdopen(descriptor, "r+t");
  if (stream == nullptr) {
    _close(descriptor);  // closes the handle too
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return stream;
}

bool create_directory(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

bool delete_file(const char* path) { return DeleteFileA(path) != FALSE; }

bool rename_file(const char* from, const char* to) { return MoveFileA(from, to) != FALSE; }

}  // namespace platform
