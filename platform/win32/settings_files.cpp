// Windows settings files under a root folder (Windows keeps its settings in the registry: these read trees given them).
#include "platform/settings_files.h"

#include <windows.h>

#include <algorithm>

namespace platform {

namespace {

std::string full_path(const char* root, const char* path) { return std::string(root) + path; }

FileStatus status_of(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileStatus::kMissing;
  if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) return FileStatus::kDenied;
  return FileStatus::kFailed;
}

}  // namespace

FileStatus read_settings_file(const char* root, const char* path, std::string* text, std::size_t limit) {
  text->clear();
  HANDLE file = CreateFileA(full_path(root, path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return status_of(GetLastError());
  char buffer[4096];
  FileStatus status = FileStatus::kDone;
  while (text->size() < limit) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, limit - text->size()));
    if (!ReadFile(file, buffer, want, &got, nullptr)) {
      status = status_of(GetLastError());
      break;
    }
    if (got == 0) break;
    text->append(buffer, got);
  }
  CloseHandle(file);
  return status;
}

std::string read_settings_line(const char* root, const char* path) {
  std::string text;
  if (read_settings_file(root, path, &text, 4096) != FileStatus::kDone) return std::string();
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

FileStatus list_settings_folder(const char* root, const char* path, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((full_path(root, path) + "/*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return status_of(GetLastError());
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names->push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names->begin(), names->end());
  return FileStatus::kDone;
}

bool settings_path_exists(const char* root, const char* path) {
  return GetFileAttributesA(full_path(root, path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Windows settings trees hold no links that name a driver or a master.
bool settings_link_name(const char*, const char*, std::string*) { return false; }

FileStatus write_settings_file(const char* root, const char* path, const char* text) {
  HANDLE file = CreateFileA(full_path(root, path).c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return status_of(GetLastError());
  const DWORD length = static_cast<DWORD>(std::char_traits<char>::length(text));
  DWORD written = 0;
  const bool done = WriteFile(file, text, length, &written, nullptr) && written == length;
  const DWORD error = done ? 0 : GetLastError();
  CloseHandle(file);
  if (!done) {
    SetLastError(error);
    return status_of(error);
  }
  return FileStatus::kDone;
}

}  // namespace platform
