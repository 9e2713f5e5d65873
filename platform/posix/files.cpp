// POSIX file services: the log's folder and files of the user's own, O_APPEND writes, flock; a regular file opened for reading.
#include "platform/files.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/printf_format.h"
#include "platform/system.h"

namespace platform {

const char kPathSeparator = '/';

namespace {

// A directory that only the user can reach: the log's records, and the files planted beside
// them, are nobody else's business.
bool is_own_directory(const struct stat& info, bool exactly_private) {
  if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return false;
  return !exactly_private || (info.st_mode & 07777) == 0700;
}

// Makes `path` and its missing parents (0700), as a shell's mkdir -p.
bool make_directories(char* path) {
  for (char* p = path + 1;; ++p) {
    if (*p != '/' && *p != '\0') continue;
    const char kept = *p;
    *p = '\0';
    bool made = mkdir(path, 0700) == 0 || errno == EEXIST;
    *p = kept;
    if (!made) return false;
    if (kept == '\0') return true;
  }
}

// Checks the folder `path` with lstat (a link there is refused, not followed).
bool check_directory(const char* path, bool exactly_private) {
  struct stat info {};
  if (lstat(path, &info) != 0) return false;
  if (!is_own_directory(info, exactly_private)) {
    errno = EACCES;
    return false;
  }
  return true;
}

bool write_text(char* buffer, std::size_t size, const char* format, ...) TIDEWAKE_PRINTF(3, 4);
bool write_text(char* buffer, std::size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int written = std::vsnprintf(buffer, size, format, arguments);
  va_end(arguments);
  if (written < 0 || static_cast<std::size_t>(written) >= size) {
    errno = ENAMETOOLONG;
    return false;
  }
  return true;
}

// A home folder that exists: a user without one (a service account, HOME unset or pointing
// nowhere) logs to /tmp rather than having a home made for it.
bool have_home(const char* home) {
  struct stat info {};
  return home != nullptr && home[0] == '/' && stat(home, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool default_log_directory(const char* program, char* buffer, std::size_t size) {
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  // XDG_STATE_HOME counts only as an absolute path.
  if (state != nullptr && state[0] == '/') {
    if (!write_text(buffer, size, "%s/%s", state, program)) return false;
  } else if (have_home(home)) {
    if (!write_text(buffer, size, "%s/.local/state/%s", home, program)) return false;
  } else {
    char uid[16];
    std::snprintf(uid, sizeof uid, "%u", static_cast<unsigned>(geteuid()));
    if (!write_text(buffer, size, "/tmp/%s-%s", program, uid)) return false;
    // In the shared /tmp the folder is made here, private, or taken only when it is ours
    // and private already: another user may have made it first to catch our records.
    if (mkdir(buffer, 0700) != 0 && errno != EEXIST) return false;
    return check_directory(buffer, true);
  }
  if (!make_directories(buffer)) return false;
  return check_directory(buffer, false);
}

FileHandle open_append_file(const char* path, bool create, std::uint64_t* size) {
  // O_APPEND: every write lands at the end, so writers that share the file (with or without
  // the mutex) never overwrite each other. O_NOFOLLOW: a link planted at the log's name is
  // not followed to a file of the attacker's choosing. O_NONBLOCK: a planted FIFO does not
  // block the open; it is refused below with everything but a regular file.
  int flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0);
  int fd = open(path, flags, 0600);
  if (fd < 0) return kNoFile;
  // One fstat both checks the file and gives its size. A file of another owner (planted in
  // a shared folder) or with a second name (a hard link to a file elsewhere) is not ours to
  // write to. The owner is the user the process runs as from its start: asked once, not per
  // record.
  static const uid_t user = geteuid();
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != user ||
      info.st_nlink != 1) {
    close(fd);
    errno = EACCES;
    return kNoFile;
  }
  if (size != nullptr) *size = static_cast<std::uint64_t>(info.st_size);
  return fd;
}

long long append_file(FileHandle file, const char* text, std::size_t length) {
  // One write of the whole text: a regular file takes it whole (a signal is handled only
  // before any byte is written, which the retry covers).
  ssize_t written;
  do {
    written = write(static_cast<int>(file), text, length);
  } while (written < 0 && errno == EINTR);
  return written;
}

bool lock_file(FileHandle file, unsigned long timeout_ms) {
  const int fd = static_cast<int>(file);
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (unsigned long pause_ms = 1;; pause_ms = pause_ms < 16 ? pause_ms * 2 : 16) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long waited_ms = (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000LL;
    if (waited_ms >= static_cast<long long>(timeout_ms)) return false;
    sleep_ms(pause_ms);
  }
}

bool same_file(FileHandle file, const char* path) {
  struct stat open_info {}, path_info {};
  return fstat(static_cast<int>(file), &open_info) == 0 && lstat(path, &path_info) == 0 &&
         open_info.st_dev == path_info.st_dev && open_info.st_ino == path_info.st_ino;
}

bool file_size(FileHandle file, std::uint64_t* size) {
  struct stat info {};
  if (fstat(static_cast<int>(file), &info) != 0) return false;
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

void close_file(FileHandle file) {
  if (file != kNoFile) close(static_cast<int>(file));
}

bool create_directory(const char* path) { return mkdir(path, 0700) == 0; }

bool replace_file(const char* from, const char* to) { return std::rename(from, to) == 0; }

std::FILE* open_regular_file(const char* path, bool* not_regular) {
  *not_regular = false;
  // O_NONBLOCK: the open of a FIFO returns at once instead of waiting for a writer (a regular
  // file reads as always). O_NOCTTY: a terminal named there never becomes the controlling one.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = errno;
    *not_regular = !S_ISREG(info.st_mode);
    close(fd);
    errno = error;
    return nullptr;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    errno = error;
  }
  return file;
}

}  // namespace platform
