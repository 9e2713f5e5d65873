// A network card's own wake settings: the kernel's ethtool interface (Linux), the adapter's registry keywords (Windows).
#pragma once

#include <cstdint>
#include <string>

#include "platform/network_cards.h"

namespace platform {

// Wake modes in the bit numbering of the kernel's ethtool interface (WAKE_PHY ... WAKE_FILTER).
constexpr std::uint32_t kWakePhy = 1u << 0;
constexpr std::uint32_t kWakeUnicast = 1u << 1;
constexpr std::uint32_t kWakeMulticast = 1u << 2;
constexpr std::uint32_t kWakeBroadcast = 1u << 3;
constexpr std::uint32_t kWakeArp = 1u << 4;
constexpr std::uint32_t kWakeMagic = 1u << 5;
constexpr std::uint32_t kWakeMagicSecure = 1u << 6;  // the magic packet must carry the password
constexpr std::uint32_t kWakeFilter = 1u << 7;
constexpr int kWakeModeCount = 8;
constexpr std::size_t kWakePasswordLength = 6;

enum class WakeAccess { kDone, kNotSupported, kNoPermission, kNoDevice, kFailed };

// What a card's driver holds of its wake settings.
struct WakeSettings {
  // Linux: the modes the card supports and those enabled, and the SecureOn password, as the
  // kernel keeps them until the driver is loaded again (so until the next start).
  bool from_kernel = false;
  std::uint32_t supported = 0;
  std::uint32_t enabled = 0;
  std::uint8_t password[kWakePasswordLength] = {};
  // Windows: the adapter's key under the network class (its subkey name, "0007"), and the NDIS
  // keywords in it, -1 when absent; the registry keeps them across starts.
  bool from_registry = false;
  std::string key;
  long magic_packet = -1;      // *WakeOnMagicPacket
  long pattern = -1;           // *WakeOnPattern
  long pnp_capabilities = -1;  // PnPCapabilities: 0x8 set, Windows may not turn the device off
};

// Reads the card's wake settings (ETHTOOL_GWOL; the registry). Linux asks for CAP_NET_ADMIN even
// to read them, since the answer carries the SecureOn password (the ethtool netlink family's
// WOL_GET too): without it, kNoPermission. On failure *error holds the system's error code
// (errno, or the registry's status).
WakeAccess read_wake_settings(const NetworkCard& card, WakeSettings* out, unsigned long* error);

// Sets the enabled modes (ETHTOOL_SWOL; with kWakeMagicSecure, `password` goes with them).
// Needs CAP_NET_ADMIN. Windows changes nothing: kNotSupported.
WakeAccess write_wake_modes(const char* name, std::uint32_t enabled, const std::uint8_t* password,
                            unsigned long* error);

// Whether this process may change wake settings (Linux: CAP_NET_ADMIN in its effective set).
bool may_change_wake_settings();

}  // namespace platform
