// Captured frames decoded, and destinations judged: link types, VLAN tags, IPv4/IPv6 headers, address kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/address_text.h"
#include "listener/inspect.h"
#include "platform/capture.h"
#include "tests/listener/capture_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using listener::DestinationKind;

void Put16(Bytes* b, unsigned v) {
  b->push_back(static_cast<std::uint8_t>(v >> 8));
  b->push_back(static_cast<std::uint8_t>(v));
}

const Bytes kPayload = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6};

Bytes Udp(const Bytes& payload) {
  Bytes u;
  Put16(&u, 40000);
  Put16(&u, 9);
  Put16(&u, static_cast<unsigned>(8 + payload.size()));
  Put16(&u, 0);
  u.insert(u.end(), payload.begin(), payload.end());
  return u;
}

// IPv4 with `options` bytes of options and a fragment offset field.
Bytes Ipv4(const Bytes& to, std::uint8_t protocol = 17, int options = 0, unsigned fragment = 0) {
  Bytes udp = Udp(kPayload);
  Bytes ip = {static_cast<std::uint8_t>(0x45 + options / 4), 0};
  Put16(&ip, static_cast<unsigned>(20 + options + udp.size()));
  Put16(&ip, 0);
  Put16(&ip, fragment);
  ip.insert(ip.end(), {64, protocol, 0, 0, 192, 0, 2, 10});
  ip.insert(ip.end(), to.begin(), to.end());
  ip.insert(ip.end(), static_cast<std::size_t>(options), 1);
  ip.insert(ip.end(), udp.begin(), udp.end());
  return ip;
}

// IPv6 to ff02::1 with a hop-by-hop header before UDP.
Bytes Ipv6() {
  Bytes udp = Udp(kPayload);
  Bytes ip = {0x60, 0, 0, 0};
  Put16(&ip, static_cast<unsigned>(8 + udp.size()));
  ip.insert(ip.end(), {0, 64});
  Bytes from = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0a};
  Bytes to = {0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  ip.insert(ip.end(), from.begin(), from.end());
  ip.insert(ip.end(), to.begin(), to.end());
  ip.insert(ip.end(), {17, 0, 0, 0, 0, 0, 0, 0});  // hop-by-hop: next UDP, 8 bytes
  ip.insert(ip.end(), udp.begin(), udp.end());
  return ip;
}

const Bytes kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const Bytes kHostMac = {0x02, 0x54, 0x57, 0x00, 0x00, 0x14};

// An Ethernet frame with VLAN tags of any tag protocol (each TPID, TCI).
Bytes Tagged(const Bytes& to, const std::vector<std::pair<unsigned, unsigned>>& tags, unsigned type,
             const Bytes& rest) {
  Bytes f = to;
  f.insert(f.end(), {0x02, 0x54, 0x57, 0x00, 0x00, 0x0a});
  for (const auto& tag : tags) {
    Put16(&f, tag.first);
    Put16(&f, tag.second);
  }
  Put16(&f, type);
  f.insert(f.end(), rest.begin(), rest.end());
  return f;
}

// The same with 802.1Q tags, given by their TCI.
Bytes Ethernet(const Bytes& to, std::vector<unsigned> tags, unsigned type, const Bytes& rest) {
  std::vector<std::pair<unsigned, unsigned>> tagged;
  for (unsigned tag : tags) tagged.emplace_back(0x8100, tag);
  return Tagged(to, tagged, type, rest);
}

// A cooked header of version 2 on interface 7.
Bytes Cooked2(int packet_type, unsigned protocol, const Bytes& rest) {
  Bytes f;
  Put16(&f, protocol);
  f.insert(f.end(), {0, 0, 0, 0, 0, 7, 0, 1, static_cast<std::uint8_t>(packet_type), 6,
                     0x02, 0x54, 0x57, 0x00, 0x00, 0x0a, 0, 0});
  f.insert(f.end(), rest.begin(), rest.end());
  return f;
}

struct FrameCase {
  const char* name;
  int link_type;
  Bytes frame;
  bool decoded;
  listener::Via via;
  DestinationKind kind;
  int vlan;
  unsigned interface_index;
};

