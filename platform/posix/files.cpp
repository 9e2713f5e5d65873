// POSIX file services of the log: open with O_NOFOLLOW and fdopen, mkdir, rename, unlink.
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system.h"

namespace platform {

const char kPathSeparator = '/';

const char* default_log_directory() { return "/tmp"; }

std::FILE* open_file(const char* path, bool create) {
  // O_NOFOLLOW: in a shared directory such as /tmp another user could otherwise plant a
  // link that redirects our writes. O_NONBLOCK keeps a planted FIFO from blocking the
  // open; anything but a regular file is refused below. Without O_TRUNC a file that
  // another process created a moment ago keeps its records.
  int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0);
  int fd = open(path, flags, 0666);
  if (fd < 0) {
    set_last_error(static_cast<unsigned long>(errno));
    return nullptr;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    set_last_error(EINVAL);
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  // There is no text mode on POSIX: the file receives exactly the bytes written.
  std::FILE* stream = fdopen(fd, "r+");
  if (stream == nullptr) {
    set_last_error(static_cast<unsigned long>(errno));
    close(fd);
  }
  return stream;
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
  if (std::rename(from, to) == 0) return true;
  set_last_error(static_cast<unsigned long>(errno));
  return false;
}

}  // namespace platform
