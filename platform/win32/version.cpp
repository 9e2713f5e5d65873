// Windows version information: GetFileVersionInfoA and VerQueryValueA read into the neutral record.
#include "platform/version.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// Copies the string `name` of the language and code page `pair` into `text`, when it is there.
bool query_string(const void* block, const WORD pair[2], const char* name, char* text, std::size_t room) {
  char key[96];
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", pair[0], pair[1], name);
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block, key, &value, &length) || value == nullptr) return false;
  // An empty string comes back with length 0 and may point at no terminator.
  std::snprintf(text, room, "%.*s", static_cast<int>(length), length == 0 ? "" : static_cast<const char*>(value));
  return true;
}

}  // namespace

bool read_version_record(const char* path, VersionRecord* out) {
  if (out == nullptr) return false;
  std::memset(out, 0, sizeof *out);
  DWORD zero = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &zero);
  if (size == 0) return false;
  void* block = std::malloc(size);
  if (block == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  if (!GetFileVersionInfoA(path, 0, size, block)) {
    std::free(block);
    return false;
  }
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueA(block, "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    out->file_version[0] = HIWORD(fixed.dwFileVersionMS);
    out->file_version[1] = LOWORD(fixed.dwFileVersionMS);
    out->file_version[2] = HIWORD(fixed.dwFileVersionLS);
    out->file_version[3] = LOWORD(fixed.dwFileVersionLS);
  }
  // Every language the file lists, in order; a later one's strings replace an earlier one's.
  if (VerQueryValueA(block, "\\VarFileInfo\\Translation", &value, &length)) {
    const unsigned char* pairs = static_cast<const unsigned char*>(value);
    for (UINT i = 0; i < length / 4; ++i) {
      WORD pair[2];
      std::memcpy(pair, pairs + 4 * i, sizeof pair);
      if (query_string(block, pair, "FileVersion", out->file_version_text, sizeof out->file_version_text)) {
        out->has_file_version_text = true;
      }
      if (query_string(block, pair, "LegalCopyright", out->legal_copyright, sizeof out->legal_copyright)) {
        out->has_legal_copyright = true;
      }
    }
  }
  std::free(block);
  return true;
}

}  // namespace platform
