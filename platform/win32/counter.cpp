// Windows performance counter: QueryPerformanceCounter / Frequency (its own file so tests can replace it).
#include "platform/time.h"

#include <windows.h>

namespace platform {

std::uint64_t performance_counter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<std::uint64_t>(now.QuadPart);
}

std::uint64_t performance_frequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<std::uint64_t>(frequency.QuadPart);
}

}  // namespace platform
