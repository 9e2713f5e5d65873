// Windows neighbour (ARP) table: GetIpNetTable, sorted by address, whole table read when it is larger than the room.
#include "platform/neighbours.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

namespace platform {

namespace {

// The table call fills nothing unless the whole table fits; it then reports the size it
// needs. The table can grow between two calls, so the read is retried a few times.
constexpr int kReadAttempts = 4;

ULONG table_bytes(unsigned long rows) {
  return static_cast<ULONG>(offsetof(MIB_IPNETTABLE, table) + rows * sizeof(MIB_IPNETROW));
}

// Ascending IPv4 address read as a number, then interface index. The table call's own order
// is asked for too, but not every implementation keeps it (Wine orders by interface first).
bool row_before(const MIB_IPNETROW& a, const MIB_IPNETROW& b) {
  const u_long address_a = ntohl(a.dwAddr);
  const u_long address_b = ntohl(b.dwAddr);
  if (address_a != address_b) return address_a < address_b;
  return a.dwIndex < b.dwIndex;
}

int copy_rows(MIB_IPNETTABLE* table, NeighbourRow* rows, int room) {
  int total = static_cast<int>(table->dwNumEntries);
  std::sort(table->table, table->table + total, row_before);
  int count = total < room ? total : room;
  for (int i = 0; i < count; ++i) {
    const MIB_IPNETROW& in = table->table[i];
    NeighbourRow& out = rows[i];
    out.interface_index = in.dwIndex;
    out.physical_length = in.dwPhysAddrLen;
    std::memcpy(out.physical, in.bPhysAddr, sizeof out.physical);
    out.address = in.dwAddr;
    out.type = in.dwType;
  }
  return total;
}

}  // namespace

int read_neighbour_table(NeighbourRow* rows, int room) {
  if (rows == nullptr || room < 0) return -1;
  ULONG size = table_bytes(static_cast<unsigned long>(room > 0 ? room : 1));
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    MIB_IPNETTABLE* table = static_cast<MIB_IPNETTABLE*>(std::malloc(size));
    if (table == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return -1;
    }
    ULONG needed = size;
    DWORD status = GetIpNetTable(table, &needed, TRUE);
    if (status == NO_ERROR) {
      int total = copy_rows(table, rows, room);
      std::free(table);
      return total;
    }
    std::free(table);
    if (status == ERROR_NO_DATA) return 0;  // an empty table
    if (status != ERROR_INSUFFICIENT_BUFFER || needed <= size) {
      SetLastError(status);
      return -1;
    }
    // Room for the whole table, and some to spare in case it grows before the next call.
    size = needed + table_bytes(16) - table_bytes(0);
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return -1;
}

}  // namespace platform
