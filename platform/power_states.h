// The sleep states the system offers, and Windows' Fast Startup, as the system reports them.
#pragma once

#include <string>

namespace platform {

struct PowerStates {
  // The system's own words for the states it can enter: Linux /sys/power/state ("freeze mem
  // disk"); Windows the S-states of GetPwrCapabilities ("S3 S4 S5"). Empty when not known.
  std::string offered;
  // Linux /sys/power/mem_sleep, the variants of "mem" with the one in use in brackets
  // ("s2idle [deep]"); empty when not known or not on this system.
  std::string mem_sleep;
  // Windows: HiberbootEnabled under ...\Control\Session Manager\Power; -1 when absent or not
  // on this system.
  long fast_startup = -1;
};

// `root` as in platform/settings_files.h; Windows reads the registry and the power API instead.
void read_power_states(const char* root, PowerStates* out);

}  // namespace platform
