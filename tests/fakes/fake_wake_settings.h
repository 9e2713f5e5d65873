// A fake of the card wake settings service for tests: the ethtool answers set by the test, the changes recorded.
#pragma once

#include <cstdint>
#include <string>

#include "platform/wake_settings.h"

// What reading interface `name` answers: `access`, and with kDone these modes and password.
void fake_wake_settings_set(const std::string& name, platform::WakeAccess access, std::uint32_t supported,
                            std::uint32_t enabled, unsigned long error = 0);
// Whether the process may change them (CAP_NET_ADMIN); false until set.
void fake_wake_settings_allow(bool allowed);
// Forgets every answer and write.
void fake_wake_settings_reset();
// The writes so far, as "NAME=MODES" joined by blanks; a write sets the modes read afterwards.
std::string fake_wake_settings_writes();
