// POSIX private files: created exclusively with mode 0600, read with the owner and mode of the opened file.
#include "platform/private_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

const char kOwnerOnlyFormat[] = "chmod 600 %s";

bool write_new_private_file(const char* path, const char* data, std::size_t length) {
  // O_EXCL: an existing file is never overwritten, and with O_CREAT a symbolic link at the
  // name counts as existing, so a link planted there cannot redirect the key elsewhere. The
  // mode is 0600 from the start (a umask can only take bits away), never readable for a moment.
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < length) {
    ssize_t n = write(fd, data + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  // On disk before the program says it is there.
  bool ok = done == length && fsync(fd) == 0;
  const int saved = errno;
  close(fd);
  if (!ok) {
    unlink(path);
    errno = saved != 0 ? saved : EIO;
  }
  return ok;
}

bool read_private_file(const char* path, char* buffer, std::size_t room, std::size_t* length,
                       FileAccess* access) {
  // O_NONBLOCK: a FIFO at the name does not block the open; it is refused below with
  // everything but a regular file. O_NOCTTY: a terminal device never becomes ours.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  // The checks and the read concern the same opened file: renaming another file into its
  // place after the check changes nothing.
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EINVAL;
    return false;
  }
  if (static_cast<unsigned long long>(info.st_size) > room) {
    close(fd);
    errno = EFBIG;
    return false;
  }
  std::size_t done = 0;
  ssize_t n = 0;
  do {
    n = read(fd, buffer + done, room - done);
    if (n > 0) done += static_cast<std::size_t>(n);
  } while ((n > 0 && done < room) || (n < 0 && errno == EINTR));
  // A full buffer must be the end of the file (it may have grown since the fstat).
  char extra;
  if (n >= 0 && done == room) {
    do {
      n = read(fd, &extra, 1);
    } while (n < 0 && errno == EINTR);
    if (n > 0) errno = EFBIG;
  }
  const int saved = errno;
  close(fd);
  if (n != 0) {
    errno = saved;
    return false;
  }
  *length = done;
  access->owned_by_user = info.st_uid == geteuid();
  access->owned_by_administrator = info.st_uid == 0;
  access->others_can_read = (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
  access->others_can_write = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return true;
}

}  // namespace platform
