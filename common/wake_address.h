// Addresses to send a wake to, read strictly from text: a dotted quad, or IPv6 with the interface it belongs to.
#pragma once

#include <cstdint>

namespace wake {

// Reads an address the way an address field shows it: exactly "a.b.c.d", four decimal parts of
// one to three digits, each 0 to 255, and nothing else (no blanks, signs or empty parts).
// False for any other text; `parts` is then unspecified.
bool ReadDottedQuad(const char* text, std::uint8_t parts[4]);

// An address to send to: IPv4, or IPv6 with the interface it belongs to when it needs one
// (the scope of a link-local or multicast address: "ff02::1%lan0").
enum class AddressFamily { kNone, kIpv4, kIpv6 };
struct WakeAddress {
  AddressFamily family;
  std::uint32_t ipv4;       // network byte order
  std::uint8_t ipv6[16];    // network byte order
  const char* scope;        // the text after '%' in the text read (an interface name or index), or nullptr
};

// Reads "a.b.c.d" (as ReadDottedQuad does) or an IPv6 address with an optional "%scope".
// False for anything else, host names included; `out` is then unspecified.
bool ReadWakeAddress(const char* text, WakeAddress* out);

// Whether an IPv6 address means nothing without the interface it belongs to: link-local
// unicast (fe80::/10) and multicast of interface or link scope (ffx1::, ffx2::).
bool Ipv6NeedsScope(const std::uint8_t ipv6[16]);

}  // namespace wake
