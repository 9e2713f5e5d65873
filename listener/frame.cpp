// Captured frames decoded down to the wake: Ethernet, Linux cooked, raw IP or loopback headers, VLAN tags, IPv4/IPv6 and their fragments, UDP, 0x0842.
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

// IPv4: version and header length (1), total length at 2, flags and fragment offset at 6 (the
// offset in the low 13 bits, in units of 8 bytes), protocol at 9, source at 12, destination at 16.
constexpr std::size_t kIpv4MinLength = 20;
constexpr std::size_t kIpv4TotalLength = 2;
constexpr std::size_t kIpv4Fragment = 6;
constexpr std::uint16_t kIpv4FragmentOffsetMask = 0x1FFF;
constexpr std::uint16_t kIpv4MoreFragments = 0x2000;
constexpr std::size_t kFragmentUnit = 8;
constexpr std::size_t kIpv4Protocol = 9;
constexpr std::size_t kIpv4Source = 12;
constexpr std::size_t kIpv4Destination = 16;
// IPv6: payload length at 4, next header at 6, source at 8, destination at 24; 40 bytes.
constexpr std::size_t kIpv6PayloadLength = 4;
constexpr std::size_t kIpv6NextHeader = 6;
constexpr std::size_t kIpv6Source = 8;
constexpr std::size_t kIpv6Destination = 24;
constexpr std::size_t kIpv6Length = 40;
constexpr std::uint8_t kHopByHop = 0, kRouting = 43, kFragment = 44, kAuthentication = 51,
                       kDestinationOptions = 60;
constexpr int kMaxExtensionHeaders = 8;
// The fragment header: next header (1), reserved (1), the offset in bytes with the M flag in
// its lowest bit (2), identification (4).
constexpr std::size_t kIpv6FragmentField = 2;
constexpr std::uint16_t kIpv6FragmentOffsetMask = 0xFFF8;
constexpr std::uint16_t kIpv6MoreFragments = 0x0001;
constexpr std::size_t kIpv6FragmentHeaderLength = 8;
constexpr std::uint8_t kProtocolUdp = 17;
// UDP: source port, destination port, length (header included), checksum.
constexpr std::size_t kUdpLength = 8;
constexpr std::size_t kUdpLengthField = 4;

// Loopback captures: the address family in 4 bytes. IPv6 has a number of its own on each BSD
// (Linux writes no such captures); these are the ones libpcap's filter knows.
constexpr std::size_t kLoopbackLength = 4;
constexpr std::uint32_t kFamilyIpv4 = 2;
constexpr std::uint32_t kFamiliesIpv6[] = {24, 28, 30};  // NetBSD and OpenBSD, FreeBSD, macOS

// Bytes at hand and bytes the frame had on the wire (more when the capture cut it).
struct Bytes {
  const std::uint8_t* p;
  std::size_t stored;
  std::size_t length;
};

Bytes Skip(const Bytes& b, std::size_t n) { return Bytes{b.p + n, b.stored - n, b.length - n}; }

// The payload of the IP packet whose bytes start at `b`, as far as it reaches.
void SetPayload(const Bytes& b, DecodedFrame* out) {
  out->via = Via::kUdp;
  out->payload = b.p;
  out->length = static_cast<int>(b.length);
  out->stored = static_cast<int>(b.stored < b.length ? b.stored : b.length);
}

// `b` holds the UDP header and what follows of the IP packet. A UDP length field that claims
// more than the packet holds is capped there (and kept, to be told); in the first fragment of a
// datagram it counts the whole datagram, and the payload is what this fragment holds.
bool DecodeUdp(const Bytes& b, DecodedFrame* out) {
  if (b.stored < kUdpLength || b.length < kUdpLength) return false;
  const std::uint16_t field = Read16(b.p + kUdpLengthField);
  if (field < kUdpLength) return false;
  out->from_port = Read16(b.p);
  out->to_port = Read16(b.p + 2);
  std::size_t length = field;
  if (length > b.length) {
    if (!out->fragment) out->udp_length_field = field;
    length = b.length;
  }
  Bytes udp{b.p, b.stored, length};
  SetPayload(Skip(udp, kUdpLength), out);
  return true;
}

