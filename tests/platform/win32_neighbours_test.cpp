// Windows neighbour table: rows in ascending address order, the room respected, the total told.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/neighbours.h"
#include "platform/sockets.h"

namespace {

// The table holds at least the multicast entries of every interface, the same groups on
// several interfaces, which is where the order of the table call and the address order part.
TEST(Win32Neighbours, RowsComeInAscendingAddressThenInterfaceOrder) {
  platform::NeighbourRow rows[300];
  int total = platform::read_neighbour_table(rows, 300);
  ASSERT_GE(total, 0);
  int count = total < 300 ? total : 300;
  for (int i = 1; i < count; ++i) {
    SCOPED_TRACE(i);
    const unsigned long before = ntohl(rows[i - 1].address);
    const unsigned long after = ntohl(rows[i].address);
    EXPECT_LE(before, after);
    if (before == after) {
      EXPECT_LT(rows[i - 1].interface_index, rows[i].interface_index);
    }
  }
}

TEST(Win32Neighbours, ASmallRoomGetsTheFirstRowsAndTheWholeCount) {
  platform::NeighbourRow all[300];
  int total = platform::read_neighbour_table(all, 300);
  if (total < 2) GTEST_SKIP() << "the table has fewer than two rows";
  platform::NeighbourRow rows[2];
  std::memset(rows, 0xEE, sizeof rows);
  ASSERT_EQ(total, platform::read_neighbour_table(rows, 1));
  EXPECT_EQ(all[0].address, rows[0].address);
  EXPECT_EQ(all[0].interface_index, rows[0].interface_index);
  EXPECT_EQ(0xEEEEEEEEu, rows[1].address) << "nothing is written past the room";
  EXPECT_EQ(total, platform::read_neighbour_table(rows, 0));
}

}  // namespace
