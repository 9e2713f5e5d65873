// POSIX performance counter: CLOCK_MONOTONIC in nanoseconds (its own file so tests can replace it).
#include <ctime>

#include "platform/time.h"

namespace platform {

std::uint64_t performance_counter() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL +
         static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t performance_frequency() { return 1000000000ULL; }

}  // namespace platform
