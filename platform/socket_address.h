// Socket addresses as neutral address records, for both implementations of the interface list and the receive service.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/ip_address.h"
#include "platform/sockets.h"

namespace platform {

inline void set_ipv4_address(const void* address, IpAddress* out) {
  out->family = 4;
  std::memset(out->bytes, 0, sizeof out->bytes);
  std::memcpy(out->bytes, address, 4);
}

// An IPv6 address, or the IPv4 address an IPv4-mapped one (::ffff:a.b.c.d) stands for.
inline void set_ipv6_address(const in6_addr& address, IpAddress* out) {
  if (IN6_IS_ADDR_V4MAPPED(&address)) {
    set_ipv4_address(address.s6_addr + 12, out);
    return;
  }
  out->family = 6;
  std::memcpy(out->bytes, address.s6_addr, 16);
}

// The sender's address and port from what the receive call filled in; left alone when the
// family is neither or the length too short.
inline void set_sender(const sockaddr_storage& from, long from_length, IpAddress* address,
                       std::uint16_t* port) {
  if (from.ss_family == AF_INET && from_length >= static_cast<long>(sizeof(sockaddr_in))) {
    sockaddr_in in;
    std::memcpy(&in, &from, sizeof in);
    set_ipv4_address(&in.sin_addr, address);
    *port = ntohs(in.sin_port);
  } else if (from.ss_family == AF_INET6 && from_length >= static_cast<long>(sizeof(sockaddr_in6))) {
    sockaddr_in6 in6;
    std::memcpy(&in6, &from, sizeof in6);
    set_ipv6_address(in6.sin6_addr, address);
    *port = ntohs(in6.sin6_port);
  }
}

}  // namespace platform
