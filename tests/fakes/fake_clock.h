// Test control of the fake performance counter.
#pragma once

#include <cstdint>

namespace fake_clock {

// Counter back to 0 and frequency back to Windows' usual 10 MHz.
void reset();
void set_frequency(std::uint64_t ticks_per_second);
void advance(std::uint64_t ticks);
std::uint64_t frequency();

}  // namespace fake_clock
