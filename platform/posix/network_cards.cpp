// Linux network cards from sysfs under a root folder: link type, device, driver, link, device wakeup flag.
#include "platform/network_cards.h"

#include <cstdio>
#include <cstdlib>

#include "platform/settings_files.h"

namespace platform {

namespace {

constexpr char kNetClass[] = "/sys/class/net/";
constexpr long kArphrdEther = 1;  // linux/if_arp.h: Ethernet, and the Wi-Fi cards that look like it

std::string attribute(const char* root, const std::string& path) { return read_settings_line(root, path.c_str()); }

bool read_mac(const std::string& text, std::uint8_t* mac) {
  unsigned v[kCardMacLength];
  char tail = 0;
  if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &tail) != 6) {
    return false;
  }
  for (std::size_t i = 0; i < kCardMacLength; ++i) mac[i] = static_cast<std::uint8_t>(v[i]);
  return true;
}

// operstate says "up", "down", "dormant", "lowerlayerdown", or "unknown" for drivers that
// do not track it; carrier tells those apart while the interface is up.
LinkState link_state(const char* root, const std::string& base) {
  const std::string state = attribute(root, base + "/operstate");
  if (state == "up") return LinkState::kUp;
  if (state == "unknown") {
    const std::string carrier = attribute(root, base + "/carrier");
    if (carrier == "1") return LinkState::kUp;
    if (carrier == "0") return LinkState::kDown;
    return LinkState::kNotKnown;
  }
  return state.empty() ? LinkState::kNotKnown : LinkState::kDown;
}

// The device's power/wakeup holds "enabled" or "disabled" when the device can wake the system
// at all; the file is absent (or empty) when it cannot say.
DeviceWakeup device_wakeup(const char* root, const std::string& base) {
  const std::string path = base + "/device/power/wakeup";
  std::string text;
  const FileStatus status = read_settings_file(root, path.c_str(), &text, 4096);
  if (status == FileStatus::kMissing) return DeviceWakeup::kNotShown;
  if (status != FileStatus::kDone) return DeviceWakeup::kNotKnown;
  if (text.compare(0, 7, "enabled") == 0) return DeviceWakeup::kEnabled;
  if (text.compare(0, 8, "disabled") == 0) return DeviceWakeup::kDisabled;
  return DeviceWakeup::kNotShown;
}

}  // namespace

bool list_network_cards(const char* root, std::vector<NetworkCard>* cards) {
  cards->clear();
  std::vector<std::string> names;
  if (list_settings_folder(root, "/sys/class/net", &names) != FileStatus::kDone) return false;
  for (const std::string& name : names) {
    const std::string base = kNetClass + name;
    // The folder also holds bonding_masters, a file of the bonding driver's.
    if (!settings_path_exists(root, (base + "/type").c_str())) continue;
    NetworkCard card;
    card.name = name;
    const std::string type = attribute(root, base + "/type");
    card.ethernet = !type.empty() && std::strtol(type.c_str(), nullptr, 10) == kArphrdEther;
    // Bridges, bonds, veth pairs, VLANs, tunnels and dummies live under /sys/devices/virtual and
    // have no device link; a card on a bus (PCI, USB, virtio) has one.
    card.has_device = settings_path_exists(root, (base + "/device").c_str());
    card.wireless = settings_path_exists(root, (base + "/wireless").c_str()) ||
                    settings_path_exists(root, (base + "/phy80211").c_str());
    settings_link_name(root, (base + "/device/driver").c_str(), &card.driver);
    settings_link_name(root, (base + "/master").c_str(), &card.master);
    card.mac_known = read_mac(attribute(root, base + "/address"), card.mac);
    card.link = link_state(root, base);
    card.device_wakeup = device_wakeup(root, base);
    cards->push_back(card);
  }
  return true;
}

bool enable_device_wakeup(const char* root, const char* name) {
  const std::string path = kNetClass + std::string(name) + "/device/power/wakeup";
  return write_settings_file(root, path.c_str(), "enabled") == FileStatus::kDone;
}

}  // namespace platform
