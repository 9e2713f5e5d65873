// Where a relayed wake went, as both programs print it from the acknowledgement: ports, frames, subnets past the list, cuts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/relay_text.h"

namespace {

struct Subnet {
  const char* name;
  std::uint8_t address[4];
};

wake::RelayAck Ack(std::uint8_t sent, std::vector<std::uint16_t> ports, std::vector<Subnet> subnets, int total,
                   std::uint32_t datagrams) {
  wake::RelayAck ack;
  ack.sent = sent;
  ack.port_count = static_cast<std::uint8_t>(ports.size());
  for (std::size_t i = 0; i < ports.size(); ++i) ack.ports[i] = ports[i];
  ack.listed = static_cast<std::uint8_t>(subnets.size());
  for (std::size_t i = 0; i < subnets.size(); ++i) {
    std::snprintf(ack.destinations[i].name, sizeof ack.destinations[i].name, "%s", subnets[i].name);
    std::memcpy(ack.destinations[i].address, subnets[i].address, 4);
  }
  ack.subnets = static_cast<std::uint16_t>(total);
  ack.datagrams = datagrams;
  return ack;
}

TEST(FormatRelayedTo, EachShapeOfAcknowledgement) {
  const Subnet lan{"eth0", {192, 0, 2, 255}};
  const Subnet second{"eth0", {198, 51, 100, 255}};  // a second subnet of the same interface
  const Subnet other{"eth1", {203, 0, 113, 255}};
  const struct {
    wake::RelayAck ack;
    const char* text;
  } cases[] = {
      {Ack(wake::kRelaySendBroadcast, {9}, {lan}, 1, 1), "192.0.2.255 port 9 on eth0, 1 datagram"},
      {Ack(wake::kRelaySendAll, {7, 9}, {lan, second}, 2, 10),
       "192.0.2.255 ports 7, 9 and EtherType 0x0842 on eth0, 198.51.100.255 ports 7, 9 on eth0, 10 datagrams"},
      // Frames alone: one per interface, however many subnets it has.
      {Ack(wake::kRelaySendFrame, {}, {lan, second, other}, 3, 2),
       "EtherType 0x0842 on eth0, EtherType 0x0842 on eth1, 2 datagrams"},
      {Ack(wake::kRelaySendBroadcast, {9}, {lan, second, other, lan}, 6, 6),
       "192.0.2.255 port 9 on eth0, 198.51.100.255 port 9 on eth0, 203.0.113.255 port 9 on eth1, "
       "192.0.2.255 port 9 on eth0, and 2 more subnets, 6 datagrams"},
      {Ack(wake::kRelaySendBroadcast, {9}, {lan}, 2, 2), "192.0.2.255 port 9 on eth0, and 1 more subnet, 2 datagrams"},
  };
  for (const auto& c : cases) {
    char text[512];
    wake::FormatRelayedTo(c.ack, text, sizeof text);
    EXPECT_EQ(std::string(text), c.text);
  }
  // A short buffer holds the start of the text, terminated.
  char small[12];
  wake::FormatRelayedTo(cases[0].ack, small, sizeof small);
  EXPECT_EQ(std::string(small), "192.0.2.255");
}

}  // namespace