TEST(DecodeFrame, LinkTypesTagsAndHeaders) {
  using listener::Via;
  const Bytes kSubnet = {192, 0, 2, 255}, kLimited = {255, 255, 255, 255}, kHost = {192, 0, 2, 20};
  const int kEth = platform::kLinkEthernet;
  const FrameCase cases[] = {
      {"subnet broadcast", kEth, Ethernet(kBroadcastMac, {}, 0x0800, Ipv4(kSubnet)), true, Via::kUdp, DestinationKind::kSubnetBroadcast, -1, 0},
      {"unicast", kEth, Ethernet(kHostMac, {}, 0x0800, Ipv4(kHost)), true, Via::kUdp, DestinationKind::kUnicast, -1, 0},
      {"VLAN 10, limited broadcast", kEth, Ethernet(kBroadcastMac, {10}, 0x0800, Ipv4(kLimited)), true, Via::kUdp, DestinationKind::kLimitedBroadcast, 10, 0},
      {"two tags: the outer VLAN", kEth, Ethernet(kBroadcastMac, {0x2005, 6}, 0x0800, Ipv4(kLimited)), true, Via::kUdp, DestinationKind::kLimitedBroadcast, 5, 0},
      {"three tags", kEth, Ethernet(kBroadcastMac, {1, 2, 3}, 0x0800, Ipv4(kLimited)), false, Via::kUdp, DestinationKind::kUnknown, -1, 0},
      {"EtherType 0x0842", kEth, Ethernet(kBroadcastMac, {}, 0x0842, kPayload), true, Via::kEtherType, DestinationKind::kLimitedBroadcast, -1, 0},
      {"0x0842 to one host", kEth, Ethernet(kHostMac, {3}, 0x0842, kPayload), true, Via::kEtherType, DestinationKind::kUnicast, 3, 0},
      {"IPv6 with a hop-by-hop header", kEth, Ethernet({0x33, 0x33, 0, 0, 0, 1}, {}, 0x86DD, Ipv6()), true, Via::kUdp, DestinationKind::kMulticast, -1, 0},
      {"IPv4 options", kEth, Ethernet(kHostMac, {}, 0x0800, Ipv4(kHost, 17, 8)), true, Via::kUdp, DestinationKind::kUnicast, -1, 0},
      {"TCP", kEth, Ethernet(kHostMac, {}, 0x0800, Ipv4(kHost, 6)), false, Via::kUdp, DestinationKind::kUnknown, -1, 0},
      {"ARP", kEth, Ethernet(kBroadcastMac, {}, 0x0806, kPayload), false, Via::kUdp, DestinationKind::kUnknown, -1, 0},
      {"cooked, broadcast, interface 7", platform::kLinkLinuxCooked2, Cooked2(1, 0x0800, Ipv4(kSubnet)), true, Via::kUdp, DestinationKind::kSubnetBroadcast, -1, 7},
      {"cooked, sent by this host", platform::kLinkLinuxCooked2, Cooked2(4, 0x0800, Ipv4(kSubnet)), false, Via::kUdp, DestinationKind::kUnknown, -1, 0},
      {"cooked 0x0842 to this host", platform::kLinkLinuxCooked2, Cooked2(0, 0x0842, kPayload), true, Via::kEtherType, DestinationKind::kUnicast, -1, 7},
      {"raw IPv4", platform::kLinkRawIp, Ipv4(kHost), true, Via::kUdp, DestinationKind::kUnicast, -1, 0},
      {"unknown link type", 147, Ipv4(kHost), false, Via::kUdp, DestinationKind::kUnknown, -1, 0},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    listener::DecodedFrame d;
    ASSERT_EQ(listener::DecodeFrame(c.link_type, c.frame.data(), c.frame.size(), c.frame.size(), &d), c.decoded);
    if (!c.decoded) continue;
    EXPECT_EQ(d.via, c.via);
    EXPECT_EQ(listener::JudgeFrameDestination(d), c.kind);
    EXPECT_EQ(d.vlan, c.vlan);
    EXPECT_EQ(d.interface_index, c.interface_index);
    ASSERT_EQ(d.length, static_cast<int>(kPayload.size()));
    ASSERT_EQ(d.stored, d.length);
    EXPECT_EQ(Bytes(d.payload, d.payload + d.stored), kPayload);
    EXPECT_EQ(d.to_port, c.via == Via::kUdp ? 9 : -1);
    // A cooked header tells the destination MAC only of a broadcast.
    EXPECT_EQ(d.to_mac_known, c.link_type == platform::kLinkEthernet || d.link_broadcast);
  }
}