// The bytes of one IP packet at `b`, its header `header` bytes long, `packet` bytes in all: a
// later fragment holds only payload bytes, anything else starts with the UDP header.
bool DecodeIpPayload(const Bytes& b, std::size_t header, std::size_t packet, DecodedFrame* out) {
  if (packet < b.length) {
    // Bytes past the packet's length are the link's padding.
    const Bytes whole{b.p, b.stored < packet ? b.stored : packet, packet};
    return DecodeIpPayload(whole, header, packet, out);
  }
  if (header > b.stored) return false;
  const Bytes rest = Skip(b, header);
  if (out->fragment && out->fragment_offset > 0) {
    SetPayload(rest, out);
    return true;
  }
  return DecodeUdp(rest, out);
}

bool DecodeIpv4(const Bytes& b, DecodedFrame* out) {
  if (b.stored < kIpv4MinLength || b.p[0] >> 4 != 4) return false;
  const std::size_t header = static_cast<std::size_t>(b.p[0] & 0x0F) * 4;
  if (header < kIpv4MinLength || header > b.stored || b.p[kIpv4Protocol] != kProtocolUdp) return false;
  // A network card looks for the wake in every frame: each fragment is judged by its own bytes.
  const std::uint16_t fragment = Read16(b.p + kIpv4Fragment);
  out->fragment = (fragment & (kIpv4FragmentOffsetMask | kIpv4MoreFragments)) != 0;
  out->fragment_offset = static_cast<int>((fragment & kIpv4FragmentOffsetMask) * kFragmentUnit);
  out->from.family = out->to.family = 4;
  std::memcpy(out->from.bytes, b.p + kIpv4Source, 4);
  std::memcpy(out->to.bytes, b.p + kIpv4Destination, 4);
  const std::size_t total = Read16(b.p + kIpv4TotalLength);
  return DecodeIpPayload(b, header, total >= header ? total : b.length, out);
}

bool DecodeIpv6(const Bytes& b, DecodedFrame* out) {
  if (b.stored < kIpv6Length || b.p[0] >> 4 != 6) return false;
  out->from.family = out->to.family = 6;
  std::memcpy(out->from.bytes, b.p + kIpv6Source, 16);
  std::memcpy(out->to.bytes, b.p + kIpv6Destination, 16);
  // A payload length of 0 is a jumbogram's (or a lie): the frame's length stands.
  const std::size_t payload = Read16(b.p + kIpv6PayloadLength);
  const std::size_t packet = payload != 0 ? kIpv6Length + payload : b.length;
  std::uint8_t next = b.p[kIpv6NextHeader];
  std::size_t at = kIpv6Length;
  for (int i = 0; i < kMaxExtensionHeaders && next != kProtocolUdp; ++i) {
    if (b.stored - at < 8) return false;
    const std::uint8_t* h = b.p + at;
    std::size_t length;
    if (next == kHopByHop || next == kRouting || next == kDestinationOptions) {
      length = (static_cast<std::size_t>(h[1]) + 1) * 8;
    } else if (next == kAuthentication) {
      length = (static_cast<std::size_t>(h[1]) + 2) * 4;
    } else if (next == kFragment) {
      const std::uint16_t field = Read16(h + kIpv6FragmentField);
      out->fragment = (field & (kIpv6FragmentOffsetMask | kIpv6MoreFragments)) != 0;
      out->fragment_offset = field & kIpv6FragmentOffsetMask;
      length = kIpv6FragmentHeaderLength;
      // A later fragment: what follows is the middle of the datagram.
      if (out->fragment_offset > 0) {
        if (h[0] != kProtocolUdp || at + length > b.stored) return false;
        return DecodeIpPayload(b, at + length, packet, out);
      }
    } else {
      return false;
    }
    next = h[0];
    at += length;
    if (at > b.stored) return false;
  }
  if (next != kProtocolUdp) return false;
  return DecodeIpPayload(b, at, packet, out);
}

bool DecodeIp(const Bytes& b, DecodedFrame* out) {
  if (b.stored == 0) return false;
  return b.p[0] >> 4 == 4 ? DecodeIpv4(b, out) : DecodeIpv6(b, out);
}

