// Windows interface list: INTERFACE_INFO records mapped onto the neutral records, and a real query with names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/interfaces.h"
#include "platform/sockets.h"
#include "platform/win32/interface_records.h"

namespace {

std::uint32_t Ipv4(int a, int b, int c, int d) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

void SetAddress(sockaddr_gen* field, std::uint32_t address) {
  std::memset(field, 0xAB, sizeof *field);  // the bytes past the IPv4 address are not read
  field->AddressIn.sin_family = AF_INET;
  field->AddressIn.sin_addr.s_addr = address;
}

// Ten records of distinct content, as Winsock lays them out in its 760-byte room.
void FillRoom(INTERFACE_INFO (&room)[10]) {
  for (int i = 0; i < 10; ++i) {
    room[i].iiFlags = static_cast<u_long>(0x10 + i);
    SetAddress(&room[i].iiAddress, Ipv4(192, 0, 2, 10 + i));
    SetAddress(&room[i].iiBroadcastAddress, Ipv4(192, 0, 2, 255));
    SetAddress(&room[i].iiNetmask, Ipv4(255, 255, 255, 128 + i));
  }
}

struct MappingCase {
  const char* what;
  unsigned long bytes_filled;
  int room;
  int expected;
};

class InterfaceMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(InterfaceMapping, TakesWholeRecordsWithinTheRoom) {
  const MappingCase& c = GetParam();
  INTERFACE_INFO info[10];
  FillRoom(info);
  platform::InterfaceRecord records[10];
  std::memset(records, 0, sizeof records);
  ASSERT_EQ(c.expected, platform::interface_records_from_info(info, c.bytes_filled, records, c.room));
  for (int i = 0; i < c.expected; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<std::uint32_t>(0x10 + i), records[i].flags);
    EXPECT_EQ(Ipv4(192, 0, 2, 10 + i), platform::ipv4_of(records[i]));
    EXPECT_EQ(25, records[i].prefix_length);  // the leading ones of 255.255.255.128-137
    EXPECT_EQ(Ipv4(192, 0, 2, 255), records[i].broadcast);
    EXPECT_EQ(Ipv4(255, 255, 255, 128 + i), records[i].netmask);
  }
  // Nothing is written past the records it reports.
  if (c.expected < 10) {
    EXPECT_EQ(0u, records[c.expected].flags);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Win32, InterfaceMapping,
    ::testing::Values(MappingCase{"nothing filled", 0, 10, 0},
                      MappingCase{"one record", 76, 10, 1},
                      MappingCase{"a partial record is dropped", 76 * 2 + 75, 10, 2},
                      MappingCase{"the whole room", 760, 10, 10},
                      MappingCase{"more than the caller's room", 760, 3, 3},
                      MappingCase{"no room", 760, 0, 0}),
    [](const ::testing::TestParamInfo<MappingCase>& info) { return "Case" + std::to_string(info.index); });

// The record keeps Winsock's flag word as it is: the choice rule is the sender's.
TEST(Win32InterfaceList, QueryListsTheLoopbackInterface) {
  ASSERT_TRUE(platform::socket_startup(2, 0));
  platform::InterfaceRecord records[64];
  int count = platform::query_interfaces(records, 64);
  ASSERT_GT(count, 0);
  ASSERT_LE(count, 64);
  bool loopback_seen = false, adapter_seen = false;
  for (int i = 0; i < count; ++i) {
    if (records[i].address.family != 4 || platform::ipv4_of(records[i]) != Ipv4(127, 0, 0, 1)) continue;
    loopback_seen = true;
    EXPECT_NE(0u, records[i].flags & platform::kInterfaceLoopback);
    EXPECT_NE(0u, records[i].flags & platform::kInterfaceUp);
    EXPECT_EQ(Ipv4(255, 0, 0, 0), records[i].netmask);
    EXPECT_EQ(8, records[i].prefix_length);
    // Named after its adapter ("lo" under Wine, "Loopback Pseudo-Interface 1" on Windows),
    // whose own record (no address) carries the same name and index.
    ASSERT_NE('\0', records[i].name[0]);
    EXPECT_NE(0u, records[i].index);
    for (int j = 0; j < count; ++j) {
      if (records[j].address.family == 0 && records[j].index == records[i].index) {
        adapter_seen = true;
        EXPECT_STREQ(records[i].name, records[j].name);
      }
    }
  }
  EXPECT_TRUE(loopback_seen);
  EXPECT_TRUE(adapter_seen);
  platform::socket_cleanup();
}

}  // namespace
