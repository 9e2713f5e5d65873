// The machine's network cards as the system lists them, with the facts about each that it keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr std::size_t kCardMacLength = 6;

enum class LinkState { kNotKnown, kUp, kDown };

// Whether the device may wake the system: Linux's device wakeup flag
// (/sys/class/net/IF/device/power/wakeup), Windows' "armed to wake" list of the power API.
enum class DeviceWakeup { kNotShown, kEnabled, kDisabled, kNotKnown };

struct NetworkCard {
  std::string name;         // Linux: the interface name; Windows: the adapter's friendly name
  std::string id;           // Windows: the adapter's GUID, "{...}"; Linux: empty
  std::string description;  // Windows: the device's name (Device Manager, powercfg); Linux: empty
  std::string driver;       // Linux: the name of device/driver; empty when not known
  std::uint8_t mac[kCardMacLength] = {};
  bool mac_known = false;
  bool ethernet = false;    // the link type is Ethernet (ARPHRD_ETHER; IF_TYPE_ETHERNET_CSMACD)
  bool has_device = false;  // a device stands behind it: not a bridge, bond, veth, VLAN, tunnel
  bool wireless = false;    // a wireless card, which wakes by other rules
  std::string master;       // Linux: the bridge or bond it is a port of; empty when none
  LinkState link = LinkState::kNotKnown;
  DeviceWakeup device_wakeup = DeviceWakeup::kNotKnown;
};

// The cards in the system's order (Linux: /sys/class/net under `root`, sorted by name; Windows:
// GetAdaptersAddresses, `root` unused). False when the list cannot be read at all.
bool list_network_cards(const char* root, std::vector<NetworkCard>* cards);

// Sets the device wakeup flag of interface `name` (Linux: "enabled" into
// ROOT/sys/class/net/NAME/device/power/wakeup). False, with last_error() set, when it cannot be
// written; Windows changes nothing here and says false.
bool enable_device_wakeup(const char* root, const char* name);

}  // namespace platform
