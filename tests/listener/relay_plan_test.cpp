// The relayed wake's plan: which subnets get it, its steps copy by copy, and the acknowledgement made of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/address_text.h"
#include "listener/relay_plan.h"
#include "platform/sockets.h"

namespace {

constexpr std::uint32_t kUpBroadcast = platform::kInterfaceUp | platform::kInterfaceBroadcast;

platform::InterfaceRecord Record(const char* name, std::uint32_t flags, const char* address, const char* mask) {
  platform::InterfaceRecord r{};
  r.flags = flags;
  r.address = wake::Ipv4Address(inet_addr(address));
  r.netmask = inet_addr(mask);
  std::snprintf(r.name, sizeof r.name, "%s", name);
  return r;
}

wake::RelayRequest Request(std::uint8_t send, int copies, int ports) {
  wake::RelayRequest r;
  r.send = send;
  r.copies = static_cast<std::uint8_t>(copies);
  r.port_count = static_cast<std::uint8_t>(ports);
  for (int i = 0; i < ports; ++i) r.ports[i] = static_cast<std::uint16_t>(7 + 2 * i);
  return r;
}

std::string Subnets(const listener::RelayPlan& plan) {
  std::string s;
  for (int i = 0; i < plan.subnet_count; ++i) {
    in_addr a;
    a.s_addr = plan.subnets[i].broadcast;
    s += std::string(s.empty() ? "" : " ") + plan.subnets[i].name + "=" + inet_ntoa(a) +
         (plan.subnets[i].frame ? "+frame" : "");
  }
  return s;
}

TEST(RelayPlan, TakesEveryBroadcastCapableSubnetOnceOrOnlyTheNamedInterface) {
  const platform::InterfaceRecord records[] = {
      Record("lo", kUpBroadcast | platform::kInterfaceLoopback, "127.0.0.1", "255.0.0.0"),
      Record("eth0", kUpBroadcast, "192.0.2.10", "255.255.255.0"),
      Record("down0", platform::kInterfaceBroadcast, "198.51.100.1", "255.255.255.0"),
      Record("tun0", kUpBroadcast | platform::kInterfacePointToPoint, "203.0.113.1", "255.255.255.0"),
      Record("nobc0", platform::kInterfaceUp, "203.0.113.9", "255.255.255.0"),
      Record("host0", kUpBroadcast, "203.0.113.20", "255.255.255.255"),
      Record("eth0", kUpBroadcast, "192.0.2.11", "255.255.255.0"),    // same subnet again
      Record("eth0", kUpBroadcast, "198.51.100.7", "255.255.254.0"),  // a second subnet
      Record("eth1", kUpBroadcast, "203.0.113.130", "255.255.255.128"),
  };
  const struct {
    const char* interface_name;
    const char* subnets;
  } cases[] = {
      {nullptr, "eth0=192.0.2.255+frame eth0=198.51.101.255 eth1=203.0.113.255+frame"},
      {"eth1", "eth1=203.0.113.255+frame"},
      {"lo", ""},
      {"missing", ""},
  };
  for (const auto& c : cases) {
    const listener::RelayPlan plan = listener::PlanRelayedWake(Request(wake::kRelaySendAll, 1, 1), records,
                                                     sizeof records / sizeof records[0], c.interface_name, true);
    EXPECT_EQ(c.subnets, Subnets(plan)) << (c.interface_name ? c.interface_name : "any");
    EXPECT_EQ(plan.subnet_count > 0 ? wake::kRelaySendAll : 0, plan.send);
  }
}

TEST(RelayPlan, StepsGoCopyByCopyOverSubnetsPortsAndFrames) {
  const platform::InterfaceRecord records[] = {
      Record("eth0", kUpBroadcast, "192.0.2.10", "255.255.255.0"),
      Record("eth0", kUpBroadcast, "198.51.100.7", "255.255.255.0"),
  };
  const struct {
    std::uint8_t send;
    bool frames_enabled;
    int copies;
    int ports;
    const char* steps;
  } cases[] = {
      {wake::kRelaySendBroadcast, true, 2, 2,
       "192.0.2.255:7 192.0.2.255:9 198.51.100.255:7 198.51.100.255:9 "
       "192.0.2.255:7 192.0.2.255:9 198.51.100.255:7 198.51.100.255:9"},
      // The frame once per interface, after its first subnet's datagrams.
      {wake::kRelaySendAll, true, 1, 1, "192.0.2.255:7 eth0:frame 198.51.100.255:7"},
      {wake::kRelaySendAll, false, 1, 1, "192.0.2.255:7 198.51.100.255:7"},
      {wake::kRelaySendFrame, true, 3, 0, "eth0:frame eth0:frame eth0:frame"},
      // Frames asked for alone where they are not enabled: nothing goes out.
      {wake::kRelaySendFrame, false, 3, 0, ""},
  };
  for (const auto& c : cases) {
    const listener::RelayPlan plan = listener::PlanRelayedWake(Request(c.send, c.copies, c.ports), records, 2, nullptr,
                                                     c.frames_enabled);
    std::string steps;
    listener::RelayStep step;
    int n = 0;
    for (; listener::RelayPlanStep(plan, n, &step); ++n) {
      in_addr a;
      a.s_addr = step.subnet->broadcast;
      steps += std::string(n ? " " : "") +
               (step.frame ? std::string(step.subnet->name) + ":frame" : std::string(inet_ntoa(a)) + ":" +
                                                                             std::to_string(step.port));
    }
    EXPECT_EQ(c.steps, steps);
    EXPECT_EQ(n, listener::RelayStepCount(plan));
    EXPECT_FALSE(listener::RelayPlanStep(plan, -1, &step));
  }
}

TEST(RelayPlan, TheAcknowledgementListsFourSubnetsAndCutsNamesAtACharacter) {
  std::vector<platform::InterfaceRecord> records;
  // The field's 16 bytes end inside the two-byte "ä".
  records.push_back(Record("Ethernet 123456\xC3\xA4", kUpBroadcast, "192.0.2.1", "255.255.255.0"));
  for (int i = 1; i < 6; ++i) {
    records.push_back(Record(("eth" + std::to_string(i)).c_str(), kUpBroadcast,
                             ("198.51.100." + std::to_string(i * 16)).c_str(), "255.255.255.240"));
  }
  wake::RelayRequest request = Request(wake::kRelaySendBroadcast, 2, 1);
  for (int i = 0; i < 16; ++i) request.nonce[i] = static_cast<std::uint8_t>(i + 1);
  const listener::RelayPlan plan = listener::PlanRelayedWake(request, records.data(), 6, nullptr, false);
  const wake::RelayAck ack = listener::MakeRelayAck(plan, request, listener::RelayStepCount(plan));
  EXPECT_EQ(6, ack.subnets);
  EXPECT_EQ(4, ack.listed);
  EXPECT_EQ(12u, ack.datagrams);
  EXPECT_STREQ("Ethernet 123456", ack.destinations[0].name);
  EXPECT_STREQ("eth3", ack.destinations[3].name);
  const std::uint8_t broadcast[4] = {198, 51, 100, 31};
  EXPECT_EQ(0, std::memcmp(broadcast, ack.destinations[1].address, 4));
  EXPECT_EQ(0, std::memcmp(request.nonce, ack.nonce, 16));

  // What the relay writes, the sender reads back as it was made.
  std::uint8_t bytes[wake::kAckLength];
  wake::WriteRelayAck(ack, bytes);
  wake::RelayAck back;
  ASSERT_EQ(wake::RelayForm::kWellFormed, wake::ReadRelayAck(bytes, sizeof bytes, &back));
  EXPECT_STREQ("Ethernet 123456", back.destinations[0].name);
  EXPECT_EQ(7, back.ports[0]);
}

}  // namespace
