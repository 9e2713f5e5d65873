// Windows neighbour (ARP) table: GetIpNetTable, sorted by address, whole table read when it is larger than the room.
#include "platform/neighbours.h"

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

// Converts every row and sorts them before the first `room` are handed out. The table call's
// own order is asked for too, but not every implementation keeps it (Wine orders by interface
// first). Returns the total, or -1 when there is no memory for the conversion.
int copy_rows(const MIB_IPNETTABLE* table, NeighbourRow* rows, int room) {
  int total = static_cast<int>(table->dwNumEntries);
  if (total == 0) return 0;
  NeighbourRow* all = static_cast<NeighbourRow*>(std::malloc(sizeof(NeighbourRow) * static_cast<std::size_t>(total)));
  if (all == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
  for (int i = 0; i < total; ++i) {
    const MIB_IPNETROW& in = table->table[i];
    NeighbourRow& out = all[i];
    out.interface_index = in.dwIndex;
    out.physical_length = in.dwPhysAddrLen;
    std::memcpy(out.physical, in.bPhysAddr, sizeof out.physical);
    out.address = in.dwAddr;
    out.type = in.dwType;
  }
  sort_neighbour_rows(all, total);
  int count = total < room ? total : room;
  if (count > 0) std::memcpy(rows, all, sizeof(NeighbourRow) * static_cast<std::size_t>(count));
  std::free(all);
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
