// The local IPv4 interface list as neutral records (Winsock's SIO_GET_INTERFACE_LIST), and indexes by name.
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

// Room of an interface name with its terminator (UTF-8); a longer name is cut.
constexpr int kInterfaceNameRoom = 64;

// One IPv4 interface; addresses in network byte order.
struct InterfaceRecord {
  std::uint32_t flags;
  std::uint32_t address;
  std::uint32_t broadcast;
  std::uint32_t netmask;
  // The name a user knows the interface by (POSIX: as `ip link` shows it; Windows: the
  // adapter's friendly name), empty when the platform cannot tell; its index, 0 when unknown.
  char name[kInterfaceNameRoom];
  unsigned index;
};

// Fills at most `room` records in the platform's order, using `query_socket` where the
// platform needs one. Returns the number of records filled, or -1 when the query fails
// (last socket error set).
int query_interface_list(SOCKET query_socket, InterfaceRecord* records, int room);

// The index of the interface of that name (an IPv6 scope such as the "lan0" of
// "ff02::1%lan0"), whether it has an IPv4 address or not; 0 when there is none.
unsigned interface_index(const char* name);

}  // namespace platform
