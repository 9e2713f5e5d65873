// Fake neighbour table: hands out the rows a test set, like the platform's read with a room.
#include "tests/fakes/fake_neighbours.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/system.h"

namespace {
std::vector<platform::NeighbourRow> g_rows;
bool g_fail = false;
int g_reads = 0;
}  // namespace

namespace fake_neighbours {

void reset() {
  g_rows.clear();
  g_fail = false;
  g_reads = 0;
}

void set_rows(const std::vector<platform::NeighbourRow>& rows) { g_rows = rows; }

void fail_reads(bool fail) { g_fail = fail; }

int reads() { return g_reads; }

std::uint32_t ipv4(int a, int b, int c, int d) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                 static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
  std::uint32_t address;
  std::memcpy(&address, bytes, 4);
  return address;
}

platform::NeighbourRow dynamic_row(std::uint32_t address, const std::uint8_t mac[6]) {
  platform::NeighbourRow row{};
  row.interface_index = 2;
  row.physical_length = 6;
  std::memcpy(row.physical, mac, 6);
  row.address = address;
  row.type = platform::kNeighbourDynamic;
  return row;
}

}  // namespace fake_neighbours

namespace platform {

int read_neighbour_table(NeighbourRow* rows, int room) {
  ++g_reads;
  if (g_fail) {
    set_last_error(EACCES);
    return -1;
  }
  int total = static_cast<int>(g_rows.size());
  int filled = std::max(0, std::min(room, total));
  std::copy(g_rows.begin(), g_rows.begin() + filled, rows);
  return total;
}

}  // namespace platform
