// Captured frames decoded down to the wake: Ethernet or Linux cooked headers, VLAN tags, IPv4/IPv6, UDP, 0x0842.
#include <cstring>

#include "listener/inspect.h"
#include "platform/capture.h"

namespace listener {

namespace {

// Byte order on the wire: every field below is big-endian (network order).
std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(Read16(p)) << 16 | Read16(p + 2);
}

constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
constexpr std::uint16_t kEtherTypeIpv6 = 0x86DD;
constexpr std::uint16_t kEtherTypeVlan = 0x8100;      // 802.1Q
constexpr std::uint16_t kEtherTypeQinQ = 0x88A8;      // 802.1ad service tag
constexpr std::uint16_t kEtherTypeQinQOld = 0x9100;
constexpr int kMaxVlanTags = 2;
constexpr std::size_t kVlanTagLength = 4;             // TCI (2), inner EtherType (2)
constexpr std::uint16_t kVlanIdMask = 0x0FFF;

// Ethernet: destination (6), source (6), EtherType (2).
constexpr std::size_t kEthernetDestination = 0;
constexpr std::size_t kEthernetSource = 6;
constexpr std::size_t kEthernetType = 12;
constexpr std::size_t kEthernetLength = 14;

// Linux cooked header, version 1: packet type (2), ARPHRD type (2), address length (2),
// address (8), protocol (2).
constexpr std::size_t kSllPacketType = 0;
constexpr std::size_t kSllAddressLength = 4;
constexpr std::size_t kSllAddress = 6;
constexpr std::size_t kSllProtocol = 14;
constexpr std::size_t kSllLength = 16;
// Version 2: protocol (2), reserved (2), interface index (4), ARPHRD type (2), packet type (1),
// address length (1), address (8).
constexpr std::size_t kSll2Protocol = 0;
constexpr std::size_t kSll2InterfaceIndex = 4;
constexpr std::size_t kSll2PacketType = 10;
constexpr std::size_t kSll2AddressLength = 11;
constexpr std::size_t kSll2Address = 12;
constexpr std::size_t kSll2Length = 20;
// Packet types of both versions.
constexpr int kPacketBroadcast = 1;
constexpr int kPacketMulticast = 2;
constexpr int kPacketOutgoing = 4;

// IPv4: version and header length (1), total length at 2, fragment offset at 6 (low 13 bits,
// in units of 8 bytes), protocol at 9, source at 12, destination at 16.
constexpr std::size_t kIpv4MinLength = 20;
constexpr std::size_t kIpv4TotalLength = 2;
constexpr std::size_t kIpv4Fragment = 6;
constexpr std::uint16_t kIpv4FragmentOffsetMask = 0x1FFF;
constexpr std::size_t kIpv4Protocol = 9;
constexpr std::size_t kIpv4Source = 12;
constexpr std::size_t kIpv4Destination = 16;
// IPv6: next header at 6, source at 8, destination at 24; 40 bytes.
constexpr std::size_t kIpv6NextHeader = 6;
constexpr std::size_t kIpv6Source = 8;
constexpr std::size_t kIpv6Destination = 24;
constexpr std::size_t kIpv6Length = 40;
constexpr std::uint8_t kHopByHop = 0, kRouting = 43, kFragment = 44, kAuthentication = 51,
                       kDestinationOptions = 60;
constexpr int kMaxExtensionHeaders = 8;
constexpr std::uint16_t kIpv6FragmentOffsetMask = 0xFFF8;
constexpr std::uint8_t kProtocolUdp = 17;
// UDP: source port, destination port, length (header included), checksum.
constexpr std::size_t kUdpLength = 8;

bool DecodeUdp(const std::uint8_t* p, std::size_t room, DecodedFrame* out) {
  if (room < kUdpLength) return false;
  const std::uint16_t length = Read16(p + 4);
  if (length < kUdpLength) return false;
  out->via = Via::kUdp;
  out->from_port = Read16(p);
  out->to_port = Read16(p + 2);
  out->payload = p + kUdpLength;
  out->length = length - static_cast<int>(kUdpLength);
  const std::size_t at_hand = room - kUdpLength;
  out->stored = static_cast<std::size_t>(out->length) < at_hand ? out->length : static_cast<int>(at_hand);
  return true;
}

bool DecodeIpv4(const std::uint8_t* p, std::size_t room, DecodedFrame* out) {
  if (room < kIpv4MinLength || p[0] >> 4 != 4) return false;
  const std::size_t header = static_cast<std::size_t>(p[0] & 0x0F) * 4;
  if (header < kIpv4MinLength || header > room) return false;
  // Only the first fragment holds the UDP header.
  if ((Read16(p + kIpv4Fragment) & kIpv4FragmentOffsetMask) != 0 || p[kIpv4Protocol] != kProtocolUdp) return false;
  // Bytes past the total length are the link's padding.
  const std::size_t total = Read16(p + kIpv4TotalLength);
  if (total >= header && total < room) room = total;
  out->from.family = out->to.family = 4;
  std::memcpy(out->from.bytes, p + kIpv4Source, 4);
  std::memcpy(out->to.bytes, p + kIpv4Destination, 4);
  return DecodeUdp(p + header, room - header, out);
}

bool DecodeIpv6(const std::uint8_t* p, std::size_t room, DecodedFrame* out) {
  if (room < kIpv6Length || p[0] >> 4 != 6) return false;
  out->from.family = out->to.family = 6;
  std::memcpy(out->from.bytes, p + kIpv6Source, 16);
  std::memcpy(out->to.bytes, p + kIpv6Destination, 16);
  std::uint8_t next = p[kIpv6NextHeader];
  std::size_t at = kIpv6Length;
  for (int i = 0; i < kMaxExtensionHeaders && next != kProtocolUdp; ++i) {
    if (room - at < 8) return false;
    const std::uint8_t* h = p + at;
    std::size_t length;
    if (next == kHopByHop || next == kRouting || next == kDestinationOptions) {
      length = (static_cast<std::size_t>(h[1]) + 1) * 8;
    } else if (next == kAuthentication) {
      length = (static_cast<std::size_t>(h[1]) + 2) * 4;
    } else if (next == kFragment) {
      if ((Read16(h + 2) & kIpv6FragmentOffsetMask) != 0) return false;
      length = 8;
    } else {
      return false;
    }
    next = h[0];
    at += length;
    if (at > room) return false;
  }
  if (next != kProtocolUdp) return false;
  return DecodeUdp(p + at, room - at, out);
}

// What follows an EtherType: VLAN tags, then IPv4, IPv6 or the wake's own EtherType.
bool DecodeEtherType(std::uint16_t type, const std::uint8_t* p, std::size_t room, DecodedFrame* out) {
  for (int tags = 0; (type == kEtherTypeVlan || type == kEtherTypeQinQ || type == kEtherTypeQinQOld); ++tags) {
    if (tags == kMaxVlanTags || room < kVlanTagLength) return false;
    if (out->vlan < 0) out->vlan = Read16(p) & kVlanIdMask;
    type = Read16(p + 2);
    p += kVlanTagLength;
    room -= kVlanTagLength;
  }
  if (type == kEtherTypeIpv4) return DecodeIpv4(p, room, out);
  if (type == kEtherTypeIpv6) return DecodeIpv6(p, room, out);
  if (type != wake::kWakeEtherType) return false;
  out->via = Via::kEtherType;
  out->payload = p;
  out->stored = out->length = static_cast<int>(room);
  return true;
}

constexpr std::uint8_t kBroadcastMac[wake::kMacLength] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The packet type of a cooked header: broadcast (whose destination MAC that tells) and
// multicast; the host's own sends are skipped.
bool ReadPacketType(int type, DecodedFrame* out) {
  out->link_broadcast = type == kPacketBroadcast;
  out->link_multicast = type == kPacketMulticast;
  if (out->link_broadcast) {
    std::memcpy(out->to_mac, kBroadcastMac, wake::kMacLength);
    out->to_mac_known = true;
  }
  return type != kPacketOutgoing;
}

void ReadLinkSource(const std::uint8_t* address, int address_length, DecodedFrame* out) {
  if (address_length != static_cast<int>(wake::kMacLength)) return;
  std::memcpy(out->from_mac, address, wake::kMacLength);
  out->from_mac_known = true;
}

}  // namespace

