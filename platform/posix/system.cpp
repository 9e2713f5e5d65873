// POSIX process and thread services: a thread-local last error, strerror texts, module path.
#include "platform/system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace platform {

namespace {
thread_local unsigned long t_last_error = 0;
}

const unsigned long kErrorAlreadyExists = EEXIST;

unsigned long last_error() { return t_last_error; }

void set_last_error(unsigned long code) { t_last_error = code; }

char* system_message_alloc(unsigned long code) {
  if (code > static_cast<unsigned long>(__INT_MAX__)) return nullptr;
  char text[512];
  // The GNU strerror_r returns a pointer that may or may not be `text`.
  const char* message = strerror_r(static_cast<int>(code), text, sizeof text);
  if (message == nullptr || std::strncmp(message, "Unknown error", 13) == 0) return nullptr;
  std::size_t length = std::strlen(message);
  char* copy = static_cast<char*>(std::malloc(length + 3));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, message, length);
  // System texts end with a line end, as FormatMessage gives them.
  std::memcpy(copy + length, "\r\n", 3);
  return copy;
}

void free_system_message(char* text) { std::free(text); }

unsigned long module_path(char* buffer, unsigned long size) {
  if (buffer == nullptr || size == 0) return 0;
  ssize_t n = readlink("/proc/self/exe", buffer, size - 1);
  if (n <= 0) {
    buffer[0] = '\0';
    set_last_error(errno);
    return 0;
  }
  buffer[n] = '\0';
  return static_cast<unsigned long>(n);
}

}  // namespace platform