// Padding after a short IPv4 packet is no part of the payload; a frame cut short keeps what it has.
TEST(DecodeFrame, PaddingAndEveryTruncation) {
  Bytes frame = Ethernet(kHostMac, {10}, 0x0800, Ipv4({192, 0, 2, 20}));
  Bytes padded = frame;
  padded.insert(padded.end(), 20, 0);
  listener::DecodedFrame d;
  ASSERT_TRUE(listener::DecodeFrame(platform::kLinkEthernet, padded.data(), padded.size(), padded.size(), &d));
  EXPECT_EQ(d.stored, 12);
  for (std::size_t n = 0; n < frame.size(); ++n) {
    Bytes cut(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(n));
    if (listener::DecodeFrame(platform::kLinkEthernet, cut.data(), cut.size(), frame.size(), &d)) {
      ASSERT_EQ(d.length, 12) << n;
      ASSERT_LE(d.payload + d.stored, cut.data() + cut.size()) << n;
    }
  }
}

// --- Frames through the capture filter and the decoder together, as -Read and -Any see them ---

// A magic packet for kHostMac, and a UDP datagram around any payload (its length field given).
Bytes Magic() {
  Bytes m(6, 0xFF);
  for (int i = 0; i < 16; ++i) m.insert(m.end(), kHostMac.begin(), kHostMac.end());
  return m;
}

Bytes UdpWith(const Bytes& payload, unsigned length_field) {
  Bytes u;
  Put16(&u, 40000);
  Put16(&u, 9);
  Put16(&u, length_field);
  Put16(&u, 0);
  u.insert(u.end(), payload.begin(), payload.end());
  return u;
}
Bytes UdpOf(const Bytes& payload) { return UdpWith(payload, static_cast<unsigned>(8 + payload.size())); }

// IPv4 to 192.0.2.255 carrying `data` (a UDP datagram, or a fragment's bytes), with the flags
// and fragment offset field and the protocol.
Bytes Ipv4Of(const Bytes& data, unsigned fragment = 0, std::uint8_t protocol = 17) {
  Bytes ip = {0x45, 0};
  Put16(&ip, static_cast<unsigned>(20 + data.size()));
  Put16(&ip, 0);
  Put16(&ip, fragment);
  ip.insert(ip.end(), {64, protocol, 0, 0, 192, 0, 2, 10, 192, 0, 2, 255});
  ip.insert(ip.end(), data.begin(), data.end());
  return ip;
}

// IPv6 to ff02::1 with extension headers (each its type and bytes, its next header filled in).
struct Extension {
  std::uint8_t type;
  Bytes bytes;
};
Bytes Ipv6Of(const Bytes& data, const std::vector<Extension>& extensions, std::uint8_t last = 17) {
  Bytes chain;
  for (std::size_t i = 0; i < extensions.size(); ++i) {
    Bytes h = extensions[i].bytes;
    h[0] = i + 1 < extensions.size() ? extensions[i + 1].type : last;
    chain.insert(chain.end(), h.begin(), h.end());
  }
  Bytes ip = {0x60, 0, 0, 0};
  Put16(&ip, static_cast<unsigned>(chain.size() + data.size()));
  ip.push_back(extensions.empty() ? last : extensions[0].type);
  ip.push_back(64);
  const Bytes from = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0a};
  const Bytes to = {0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  ip.insert(ip.end(), from.begin(), from.end());
  ip.insert(ip.end(), to.begin(), to.end());
  ip.insert(ip.end(), chain.begin(), chain.end());
  ip.insert(ip.end(), data.begin(), data.end());
  return ip;
}
const Extension kHopByHop{0, Bytes(8, 0)}, kDestination{60, Bytes(8, 0)},
    kRouting{43, {0, 0, 0, 0, 0, 0, 0, 0}}, kAuthentication{51, {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 7}};
Extension FragmentHeader(unsigned offset, bool more) {
  Bytes h = {0, 0};
  Put16(&h, offset | (more ? 1u : 0u));
  h.insert(h.end(), {0, 0, 0, 1});
  return Extension{44, h};
}

// An Ethernet frame to ff:ff:ff:ff:ff:ff with VLAN tags of any tag protocol.
Bytes Tagged(const std::vector<std::pair<unsigned, unsigned>>& tags, unsigned type, const Bytes& rest) {
  return Tagged(kBroadcastMac, tags, type, rest);
}

