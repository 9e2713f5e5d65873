// POSIX sleep: its own service, so that tests can replace the pauses of the sender.
#include "platform/system.h"

#include <cerrno>
#include <ctime>

namespace platform {

void sleep_ms(unsigned long milliseconds) {
  timespec rest{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal does not shorten the pause.
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
