// Windows sleep states (GetPwrCapabilities) and Fast Startup (HiberbootEnabled in the registry).
#include "platform/power_states.h"

#include <windows.h>
#include <powrprof.h>

#include <cstring>

namespace platform {

namespace {

constexpr char kPowerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Power";

long dword_value(const char* key_name, const char* value_name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_name, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  const LONG status = RegQueryValueExA(key, value_name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value) ? static_cast<long>(value) : -1;
}

}  // namespace

void read_power_states(const char*, PowerStates* out) {
  *out = PowerStates{};
  SYSTEM_POWER_CAPABILITIES capabilities;
  std::memset(&capabilities, 0, sizeof capabilities);
  if (GetPwrCapabilities(&capabilities)) {
    const struct {
      BOOLEAN present;
      const char* name;
    } states[] = {{capabilities.SystemS1, "S1"},
                  {capabilities.SystemS2, "S2"},
                  {capabilities.SystemS3, "S3"},
                  {capabilities.SystemS4, "S4"},
                  {capabilities.SystemS5, "S5"}};
    for (const auto& state : states) {
      if (!state.present) continue;
      if (!out->offered.empty()) out->offered += ' ';
      out->offered += state.name;
    }
  }
  out->fast_startup = dword_value(kPowerKey, "HiberbootEnabled");
}

}  // namespace platform
