// Linux sleep states from /sys/power under a root folder.
#include "platform/power_states.h"

#include "platform/settings_files.h"

namespace platform {

void read_power_states(const char* root, PowerStates* out) {
  *out = PowerStates{};
  out->offered = read_settings_line(root, "/sys/power/state");
  out->mem_sleep = read_settings_line(root, "/sys/power/mem_sleep");
}

}  // namespace platform
