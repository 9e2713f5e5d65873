// Windows network cards: the adapter list (GetAdaptersAddresses) and the devices armed to wake the system.
#include "platform/network_cards.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdlib>
#include <cwchar>

namespace platform {

namespace {

constexpr ULONG kAdapterListRoom = 16 * 1024;
constexpr int kAdapterListTries = 3;

// powrprof.h's query flags: devices present, and among them those armed to wake the system,
// each reported by its name (the adapter's description).
constexpr ULONG kDevicePowerPresent = 0x20000000;
constexpr ULONG kDevicePowerWakeEnabled = 0x08000000;
// The armed devices are looked through up to this many.
constexpr ULONG kArmedRoom = 512;

std::string utf8_of(const wchar_t* text) {
  if (text == nullptr) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

typedef BOOLEAN(WINAPI* DevicePowerEnumDevicesFunction)(ULONG, ULONG, ULONG, PBYTE, PULONG);

// Whether the device named `description` is armed to wake the system, asked as powercfg's
// -devicequery wake_armed asks. The query lives in powrprof.dll, loaded only here; where it is
// missing (older systems, Wine) the answer is not known.
DeviceWakeup armed_to_wake(const wchar_t* description) {
  if (description == nullptr) return DeviceWakeup::kNotKnown;
  HMODULE module = LoadLibraryA("powrprof.dll");
  if (module == nullptr) return DeviceWakeup::kNotKnown;
  auto enumerate = reinterpret_cast<DevicePowerEnumDevicesFunction>(
      reinterpret_cast<void*>(GetProcAddress(module, "DevicePowerEnumDevices")));
  DeviceWakeup answer = DeviceWakeup::kNotKnown;
  if (enumerate != nullptr) {
    answer = DeviceWakeup::kDisabled;
    for (ULONG index = 0; index < kArmedRoom; ++index) {
      wchar_t name[512] = {};
      ULONG size = sizeof name - sizeof(wchar_t);
      if (!enumerate(index, kDevicePowerPresent | kDevicePowerWakeEnabled, 0, reinterpret_cast<PBYTE>(name), &size))
        break;
      if (_wcsicmp(name, description) == 0) {
        answer = DeviceWakeup::kEnabled;
        break;
      }
    }
  }
  FreeLibrary(module);
  return answer;
}

}  // namespace

bool list_network_cards(const char*, std::vector<NetworkCard>* cards) {
  cards->clear();
  const ULONG flags =
      GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_SKIP_UNICAST;
  ULONG size = kAdapterListRoom;
  IP_ADAPTER_ADDRESSES* list = nullptr;
  for (int attempt = 0; attempt < kAdapterListTries; ++attempt) {
    list = static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size));
    if (list == nullptr) return false;
    const ULONG result = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, list, &size);
    if (result == NO_ERROR) break;
    std::free(list);
    list = nullptr;
    if (result == ERROR_NO_DATA) return true;
    if (result != ERROR_BUFFER_OVERFLOW) return false;
  }
  if (list == nullptr) return false;
  for (const IP_ADAPTER_ADDRESSES* a = list; a != nullptr; a = a->Next) {
    NetworkCard card;
    card.name = utf8_of(a->FriendlyName);
    card.id = a->AdapterName != nullptr ? a->AdapterName : "";
    card.description = utf8_of(a->Description);
    card.ethernet = a->IfType == IF_TYPE_ETHERNET_CSMACD;
    card.wireless = a->IfType == IF_TYPE_IEEE80211;
    // Every adapter Windows lists belongs to a device of its own.
    card.has_device = a->IfType != IF_TYPE_SOFTWARE_LOOPBACK;
    if (a->PhysicalAddressLength == kCardMacLength) {
      for (std::size_t i = 0; i < kCardMacLength; ++i) card.mac[i] = a->PhysicalAddress[i];
      card.mac_known = true;
    }
    card.link = a->OperStatus == IfOperStatusUp ? LinkState::kUp : LinkState::kDown;
    card.device_wakeup = card.ethernet ? armed_to_wake(a->Description) : DeviceWakeup::kNotKnown;
    cards->push_back(card);
  }
  std::free(list);
  return true;
}

// Windows arms a device to wake through powercfg, as an administrator; pilvorne changes nothing.
bool enable_device_wakeup(const char*, const char*) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

}  // namespace platform