// What follows an EtherType: VLAN tags, then IPv4, IPv6 or the wake's own EtherType.
bool DecodeEtherType(std::uint16_t type, Bytes b, DecodedFrame* out) {
  for (int tags = 0; (type == kEtherTypeVlan || type == kEtherTypeQinQ || type == kEtherTypeQinQOld); ++tags) {
    if (tags == kMaxVlanTags || b.stored < kVlanTagLength) return false;
    if (out->vlan < 0) out->vlan = Read16(b.p) & kVlanIdMask;
    type = Read16(b.p + 2);
    b = Skip(b, kVlanTagLength);
  }
  if (type == kEtherTypeIpv4) return DecodeIpv4(b, out);
  if (type == kEtherTypeIpv6) return DecodeIpv6(b, out);
  if (type != wake::kWakeEtherType) return false;
  out->via = Via::kEtherType;
  out->payload = b.p;
  out->stored = static_cast<int>(b.stored);
  out->length = static_cast<int>(b.length);
  return true;
}

// The address family of a loopback header, in either byte order where the writer's is not known.
bool DecodeLoopback(std::uint32_t family, std::uint32_t swapped, const Bytes& b, DecodedFrame* out) {
  if (family == kFamilyIpv4 || swapped == kFamilyIpv4) return DecodeIpv4(b, out);
  for (std::uint32_t ipv6 : kFamiliesIpv6) {
    if (family == ipv6 || swapped == ipv6) return DecodeIpv6(b, out);
  }
  return false;
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

bool DecodeFrame(int link_type, const std::uint8_t* data, std::size_t captured, std::size_t length,
                 DecodedFrame* out) {
  *out = DecodedFrame{};
  out->vlan = -1;
  out->from_port = out->to_port = -1;
  if (data == nullptr) return false;
  // A frame is never shorter on the wire than what was captured of it.
  const Bytes frame{data, captured, length > captured ? length : captured};
  switch (link_type) {
    case platform::kLinkEthernet: {
      if (captured < kEthernetLength) return false;
      std::memcpy(out->to_mac, data + kEthernetDestination, wake::kMacLength);
      std::memcpy(out->from_mac, data + kEthernetSource, wake::kMacLength);
      out->from_mac_known = out->to_mac_known = true;
      out->link_broadcast = std::memcmp(out->to_mac, kBroadcastMac, wake::kMacLength) == 0;
      out->link_multicast = !out->link_broadcast && (out->to_mac[0] & 0x01) != 0;  // the group bit
      return DecodeEtherType(Read16(data + kEthernetType), Skip(frame, kEthernetLength), out);
    }
    case platform::kLinkLinuxCooked:
      if (captured < kSllLength || !ReadPacketType(Read16(data + kSllPacketType), out)) return false;
      ReadLinkSource(data + kSllAddress, Read16(data + kSllAddressLength), out);
      return DecodeEtherType(Read16(data + kSllProtocol), Skip(frame, kSllLength), out);
    case platform::kLinkLinuxCooked2:
      if (captured < kSll2Length || !ReadPacketType(data[kSll2PacketType], out)) return false;
      out->interface_index = Read32(data + kSll2InterfaceIndex);
      ReadLinkSource(data + kSll2Address, data[kSll2AddressLength], out);
      return DecodeEtherType(Read16(data + kSll2Protocol), Skip(frame, kSll2Length), out);
    case platform::kLinkRawIp:
    case platform::kLinkRawIpAlternative:
      return DecodeIp(frame, out);
    case platform::kLinkRawIpv4:
      return DecodeIpv4(frame, out);
    case platform::kLinkRawIpv6:
      return DecodeIpv6(frame, out);
    case platform::kLinkBsdLoopback:
    case platform::kLinkOpenBsdLoopback: {
      if (captured < kLoopbackLength) return false;
      const std::uint32_t big = Read32(data);
      const std::uint32_t little = static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
                                   static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
      // BSD loopback is written in the capturing host's byte order, OpenBSD's in network order.
      const Bytes rest = Skip(frame, kLoopbackLength);
      return link_type == platform::kLinkOpenBsdLoopback ? DecodeLoopback(big, big, rest, out)
                                                          : DecodeLoopback(big, little, rest, out);
    }
    default:
      return false;
  }
}

bool ReadsLinkType(int link_type) {
  switch (link_type) {
    case platform::kLinkEthernet:
    case platform::kLinkLinuxCooked:
    case platform::kLinkLinuxCooked2:
    case platform::kLinkRawIp:
    case platform::kLinkRawIpAlternative:
    case platform::kLinkRawIpv4:
    case platform::kLinkRawIpv6:
    case platform::kLinkBsdLoopback:
    case platform::kLinkOpenBsdLoopback:
      return true;
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
