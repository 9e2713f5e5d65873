// POSIX process and thread services: errno as the one last error, strerror texts, module path.
#include "platform/system.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/sockets.h"

namespace platform {

const unsigned long kErrorAlreadyExists = EEXIST;

// errno is the one store of the last error on POSIX, as GetLastError's is on Windows: the C
// library's failures land there, and so do the codes this layer sets. A Winsock code set by
// set_last_socket_error travels tagged (see sockets.cpp) and reads back as that code.
unsigned long last_error() {
  int error = errno;
  if (error >= kWinsockCodeInErrno) return static_cast<unsigned long>(error - kWinsockCodeInErrno);
  return static_cast<unsigned long>(error);
}

void set_last_error(unsigned long code) {
  errno = code > static_cast<unsigned long>(INT_MAX) ? INT_MAX : static_cast<int>(code);
}

char* system_message_alloc(unsigned long code) {
  if (code > static_cast<unsigned long>(INT_MAX)) return nullptr;
  char text[512];
  // The GNU strerror_r returns a pointer that may or may not be `text`.
  const char* message = strerror_r(static_cast<int>(code), text, sizeof text);
  if (message == nullptr || std::strncmp(message, "Unknown error", 13) == 0) return nullptr;
  std::size_t length = std::strlen(message);
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, message, length + 1);
  return copy;
}

void free_system_message(char* text) { std::free(text); }

unsigned long module_path(char* buffer, unsigned long size) {
  if (buffer == nullptr || size == 0) return 0;
  ssize_t n = readlink("/proc/self/exe", buffer, size - 1);
  if (n <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[n] = '\0';
  return static_cast<unsigned long>(n);
}

void open_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free descriptor: this one.
    int opened = open("/dev/null", O_RDWR);
    if (opened != fd && opened >= 0) close(opened);
  }
}

}  // namespace platform