// Cooked headers of both versions (broadcast), with a VLAN tag 10 between them and the packet.
Bytes CookedTagged(int version, unsigned type, const Bytes& rest) {
  Bytes f;
  if (version == 1) {
    f = {0, 1, 0, 1, 0, 6, 0x02, 0x54, 0x57, 0x00, 0x00, 0x0a, 0, 0};
    Put16(&f, 0x8100);
  } else {
    Put16(&f, 0x8100);
    f.insert(f.end(), {0, 0, 0, 0, 0, 7, 0, 1, 1, 6, 0x02, 0x54, 0x57, 0x00, 0x00, 0x0a, 0, 0});
  }
  Put16(&f, 10);
  Put16(&f, type);
  f.insert(f.end(), rest.begin(), rest.end());
  return f;
}

// A loopback header: the address family in the writer's byte order (here little-endian), or
// big-endian for OpenBSD's.
Bytes Loopback(std::uint32_t family, bool big_endian, const Bytes& rest) {
  Bytes f(4 + rest.size());
  for (int i = 0; i < 4; ++i) f[i] = static_cast<std::uint8_t>(family >> (big_endian ? 24 - 8 * i : 8 * i));
  std::copy(rest.begin(), rest.end(), f.begin() + 4);
  return f;
}

struct FilterCase {
  const char* name;
  int link_type;
  Bytes frame;
  bool decoded;           // the decoder judges it (the filter must then let it through)
  bool wake;              // what it carries is a wake, judged by its own bytes
  int fragment_offset;    // -1: no fragment
  int udp_length_field;   // 0: the field agreed with the packet
};

