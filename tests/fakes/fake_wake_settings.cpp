// A fake card wake settings service for tests: replaces the platform's ethtool service (link seam).
#include "tests/fakes/fake_wake_settings.h"

#include <cerrno>
#include <map>

namespace {

struct Answer {
  platform::WakeAccess access;
  platform::WakeSettings settings;
  unsigned long error;
};
std::map<std::string, Answer> g_answers;
bool g_allowed = false;
std::string g_writes;

}  // namespace

void fake_wake_settings_set(const std::string& name, platform::WakeAccess access, std::uint32_t supported,
                            std::uint32_t enabled, unsigned long error) {
  Answer a{access, platform::WakeSettings{}, error};
  a.settings.from_kernel = access == platform::WakeAccess::kDone;
  a.settings.supported = supported;
  a.settings.enabled = enabled;
  g_answers[name] = a;
}

void fake_wake_settings_allow(bool allowed) { g_allowed = allowed; }

void fake_wake_settings_reset() {
  g_answers.clear();
  g_allowed = false;
  g_writes.clear();
}

std::string fake_wake_settings_writes() { return g_writes; }

namespace platform {

WakeAccess read_wake_settings(const NetworkCard& card, WakeSettings* out, unsigned long* error) {
  const auto found = g_answers.find(card.name);
  if (found == g_answers.end()) {
    *out = WakeSettings{};
    *error = ENODEV;
    return WakeAccess::kNoDevice;
  }
  *out = found->second.settings;
  *error = found->second.error;
  return found->second.access;
}

WakeAccess write_wake_modes(const char* name, std::uint32_t enabled, const std::uint8_t*, unsigned long* error) {
  *error = 0;
  g_writes += (g_writes.empty() ? "" : " ") + std::string(name) + "=" + std::to_string(enabled);
  if (!g_allowed) {
    *error = EPERM;
    return WakeAccess::kNoPermission;
  }
  g_answers[name].settings.enabled = enabled;
  return WakeAccess::kDone;
}

bool may_change_wake_settings() { return g_allowed; }

}  // namespace platform
