// The local interfaces and their addresses as neutral records: one query of the system's list.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/ip_address.h"

namespace platform {

// Interface flag bits. They are numbered as Winsock's interface list numbers them, so that the
// Windows list travels unchanged and the sender's netmask rule reads one word on both platforms.
constexpr std::uint32_t kInterfaceUp = 0x1;
constexpr std::uint32_t kInterfaceBroadcast = 0x2;
constexpr std::uint32_t kInterfaceLoopback = 0x4;
constexpr std::uint32_t kInterfacePointToPoint = 0x8;
constexpr std::uint32_t kInterfaceMulticast = 0x10;

// Room of an interface name with its terminator (UTF-8); a longer name is cut.
constexpr int kInterfaceNameRoom = 64;

// One address of one interface. Every interface also has one record without an address
// (family 0), so that its name and index can be found whatever addresses it has.
struct InterfaceRecord {
  unsigned index;                  // what the system's calls name it by (scopes, receive details); 0 when not known
  // POSIX: as `ip` shows it, with an IPv4 address's label where it has one ("eth0:1"; the
  // record without an address always has the interface's own name); Windows: the adapter's
  // friendly name. Empty when the system cannot tell.
  char name[kInterfaceNameRoom];
  std::uint32_t flags;             // kInterface* bits
  IpAddress address;               // family 0: the record of the interface itself
  int prefix_length;               // of the address's subnet; 0 when not known
  std::uint32_t netmask;           // IPv4: the subnet mask, network byte order; else 0
  std::uint32_t broadcast;         // IPv4 on a broadcast-capable interface: its broadcast address; else 0
};

// Fills at most `room` records: the IPv4 addresses first, in the system's order, then the IPv6
// addresses, then one record per interface. Returns the number filled, or -1 when the list
// cannot be read (the last socket error tells why).
int query_interfaces(InterfaceRecord* records, int room);

// The IPv4 address of a record (network byte order); 0 for a record of another family.
inline std::uint32_t ipv4_of(const InterfaceRecord& record) {
  std::uint32_t address = 0;
  if (record.address.family == 4) std::memcpy(&address, record.address.bytes, sizeof address);
  return address;
}

}  // namespace platform