TEST(CaptureFilterAndDecoder, EveryFrameTheDecoderJudgesGetsThrough) {
  const Bytes magic = Magic(), udp = UdpOf(magic);
  // A 1602-byte datagram whose sync stream starts at byte 1500: the second fragment holds it whole.
  Bytes big(1602, 'x');
  std::copy(magic.begin(), magic.end(), big.begin() + 1500);
  const Bytes big_udp = UdpOf(big);
  const Bytes first(big_udp.begin(), big_udp.begin() + 1480), second(big_udp.begin() + 1480, big_udp.end());
  // A wake split after its fifth copy: the first fragment ends there.
  Bytes split_udp = UdpOf(Bytes(8, 'x'));
  split_udp.insert(split_udp.end(), magic.begin(), magic.end());
  const Bytes split_first(split_udp.begin(), split_udp.begin() + 16 + 6 + 5 * 6 + 2);
  Bytes lying = udp;
  lying[5] = static_cast<std::uint8_t>(1000 & 0xFF);
  lying[4] = static_cast<std::uint8_t>(1000 >> 8);
  const int kEth = platform::kLinkEthernet;
  const FilterCase cases[] = {
      {"QinQ 0x88a8/0x8100", kEth, Tagged({{0x88a8, 5}, {0x8100, 6}}, 0x0800, Ipv4Of(udp)), true, true, -1, 0},
      {"0x8100/0x8100", kEth, Tagged({{0x8100, 5}, {0x8100, 6}}, 0x0800, Ipv4Of(udp)), true, true, -1, 0},
      {"0x9100/0x8100", kEth, Tagged({{0x9100, 5}, {0x8100, 6}}, 0x0800, Ipv4Of(udp)), true, true, -1, 0},
      {"0x0842 in 0x88a8/0x8100", kEth, Tagged({{0x88a8, 5}, {0x8100, 6}}, 0x0842, magic), true, true, -1, 0},
      {"0x0842 in 0x9100/0x8100", kEth, Tagged({{0x9100, 5}, {0x8100, 6}}, 0x0842, magic), true, true, -1, 0},
      {"0x0842 in 0x8100/0x8100", kEth, Tagged({{0x8100, 5}, {0x8100, 6}}, 0x0842, magic), true, true, -1, 0},
      {"IPv6 hop-by-hop", kEth, Tagged({}, 0x86DD, Ipv6Of(udp, {kHopByHop})), true, true, -1, 0},
      {"IPv6 destination options", kEth, Tagged({}, 0x86DD, Ipv6Of(udp, {kDestination})), true, true, -1, 0},
      {"IPv6 routing", kEth, Tagged({}, 0x86DD, Ipv6Of(udp, {kRouting})), true, true, -1, 0},
      {"IPv6 AH", kEth, Tagged({}, 0x86DD, Ipv6Of(udp, {kAuthentication})), true, true, -1, 0},
      {"IPv6 tagged, hop-by-hop then AH", kEth, Tagged({{0x8100, 3}}, 0x86DD, Ipv6Of(udp, {kHopByHop, kAuthentication})), true, true, -1, 0},
      {"IPv6 later fragment", kEth, Tagged({}, 0x86DD, Ipv6Of(magic, {FragmentHeader(1448, false)})), true, true, 1448, 0},
      {"cooked v1, VLAN, IPv4", platform::kLinkLinuxCooked, CookedTagged(1, 0x0800, Ipv4Of(udp)), true, true, -1, 0},
      {"cooked v2, VLAN, IPv4", platform::kLinkLinuxCooked2, CookedTagged(2, 0x0800, Ipv4Of(udp)), true, true, -1, 0},
      {"cooked v2, VLAN, 0x0842", platform::kLinkLinuxCooked2, CookedTagged(2, 0x0842, magic), true, true, -1, 0},
      {"IPv4 first fragment", kEth, Tagged({}, 0x0800, Ipv4Of(first, 0x2000)), true, false, 0, 0},
      {"IPv4 second fragment, the sync at 1500", kEth, Tagged({}, 0x0800, Ipv4Of(second, 1480 / 8)), true, true, 1480, 0},
      {"IPv4 fragment ending after copy 5", kEth, Tagged({}, 0x0800, Ipv4Of(split_first, 0x2000)), true, false, 0, 0},
      {"BSD loopback, IPv4", platform::kLinkBsdLoopback, Loopback(2, false, Ipv4Of(udp)), true, true, -1, 0},
      {"BSD loopback, IPv6", platform::kLinkBsdLoopback, Loopback(30, false, Ipv6Of(udp, {})), true, true, -1, 0},
      {"OpenBSD loopback, IPv4", platform::kLinkOpenBsdLoopback, Loopback(2, true, Ipv4Of(udp)), true, true, -1, 0},
      {"raw IPv4", platform::kLinkRawIpv4, Ipv4Of(udp), true, true, -1, 0},
      {"raw IPv6", platform::kLinkRawIpv6, Ipv6Of(udp, {kDestination}), true, true, -1, 0},
      {"raw IP", platform::kLinkRawIp, Ipv6Of(udp, {}), true, true, -1, 0},
      {"UDP length 1000 in a 130-byte packet", kEth, Tagged({}, 0x0800, Ipv4Of(lying)), true, true, -1, 1000},
      {"TCP", kEth, Tagged({}, 0x0800, Ipv4Of(udp, 0, 6)), false, false, -1, 0},
      {"IPv6 hop-by-hop, ICMPv6", kEth, Tagged({}, 0x86DD, Ipv6Of(udp, {kHopByHop}, 58)), false, false, -1, 0},
  };
  const std::string path = ::testing::TempDir() + "tidewake_filter_test.pcap";
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(capture_file::Write(path, static_cast<std::uint32_t>(c.link_type), {{c.frame}}));
    platform::Capture* capture = nullptr;
    int link_type = 0;
    char error[256] = "";
    ASSERT_EQ(platform::open_capture_file(path.c_str(), &capture, &link_type, error, sizeof error),
              platform::CaptureOpened::kOpened) << error;
    const char* filter = listener::CaptureFilter(link_type);
    ASSERT_NE(filter, nullptr);
    ASSERT_TRUE(platform::set_capture_filter(capture, filter, error, sizeof error)) << error;
    platform::CapturedFrame frame{};
    const int got = platform::next_frame(capture, 0, &frame);
    listener::DecodedFrame d;
    const bool decoded = got == platform::kFrameReady &&
                         listener::DecodeFrame(link_type, frame.data, frame.captured, frame.length, &d);
    // What the filter drops, the decoder never sees: a frame it can judge must get through.
    listener::DecodedFrame unfiltered;
    EXPECT_EQ(listener::DecodeFrame(c.link_type, c.frame.data(), c.frame.size(), c.frame.size(), &unfiltered), c.decoded);
    EXPECT_EQ(decoded, c.decoded) << (got == platform::kFrameReady ? "decoded" : "filtered out");
    if (!decoded) {
      platform::close_capture(capture);
      continue;
    }
    const listener::WakeAnalysis a = listener::AnalyzeWake(d.payload, static_cast<std::size_t>(d.stored),
                                                           static_cast<std::size_t>(d.length));
    EXPECT_EQ(listener::IsWake(a), c.wake);
    EXPECT_EQ(d.fragment ? d.fragment_offset : -1, c.fragment_offset);
    EXPECT_EQ(d.udp_length_field, c.udp_length_field);
    EXPECT_LE(d.payload + d.stored, frame.data + frame.captured);
    platform::close_capture(capture);
  }
  std::remove(path.c_str());
}

