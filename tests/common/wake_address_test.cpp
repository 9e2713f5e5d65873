// The strict address readers: dotted quads and IPv6 addresses with their scopes.
#include "common/wake_address.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/sockets.h"

namespace {

using wake::AddressFamily;
using wake::ReadWakeAddress;
using wake::WakeAddress;

TEST(ReadWakeAddress, DottedQuadsAndIpv6WithScopes) {
  WakeAddress address;
  ASSERT_TRUE(ReadWakeAddress("192.0.2.20", &address));
  EXPECT_EQ(address.family, AddressFamily::kIpv4);
  EXPECT_EQ(address.ipv4, htonl(0xC0000214));
  ASSERT_TRUE(ReadWakeAddress("ff02::1%lan0", &address));
  EXPECT_EQ(address.family, AddressFamily::kIpv6);
  const std::uint8_t all_nodes[16] = {0xFF, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(0, std::memcmp(address.ipv6, all_nodes, 16));
  EXPECT_STREQ(address.scope, "lan0");
  ASSERT_TRUE(ReadWakeAddress("2001:db8::20", &address));
  EXPECT_EQ(address.scope, nullptr);
  const char* bad[] = {"192.0.2", "192.0.2.256", "1.2.3.4%eth0", "target-pc", "ff02::1%", "%lan0", "ff02::1::2", ""};
  for (const char* text : bad) EXPECT_FALSE(ReadWakeAddress(text, &address)) << text;
  EXPECT_FALSE(ReadWakeAddress(nullptr, &address));
}

}  // namespace
