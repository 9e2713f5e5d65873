// Windows wake settings of an adapter: the NDIS keywords of its key under the network class in the registry, read only.
#include "platform/wake_settings.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// The network adapters' class: one subkey per adapter ("0000", "0001", ...), each naming the
// adapter's GUID in NetCfgInstanceId and holding the driver's settings.
constexpr char kNetworkClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}";

// A value as a number: keywords are strings ("1") as the adapter's Advanced page writes them,
// PnPCapabilities a DWORD; -1 when absent or neither.
long number_value(HKEY key, const char* name) {
  DWORD type = 0;
  BYTE data[64] = {};
  DWORD size = sizeof data - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return -1;
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD value = 0;
    std::memcpy(&value, data, sizeof value);
    return static_cast<long>(value);
  }
  if (type != REG_SZ) return -1;
  char* end = nullptr;
  const char* text = reinterpret_cast<const char*>(data);
  const long value = std::strtol(text, &end, 10);
  return (end != text && *end == '\0' && value >= 0) ? value : -1;
}

bool names_adapter(HKEY key, const std::string& id) {
  char value[64] = {};
  DWORD type = 0;
  DWORD size = sizeof value - 1;
  if (RegQueryValueExA(key, "NetCfgInstanceId", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  return _stricmp(value, id.c_str()) == 0;
}

}  // namespace

WakeAccess read_wake_settings(const NetworkCard& card, WakeSettings* out, unsigned long* error) {
  *out = WakeSettings{};
  *error = 0;
  HKEY cls = nullptr;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetworkClassKey, 0, KEY_READ, &cls);
  if (status != ERROR_SUCCESS) {
    *error = static_cast<unsigned long>(status);
    return status == ERROR_ACCESS_DENIED ? WakeAccess::kNoPermission : WakeAccess::kNoDevice;
  }
  WakeAccess answer = WakeAccess::kNoDevice;
  *error = ERROR_FILE_NOT_FOUND;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    status = RegEnumKeyExA(cls, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) continue;
    HKEY adapter = nullptr;
    // "Properties" and the keys of other users' devices may refuse to open: not this adapter's.
    if (RegOpenKeyExA(cls, name, 0, KEY_READ, &adapter) != ERROR_SUCCESS) continue;
    if (names_adapter(adapter, card.id)) {
      out->from_registry = true;
      out->key = name;
      out->magic_packet = number_value(adapter, "*WakeOnMagicPacket");
      out->pattern = number_value(adapter, "*WakeOnPattern");
      out->pnp_capabilities = number_value(adapter, "PnPCapabilities");
      answer = WakeAccess::kDone;
      *error = 0;
    }
    RegCloseKey(adapter);
    if (answer == WakeAccess::kDone) break;
  }
  RegCloseKey(cls);
  return answer;
}

// Windows' wake settings are the administrator's to change (powercfg, Set-NetAdapterPowerManagement).
WakeAccess write_wake_modes(const char*, std::uint32_t, const std::uint8_t*, unsigned long* error) {
  *error = ERROR_NOT_SUPPORTED;
  return WakeAccess::kNotSupported;
}

bool may_change_wake_settings() { return false; }

}  // namespace platform