// A capture file of a link type that is not decoded has no filter: pilvorne refuses it.
TEST(CaptureFilterAndDecoder, OnlyTheLinkTypesDecoded) {
  for (int type : {0, 1, 12, 101, 108, 113, 228, 229, 276}) EXPECT_NE(listener::CaptureFilter(type), nullptr) << type;
  for (int type : {6, 105, 127, 147, 192}) EXPECT_EQ(listener::CaptureFilter(type), nullptr) << type;
}

platform::IpAddress V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  platform::IpAddress address{4, {a, b, c, d}};
  return address;
}

TEST(JudgeDestination, AgainstTheReceivingInterface) {
  platform::InterfaceRecord table[3] = {};
  table[0] = {2, "eth0", 0, V4(192, 0, 2, 20), 24, 0, 0};
  table[1] = {3, "eth1", 0, V4(198, 51, 100, 7), 25, 0, 0};
  table[2] = {4, "p2p", 0, V4(203, 0, 113, 1), 31, 0, 0};
  platform::IpAddress v6{6, {0xff, 0x02}};
  const struct {
    platform::IpAddress to;
    unsigned index;
    DestinationKind kind;
  } cases[] = {
      {V4(255, 255, 255, 255), 2, DestinationKind::kLimitedBroadcast},
      {V4(224, 0, 0, 1), 2, DestinationKind::kMulticast},
      {V4(239, 255, 255, 255), 2, DestinationKind::kMulticast},
      {v6, 2, DestinationKind::kMulticast},
      {V4(192, 0, 2, 255), 2, DestinationKind::kSubnetBroadcast},
      {V4(198, 51, 100, 127), 3, DestinationKind::kSubnetBroadcast},
      {V4(198, 51, 100, 255), 3, DestinationKind::kUnicast},       // a host of the /25 above
      {V4(192, 0, 2, 255), 3, DestinationKind::kUnicast},          // another interface's broadcast
      {V4(192, 0, 2, 255), 0, DestinationKind::kSubnetBroadcast},  // interface not known
      {V4(203, 0, 113, 1), 4, DestinationKind::kUnicast},          // a /31 has no broadcast
      {V4(192, 0, 2, 20), 2, DestinationKind::kUnicast},
      {platform::IpAddress{}, 2, DestinationKind::kUnknown},
  };
  for (const auto& c : cases) {
    char text[64];
    wake::FormatIpText(c.to, text, sizeof text);
    EXPECT_EQ(listener::JudgeDestination(c.to, c.index, table, 3), c.kind) << text << " on " << c.index;
  }
}

TEST(FormatIpText, DottedQuadsAndShortestIpv6) {
  const struct {
    std::vector<std::uint8_t> bytes;
    const char* text;
  } cases[] = {
      {{192, 0, 2, 10}, "192.0.2.10"},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "::"},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "::1"},
      {{0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "ff02::1"},
      {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}, "2001:db8:0:1::1"},
      {{0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}, "1:0:0:2::"},    // the longer run
      {{0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 3, 0, 4}, "1::2:0:0:3:4"}, // the first of equal runs
      {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5}, "2001:db8:0:1:2:3:4:5"},
      {{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x54, 0x57, 0xff, 0xfe, 0, 0, 0x14}, "fe80::54:57ff:fe00:14"},
  };
  for (const auto& c : cases) {
    platform::IpAddress address{c.bytes.size() == 4 ? 4 : 6, {}};
    std::memcpy(address.bytes, c.bytes.data(), c.bytes.size());
    char text[64];
    wake::FormatIpText(address, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(UtcOffsetMinutes, FromTheLocalFieldsAndTheMoment) {
  const std::int64_t kMoment = 1796806800;  // 2026-12-09 09:00:00 UTC
  const struct {
    platform::SystemTime local;
    int minutes;
  } cases[] = {
      {{2026, 12, 3, 9, 9, 0, 0, 0}, 0},
      {{2026, 12, 3, 9, 10, 0, 0, 0}, 60},
      {{2026, 12, 3, 9, 4, 0, 0, 0}, -300},
      {{2026, 12, 3, 9, 14, 30, 0, 0}, 330},
      {{2026, 12, 4, 10, 0, 0, 0, 0}, 900},    // the next day
      {{2026, 12, 2, 8, 23, 0, 0, 0}, -600},   // the day before
  };
  for (const auto& c : cases) EXPECT_EQ(listener::UtcOffsetMinutes(c.local, kMoment), c.minutes);
}

}  // namespace
