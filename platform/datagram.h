// Receiving one datagram with its sender, its real length and whether it was cut; the receive queue's size.
#pragma once

#include <cstdint>

#include "platform/sockets.h"

namespace platform {

// What the receive call learnt about one datagram.
struct DatagramInfo {
  int stored;                     // bytes placed in the caller's buffer
  int length;                     // the datagram's real length where the platform reports
                                  // it, else the number of bytes stored
  bool truncated;                 // larger than the buffer: only the first bytes were stored
  std::uint32_t sender_address;   // IPv4, network byte order
  std::uint16_t sender_port;      // host byte order
};

// Blocks until one datagram arrives on `s` and stores at most `size` bytes of it. A
// datagram larger than the buffer is not a failure: it comes back truncated. A receive
// interrupted by a signal is retried. False on failure, with the last socket error set.
bool receive_datagram(SOCKET s, void* buffer, int size, DatagramInfo* info);

// Makes the receive queue of `s` hold up to `bytes` (as far as the system allows), so that a
// burst waits there instead of being dropped. Returns the size now in force, 0 when unknown.
int enlarge_receive_buffer(SOCKET s, int bytes);

}  // namespace platform
