// The host's IPv4 neighbour (ARP) table as neutral rows (GetIpNetTable, sorted).
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/sockets.h"

namespace platform {

// Entry types, Windows' MIB_IPNET_TYPE numbering.
constexpr std::uint32_t kNeighbourOther = 1;
constexpr std::uint32_t kNeighbourInvalid = 2;   // incomplete or failed: no hardware address
constexpr std::uint32_t kNeighbourDynamic = 3;
constexpr std::uint32_t kNeighbourStatic = 4;

// One row, laid out like MIB_IPNETROW.
struct NeighbourRow {
  std::uint32_t interface_index;
  std::uint32_t physical_length;  // bytes of `physical` in use
  std::uint8_t physical[8];       // hardware address in wire order; zero when unknown
  std::uint32_t address;          // IPv4, network byte order
  std::uint32_t type;             // kNeighbour*
};

// The table's order, the same on every platform: ascending IPv4 address read as a number,
// then interface index; rows equal in both keep the order the system listed them in.
inline void sort_neighbour_rows(NeighbourRow* rows, int count) {
  if (rows == nullptr || count <= 1) return;
  std::stable_sort(rows, rows + count, [](const NeighbourRow& a, const NeighbourRow& b) {
    const std::uint32_t address_a = ntohl(a.address), address_b = ntohl(b.address);
    if (address_a != address_b) return address_a < address_b;
    return a.interface_index < b.interface_index;
  });
}

// Reads the table sorted in ascending order of IPv4 address (compared as numbers in host
// order, i.e. 192.0.2.9 before 192.0.2.10 before 198.51.100.1; rows of one address
// ordered by interface index). Fills the first min(room, total) rows and returns the total
// number of rows in the table, which may exceed `room`; -1 when the table cannot be read
// (last error set). Entries still being resolved, or failed, are listed too, with a zero
// hardware address.
int read_neighbour_table(NeighbourRow* rows, int room);

}  // namespace platform
