// Tests of the POSIX interface list: IPv4 first in the kernel's order, Winsock's five flag bits, the kernel's indexes, the room respected.
#include "platform/interfaces.h"
#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <ifaddrs.h>
#include <net/if.h>

#include <cstring>

namespace {

constexpr std::uint32_t kFiveBits = platform::kInterfaceUp | platform::kInterfaceBroadcast |
                                    platform::kInterfaceLoopback | platform::kInterfacePointToPoint |
                                    platform::kInterfaceMulticast;

TEST(QueryInterfaces, ListsTheLoopbackWithMappedFlagsAndIndexes) {
  platform::InterfaceRecord records[256];
  const int count = platform::query_interfaces(records, 256);
  ASSERT_GE(count, 1);
  // The IPv4 records come first, in the order getifaddrs gives them.
  ifaddrs* list = nullptr;
  ASSERT_EQ(getifaddrs(&list), 0);
  int at = 0;
  for (ifaddrs* e = list; e != nullptr && at < count; e = e->ifa_next) {
    if (e->ifa_addr == nullptr || e->ifa_addr->sa_family != AF_INET) continue;
    ASSERT_EQ(records[at].address.family, 4) << at;
    EXPECT_STREQ(records[at].name, e->ifa_name);
    ++at;
  }
  freeifaddrs(list);
  bool loopback_seen = false, interface_seen = false;
  int family = 4;
  for (int i = 0; i < count; ++i) {
    const platform::InterfaceRecord& r = records[i];
    EXPECT_EQ(r.flags & ~kFiveBits, 0u) << "only the five interface bits travel";
    // IPv4, then IPv6, then the interfaces themselves.
    EXPECT_TRUE(r.address.family == family || (family == 4 && r.address.family != 4) ||
                (family == 6 && r.address.family == 0)) << i;
    family = r.address.family;
    if (std::strcmp(r.name, "lo") == 0) {
      EXPECT_EQ(r.index, if_nametoindex("lo"));
    }
    if (r.address.family == 4 && platform::ipv4_of(r) == htonl(INADDR_LOOPBACK)) {
      loopback_seen = true;
      EXPECT_EQ(r.flags & (platform::kInterfaceUp | platform::kInterfaceLoopback | platform::kInterfaceBroadcast),
                platform::kInterfaceUp | platform::kInterfaceLoopback);
      EXPECT_EQ(r.netmask, htonl(0xFF000000));
      EXPECT_EQ(r.prefix_length, 8);
      EXPECT_EQ(r.broadcast, 0u);
    }
    if (r.address.family == 0 && std::strcmp(r.name, "lo") == 0) interface_seen = true;
  }
  EXPECT_TRUE(loopback_seen);
  EXPECT_TRUE(interface_seen);
}

TEST(QueryInterfaces, NeverFillsMoreThanTheRoom) {
  platform::InterfaceRecord records[3];
  for (int room = 0; room <= 2; ++room) {
    for (auto& r : records) r.flags = 0xDEAD;
    const int count = platform::query_interfaces(records, room);
    EXPECT_GE(count, 0);
    EXPECT_LE(count, room);
    EXPECT_EQ(records[room].flags, 0xDEADu) << "written past the room of " << room;
  }
}

}  // namespace
