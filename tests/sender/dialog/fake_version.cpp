// Fake version-information service: serves a configured record for any file name.
#include "platform/version.h"

#include <cstdio>
#include <string>

#include "fake_version.h"

namespace {
bool g_present = false;
const char* g_copyright = nullptr;
const char* g_version = nullptr;
std::string g_last_path;
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

bool read_version_record(const char* path, VersionRecord* out) {
  g_last_path = path != nullptr ? path : "";
  if (!g_present) return false;
  *out = VersionRecord{};
  out->has_legal_copyright = g_copyright != nullptr;
  if (g_copyright != nullptr) std::snprintf(out->legal_copyright, sizeof out->legal_copyright, "%s", g_copyright);
  out->has_file_version_text = g_version != nullptr;
  if (g_version != nullptr) std::snprintf(out->file_version_text, sizeof out->file_version_text, "%s", g_version);
  return true;
}

}  // namespace platform
