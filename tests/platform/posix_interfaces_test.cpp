// Tests of the POSIX interface list: IPv4 entries only, Winsock's five flag bits, names, the room respected.
#include "platform/interfaces.h"

#include <gtest/gtest.h>

#include <ifaddrs.h>
#include <net/if.h>

namespace {

constexpr std::uint32_t kFiveBits = platform::kInterfaceUp | platform::kInterfaceBroadcast |
                                    platform::kInterfaceLoopback | platform::kInterfacePointToPoint |
                                    platform::kInterfaceMulticast;

// The IPv4 entries getifaddrs gives, in its order: what the list must mirror.
int Ipv4Entries() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return -1;
  int n = 0;
  for (ifaddrs* e = list; e != nullptr; e = e->ifa_next) {
    if (e->ifa_addr != nullptr && e->ifa_addr->sa_family == AF_INET) ++n;
  }
  freeifaddrs(list);
  return n;
}

TEST(QueryInterfaceList, ListsTheLoopbackWithMappedFlags) {
  platform::InterfaceRecord records[64];
  const int count = platform::query_interface_list(INVALID_SOCKET, records, 64);
  ASSERT_GE(count, 1);
  EXPECT_EQ(count, Ipv4Entries() < 64 ? Ipv4Entries() : 64);
  bool loopback_seen = false;
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(records[i].flags & ~kFiveBits, 0u) << "only the five interface bits travel";
    if (records[i].address == htonl(INADDR_LOOPBACK)) {
      loopback_seen = true;
      EXPECT_EQ(records[i].flags & (platform::kInterfaceUp | platform::kInterfaceLoopback |
                                    platform::kInterfaceBroadcast),
                platform::kInterfaceUp | platform::kInterfaceLoopback);
      EXPECT_EQ(records[i].netmask, htonl(0xFF000000));
      EXPECT_EQ(records[i].broadcast, 0u);
      EXPECT_STREQ(records[i].name, "lo");
      EXPECT_EQ(records[i].index, if_nametoindex("lo"));
    }
  }
  EXPECT_TRUE(loopback_seen);
}

TEST(QueryInterfaceList, NeverFillsMoreThanTheRoom) {
  platform::InterfaceRecord records[3];
  const platform::InterfaceRecord untouched = {0xDEAD, 1, 2, 3, "", 0};
  for (int room = 0; room <= 2; ++room) {
    for (auto& r : records) r = untouched;
    const int count = platform::query_interface_list(INVALID_SOCKET, records, room);
    EXPECT_GE(count, 0);
    EXPECT_LE(count, room);
    EXPECT_EQ(records[room].flags, 0xDEADu) << "written past the room of " << room;
  }
}

// Scopes name interfaces with or without an IPv4 address; an address label names its interface.
TEST(InterfaceIndex, ByNameAsIpLinkShowsIt) {
  const unsigned lo = if_nametoindex("lo");
  ASSERT_NE(lo, 0u);
  EXPECT_EQ(platform::interface_index("lo"), lo);
  EXPECT_EQ(platform::interface_index("lo:7"), lo);
  EXPECT_EQ(platform::interface_index("no-such-if0"), 0u);
  EXPECT_EQ(platform::interface_index("a-name-longer-than-IFNAMSIZ"), 0u);
  EXPECT_EQ(platform::interface_index(""), 0u);
  EXPECT_EQ(platform::interface_index(nullptr), 0u);
}

}  // namespace