bool DecodeFrame(int link_type, const std::uint8_t* data, std::size_t captured, DecodedFrame* out) {
  *out = DecodedFrame{};
  out->vlan = -1;
  out->from_port = out->to_port = -1;
  if (data == nullptr) return false;
  switch (link_type) {
    case platform::kLinkEthernet: {
      if (captured < kEthernetLength) return false;
      std::memcpy(out->to_mac, data + kEthernetDestination, wake::kMacLength);
      std::memcpy(out->from_mac, data + kEthernetSource, wake::kMacLength);
      out->from_mac_known = out->to_mac_known = true;
      out->link_broadcast = std::memcmp(out->to_mac, kBroadcastMac, wake::kMacLength) == 0;
      out->link_multicast = !out->link_broadcast && (out->to_mac[0] & 0x01) != 0;  // the group bit
      return DecodeEtherType(Read16(data + kEthernetType), data + kEthernetLength,
                             captured - kEthernetLength, out);
    }
    case platform::kLinkLinuxCooked:
      if (captured < kSllLength || !ReadPacketType(Read16(data + kSllPacketType), out)) return false;
      ReadLinkSource(data + kSllAddress, Read16(data + kSllAddressLength), out);
      return DecodeEtherType(Read16(data + kSllProtocol), data + kSllLength, captured - kSllLength, out);
    case platform::kLinkLinuxCooked2:
      if (captured < kSll2Length || !ReadPacketType(data[kSll2PacketType], out)) return false;
      out->interface_index = Read32(data + kSll2InterfaceIndex);
      ReadLinkSource(data + kSll2Address, data[kSll2AddressLength], out);
      return DecodeEtherType(Read16(data + kSll2Protocol), data + kSll2Length, captured - kSll2Length, out);
    case platform::kLinkRawIp:
    case platform::kLinkRawIpAlternative:
      if (captured == 0) return false;
      return data[0] >> 4 == 4 ? DecodeIpv4(data, captured, out) : DecodeIpv6(data, captured, out);
    default:
      return false;
  }
}

DestinationKind JudgeFrameDestination(const DecodedFrame& frame) {
  if (frame.via == Via::kEtherType) {
    // Without an IP address the link's own kinds stand in: all hosts, a group, or one host.
    if (frame.link_broadcast) return DestinationKind::kLimitedBroadcast;
    if (frame.link_multicast) return DestinationKind::kMulticast;
    return DestinationKind::kUnicast;
  }
  DestinationKind kind = JudgeDestination(frame.to, 0, nullptr, 0);
  // A unicast-looking IPv4 address sent to every host of the link is that link's
  // subnet-directed broadcast address (the last router turned it into a link broadcast).
  if (kind == DestinationKind::kUnicast && frame.to.family == 4 && frame.link_broadcast) {
    return DestinationKind::kSubnetBroadcast;
  }
  return kind;
}

}  // namespace listener
