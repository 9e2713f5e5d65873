// Windows version resources: GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA.
#include "platform/version.h"

#include <windows.h>

namespace platform {

static_assert(sizeof(FixedFileInfo) == sizeof(VS_FIXEDFILEINFO), "FixedFileInfo mirrors VS_FIXEDFILEINFO");

unsigned long file_version_info_size(const char* path, unsigned long* handle) {
  DWORD zero = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &zero);
  if (handle != nullptr) *handle = 0;
  return size;
}

bool file_version_info(const char* path, unsigned long handle, unsigned long size, void* block) {
  return GetFileVersionInfoA(path, static_cast<DWORD>(handle), static_cast<DWORD>(size), block) !=
         FALSE;
}

bool version_query_value(const void* block, const char* sub_block, const void** value,
                         unsigned* length) {
  void* found = nullptr;
  UINT found_length = 0;
  if (!VerQueryValueA(block, sub_block, &found, &found_length)) return false;
  if (value != nullptr) *value = found;
  if (length != nullptr) *length = found_length;
  return true;
}

}  // namespace platform
