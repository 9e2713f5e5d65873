// The local IPv4 interface list as neutral records (Winsock's SIO_GET_INTERFACE_LIST).
#pragma once

#include <cstdint>

#include "platform/sockets.h"

namespace platform {

// Interface flag bits, Winsock's numbering.
constexpr std::uint32_t kInterfaceUp = 0x1;
constexpr std::uint32_t kInterfaceBroadcast = 0x2;
constexpr std::uint32_t kInterfaceLoopback = 0x4;
constexpr std::uint32_t kInterfacePointToPoint = 0x8;
constexpr std::uint32_t kInterfaceMulticast = 0x10;

// One IPv4 interface; addresses in network byte order.
struct InterfaceRecord {
  std::uint32_t flags;
  std::uint32_t address;
  std::uint32_t broadcast;
  std::uint32_t netmask;
};

// Fills at most `room` records in the platform's order, using `query_socket` where the
// platform needs one. Returns the number of records filled, or -1 when the query fails
// (last socket error set).
int query_interface_list(SOCKET query_socket, InterfaceRecord* records, int room);

}  // namespace platform
