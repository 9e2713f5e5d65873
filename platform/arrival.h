// Receiving one datagram with how it arrived: sender and destination addresses, receiving interface, kernel drops.
#pragma once

#include <cstdint>

#include "platform/sockets.h"

namespace platform {

// An IPv4 or IPv6 address, its bytes in network order. An IPv4 peer of a dual-stack socket
// (::ffff:a.b.c.d) comes back as the IPv4 address it stands for.
struct IpAddress {
  int family;               // 0 when not known, 4 or 6
  std::uint8_t bytes[16];   // the first four for IPv4
};

// What the receive call learnt about one datagram and the way it came in.
struct ArrivalInfo {
  int stored;                  // bytes placed in the caller's buffer
  int length;                  // the datagram's real length where the platform reports it
  bool truncated;              // larger than the buffer
  IpAddress sender;
  std::uint16_t sender_port;   // host byte order
  IpAddress destination;       // the address the datagram was sent to; family 0 when not known
  unsigned interface_index;    // the receiving interface; 0 when not known
  std::uint32_t drops;         // datagrams dropped for a full receive queue since the socket
                               // was made, where the platform counts them (see below)
};

// Asks socket `s` (AF_INET or AF_INET6, given in `family`) to report each datagram's
// destination and receiving interface, and where the platform can, its drop count;
// `drops_counted` tells whether it can. False when the destination cannot be had (last
// socket error set).
bool request_arrival_details(SOCKET s, int family, bool* drops_counted);

// Blocks until one datagram arrives on `s` and stores at most `size` bytes of it, with the
// details asked for above. A datagram larger than the buffer comes back truncated; a
// receive interrupted by a signal is retried. False on failure, with the last socket error set.
bool receive_arrival(SOCKET s, void* buffer, int size, ArrivalInfo* info);

}  // namespace platform
