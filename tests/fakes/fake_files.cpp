// Fake file service: replaces the platform's file service (link seam); renames can fail.
#include "tests/fakes/fake_files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/system.h"

namespace fake_files {
int renames = 0;
int rename_failures = 0;
char default_directory[512] = "/nonexistent-default-log-directory";
}  // namespace fake_files

namespace platform {

const char kPathSeparator = '/';

const char* default_log_directory() { return fake_files::default_directory; }

std::FILE* open_file(const char* path, bool create) {
  int fd = open(path, O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
  if (fd < 0) {
    set_last_error(static_cast<unsigned long>(errno));
    return nullptr;
  }
  return fdopen(fd, "r+");
}

bool create_directory(const char* path) {
  if (mkdir(path, 0777) == 0) return true;
  set_last_error(static_cast<unsigned long>(errno));
  return false;
}

bool delete_file(const char* path) {
  if (unlink(path) == 0) return true;
  set_last_error(static_cast<unsigned long>(errno));
  return false;
}

bool rename_file(const char* from, const char* to) {
  ++fake_files::renames;
  if (fake_files::rename_failures > 0) {
    --fake_files::rename_failures;
    set_last_error(32);  // in use by another process
    return false;
  }
  if (std::rename(from, to) == 0) return true;
  set_last_error(static_cast<unsigned long>(errno));
  return false;
}

}  // namespace platform
