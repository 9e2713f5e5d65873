// POSIX settings files under a root folder: whole reads, sorted folder listings, link targets, one-write updates.
#include "platform/settings_files.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string full_path(const char* root, const char* path) { return std::string(root) + path; }

FileStatus status_of(int error) {
  if (error == ENOENT || error == ENOTDIR) return FileStatus::kMissing;
  if (error == EACCES || error == EPERM) return FileStatus::kDenied;
  return FileStatus::kFailed;
}

}  // namespace

FileStatus read_settings_file(const char* root, const char* path, std::string* text, std::size_t limit) {
  text->clear();
  // O_NONBLOCK: a FIFO planted where a settings file should be cannot hang the check.
  const int fd = open(full_path(root, path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return status_of(errno);
  char buffer[4096];
  FileStatus status = FileStatus::kDone;
  while (text->size() < limit) {
    const std::size_t want = std::min(sizeof buffer, limit - text->size());
    const ssize_t n = read(fd, buffer, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      status = status_of(errno);
      break;
    }
    if (n == 0) break;
    text->append(buffer, static_cast<std::size_t>(n));
  }
  const int error = errno;
  close(fd);
  errno = error;
  return status;
}

std::string read_settings_line(const char* root, const char* path) {
  std::string text;
  if (read_settings_file(root, path, &text, 4096) != FileStatus::kDone) return std::string();
  const std::size_t end = text.find('\n');
  if (end != std::string::npos) text.resize(end);
  return text;
}

FileStatus list_settings_folder(const char* root, const char* path, std::vector<std::string>* names) {
  names->clear();
  DIR* folder = opendir(full_path(root, path).c_str());
  if (folder == nullptr) return status_of(errno);
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(folder);
  std::sort(names->begin(), names->end());
  return FileStatus::kDone;
}

bool settings_path_exists(const char* root, const char* path) {
  struct stat info {};
  return lstat(full_path(root, path).c_str(), &info) == 0;
}

bool settings_link_name(const char* root, const char* path, std::string* name) {
  char target[4096];
  const ssize_t n = readlink(full_path(root, path).c_str(), target, sizeof target - 1);
  if (n <= 0) return false;
  std::string text(target, static_cast<std::size_t>(n));
  while (!text.empty() && text.back() == '/') text.pop_back();
  const std::size_t slash = text.rfind('/');
  *name = slash == std::string::npos ? text : text.substr(slash + 1);
  return !name->empty();
}

FileStatus write_settings_file(const char* root, const char* path, const char* text) {
  // No O_CREAT: only an attribute that is there already is written, never a new file; O_TRUNC
  // for a test tree's regular file (sysfs ignores it).
  const int fd = open(full_path(root, path).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return status_of(errno);
  const std::size_t length = std::char_traits<char>::length(text);
  const ssize_t n = write(fd, text, length);
  const int error = n < 0 ? errno : (static_cast<std::size_t>(n) == length ? 0 : EIO);
  // sysfs reports a value it refuses at the write; a regular file's delayed error at close.
  const bool closed = close(fd) == 0;
  if (error != 0) {
    errno = error;
    return status_of(error);
  }
  return closed ? FileStatus::kDone : status_of(errno);
}

}  // namespace platform
