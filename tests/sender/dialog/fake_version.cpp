// Fake version-information service: serves a configured string table for any file name.
#include "platform/version.h"

#include <cctype>
#include <cstring>
#include <string>

#include "fake_version.h"

namespace {
bool g_present = false;
const char* g_copyright = nullptr;
const char* g_version = nullptr;
std::string g_last_path;
constexpr unsigned long kBlockSize = 64;

bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return *a == *b;
}
}  // namespace

namespace fake_version {

void Set(bool present, const char* legal_copyright, const char* file_version) {
  g_present = present;
  g_copyright = legal_copyright;
  g_version = file_version;
}

const char* LastPath() { return g_last_path.c_str(); }

}  // namespace fake_version

namespace platform {

unsigned long file_version_info_size(const char* path, unsigned long* handle) {
  g_last_path = path != nullptr ? path : "";
  if (handle != nullptr) *handle = 0;
  return g_present ? kBlockSize : 0;
}

bool file_version_info(const char*, unsigned long, unsigned long size, void* block) {
  if (!g_present || size < kBlockSize) return false;
  std::memset(block, 0, size);
  return true;
}

// Keys compared without regard to case, as the real query does.
bool version_query_value(const void*, const char* sub_block, const void** value, unsigned* length) {
  const char* found = nullptr;
  if (SameIgnoringCase(sub_block, "\\StringFileInfo\\080904b0\\LegalCopyright")) found = g_copyright;
  if (SameIgnoringCase(sub_block, "\\StringFileInfo\\080904b0\\FileVersion")) found = g_version;
  if (found == nullptr) return false;
  *value = found;
  *length = static_cast<unsigned>(std::strlen(found) + 1);
  return true;
}

}  // namespace platform
