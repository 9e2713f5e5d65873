// POSIX process services of the log: gettid, descriptor 1, tzname.
#include "platform/process.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

// The zone names are narrow on POSIX; they are widened byte by byte. Anything outside
// ASCII becomes '?', so that converting them back never fails in any locale.
void widen(const char* from, wchar_t* to, int room) {
  int i = 0;
  for (; from != nullptr && from[i] != '\0' && i < room - 1; ++i) {
    unsigned char c = static_cast<unsigned char>(from[i]);
    to[i] = c < 0x80 ? static_cast<wchar_t>(c) : L'?';
  }
  to[i] = L'\0';
}

}  // namespace

unsigned long current_thread_id() { return static_cast<unsigned long>(syscall(SYS_gettid)); }

bool standard_output_present() { return fcntl(1, F_GETFD) != -1; }

bool standard_output_discards() {
  struct stat output {}, null_device {};
  return fstat(1, &output) == 0 && S_ISCHR(output.st_mode) && stat("/dev/null", &null_device) == 0 &&
         S_ISCHR(null_device.st_mode) && output.st_rdev == null_device.st_rdev;
}

void write_standard_output(const char* text, std::size_t length) {
  while (length > 0) {
    ssize_t written = write(1, text, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    length -= static_cast<std::size_t>(written);
  }
}

bool time_zone_names(TimeZoneNames* out) {
  tzset();
  widen(tzname[0], out->standard_name, 32);
  widen(tzname[1], out->daylight_name, 32);
  return true;
}
}  // namespace platform
