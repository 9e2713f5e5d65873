// POSIX version information: the record compiled into the program, served for its own file.
#include "platform/version.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/ascii.h"
#include "platform/system.h"

namespace platform {

namespace {

// The program's own file, named by any path that resolves to it, or by its bare file name in
// any case with or without ".exe".
bool names_own_file(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  char self[PATH_MAX];
  if (realpath("/proc/self/exe", self) == nullptr) return false;
  if (std::strchr(path, '/') == nullptr) {
    const char* self_name = std::strrchr(self, '/');
    self_name = self_name != nullptr ? self_name + 1 : self;
    if (wake::EqualsNoCase(path, self_name)) return true;
    std::size_t length = std::strlen(path);
    return length > 4 && wake::EqualsNoCase(path + length - 4, ".exe") &&
           std::strlen(self_name) == length - 4 && wake::EqualNoCase(path, self_name, length - 4);
  }
  char resolved[PATH_MAX];
  if (realpath(path, resolved) == nullptr) return false;
  return std::strcmp(resolved, self) == 0;
}

}  // namespace

bool read_version_record(const char* path, VersionRecord* out) {
  if (out == nullptr || !names_own_file(path)) {
    set_last_error(ENOENT);
    return false;
  }
  *out = kProgramVersion;
  return true;
}

}  // namespace platform
