// An IPv4 or IPv6 address as a neutral record, for the interface list and the receive service.
#pragma once

#include <cstdint>

namespace platform {

// The address's bytes in network order. An IPv4 peer of a dual-stack socket (::ffff:a.b.c.d)
// comes back as the IPv4 address it stands for.
struct IpAddress {
  int family;               // 0 when not known (or none), 4 or 6
  std::uint8_t bytes[16];   // the first four for IPv4
};

}  // namespace platform
