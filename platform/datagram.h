// Receiving one datagram: its sender, its real length, whether it was cut, and, asked for, how it arrived.
#pragma once

#include <cstdint>

#include "platform/ip_address.h"
#include "platform/sockets.h"

namespace platform {

// What the receive call learnt about one datagram.
struct ReceivedDatagram {
  int stored;                  // bytes placed in the caller's buffer
  int length;                  // the datagram's real length where the platform reports it,
                               // else the number of bytes stored
  bool truncated;              // larger than the buffer: only the first bytes were stored
  IpAddress sender;
  std::uint16_t sender_port;   // host byte order
  // The arrival details, on a socket that asked for them (request_arrival_details) and a
  // receive that wants them; otherwise family 0, 0 and 0.
  IpAddress destination;       // the address the datagram was sent to
  unsigned interface_index;    // the receiving interface
  std::uint32_t drops;         // datagrams dropped for a full receive queue since the socket
                               // was made, where the platform counts them (see below)
};

// Asks socket `s` (AF_INET or AF_INET6, given in `family`) to report each datagram's
// destination and receiving interface, and where the platform can, its drop count;
// `drops_counted` tells whether it can. False when the destination cannot be had (last
// socket error set).
bool request_arrival_details(SOCKET s, int family, bool* drops_counted);

// Blocks until one datagram arrives on `s` and stores at most `size` bytes of it; with
// `details`, also the arrival details asked for above. A datagram larger than the buffer is
// not a failure: it comes back truncated. A receive interrupted by a signal is retried. False
// on failure, with the last socket error set.
bool receive_datagram(SOCKET s, void* buffer, int size, bool details, ReceivedDatagram* info);

// The datagrams dropped on `s` for a full receive queue since the socket was made, read from
// the socket itself, so that drops after the last datagram delivered count too (SO_RXQ_OVFL
// comes only with a datagram). False where the platform cannot tell.
bool read_receive_drops(SOCKET s, std::uint32_t* drops);

// Makes the receive queue of `s` hold up to `bytes` (as far as the system allows), so that a
// burst waits there instead of being dropped. Returns the size now in force, 0 when unknown.
int enlarge_receive_buffer(SOCKET s, int bytes);

}  // namespace platform
