// Fake performance counter: it moves only when a test (or another fake) advances it.
#include "tests/fakes/fake_clock.h"

#include "platform/time.h"

namespace {
std::uint64_t g_now = 0;
std::uint64_t g_frequency = 10000000ULL;
}  // namespace

namespace fake_clock {

void reset() {
  g_now = 0;
  g_frequency = 10000000ULL;
}

void set_frequency(std::uint64_t ticks_per_second) { g_frequency = ticks_per_second; }

void advance(std::uint64_t ticks) { g_now += ticks; }

std::uint64_t frequency() { return g_frequency; }

}  // namespace fake_clock

namespace platform {

std::uint64_t performance_counter() { return g_now; }

std::uint64_t performance_frequency() { return g_frequency; }

}  // namespace platform
