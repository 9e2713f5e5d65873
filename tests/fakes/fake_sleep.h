// Test control of the fake sleep: pauses are recorded, not waited.
#pragma once

#include <vector>

namespace fake_sleep {

void reset();
// Every pause asked for since the last reset, in milliseconds, in order.
const std::vector<unsigned long>& pauses();

}  // namespace fake_sleep
