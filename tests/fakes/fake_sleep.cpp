// Fake sleep: records each pause and returns at once.
#include "tests/fakes/fake_sleep.h"

#include "platform/system.h"

namespace {
std::vector<unsigned long> g_pauses;
}

namespace fake_sleep {

void reset() { g_pauses.clear(); }

const std::vector<unsigned long>& pauses() { return g_pauses; }

}  // namespace fake_sleep

namespace platform {

void sleep_ms(unsigned long milliseconds) { g_pauses.push_back(milliseconds); }

}  // namespace platform
