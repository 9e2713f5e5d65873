// The relay's signed wake request and its signed acknowledgement: layouts, readers and writers for both programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/wake_packet.h"

namespace wake {

// The relay listens here unless told otherwise: the port after the listener's.
constexpr int kRelayPort = 1779;

// Both datagrams are fixed in length. Numbers are unsigned and in network byte order
// (big-endian), unlike the little-endian fields of kestrava's wake packet header.
constexpr std::size_t kRelayTagLength = 8;
constexpr char kRelayTagStem[] = "TWRELAY";      // 7 characters, then the kind
constexpr std::size_t kRelayTagKindOffset = 7;
constexpr char kRelayKindRequest = 'Q';
constexpr char kRelayKindAck = 'A';
constexpr std::uint8_t kRelayVersion = 1;

constexpr std::size_t kRelayNonceLength = 16;
constexpr std::size_t kRelayKeyIdLength = 8;
constexpr std::size_t kRelayKeyLength = 32;
constexpr std::size_t kRelayHmacLength = 32;      // HMAC-SHA256

// What the relay is asked to send (a bit set; at least one, no other bits).
constexpr std::uint8_t kRelaySendBroadcast = 1;   // magic packet to the subnet-directed broadcast
constexpr std::uint8_t kRelaySendFrame = 2;       // magic packet in an EtherType 0x0842 frame
constexpr std::uint8_t kRelaySendAll = kRelaySendBroadcast | kRelaySendFrame;

// Bounds of what one request may ask for: every datagram out costs the relay's subnet, so a
// request cannot ask for more than copies x ports per interface.
constexpr int kRelayMaxCopies = 16;
constexpr int kRelayMaxPorts = 4;
constexpr std::size_t kRelayPortLength = 2;

// The request: offset, length, what it holds.
//   0   8  tag "TWRELAYQ"
//   8   1  version (1)
//   9   1  what to send (kRelaySend* bits)
//  10   1  copies, 1..16
//  11   1  password length: 0, 4 or 6
//  12   6  target MAC
//  18   6  SecureOn password, unused bytes zero
//  24   8  time, seconds since 1970-01-01 00:00:00 UTC (top bit clear)
//  32  16  nonce, random
//  48   8  key identifier
//  56   1  number of ports: 1..4 with a broadcast, 0 without
//  57   1  zero
//  58   8  four UDP ports, unused ones zero
//  66  64  zero: room that makes the request as long as the acknowledgement
// 130  32  HMAC-SHA256 of bytes 0..129 under the key the identifier names
constexpr std::size_t kRequestTagOffset = 0;
constexpr std::size_t kRequestVersionOffset = kRequestTagOffset + kRelayTagLength;
constexpr std::size_t kRequestSendOffset = kRequestVersionOffset + 1;
constexpr std::size_t kRequestCopiesOffset = kRequestSendOffset + 1;
constexpr std::size_t kRequestPasswordLengthOffset = kRequestCopiesOffset + 1;
constexpr std::size_t kRequestMacOffset = kRequestPasswordLengthOffset + 1;
constexpr std::size_t kRequestPasswordOffset = kRequestMacOffset + kMacLength;
constexpr std::size_t kRequestTimeOffset = kRequestPasswordOffset + kLongPasswordLength;
constexpr std::size_t kRequestTimeLength = 8;
constexpr std::size_t kRequestNonceOffset = kRequestTimeOffset + kRequestTimeLength;
constexpr std::size_t kRequestKeyIdOffset = kRequestNonceOffset + kRelayNonceLength;
constexpr std::size_t kRequestPortCountOffset = kRequestKeyIdOffset + kRelayKeyIdLength;
constexpr std::size_t kRequestReservedOffset = kRequestPortCountOffset + 1;
constexpr std::size_t kRequestPortsOffset = kRequestReservedOffset + 1;
constexpr std::size_t kRequestPaddingOffset = kRequestPortsOffset + kRelayMaxPorts * kRelayPortLength;

// The acknowledgement: offset, length, what it holds.
//   0   8  tag "TWRELAYA"
//   8   1  version (1)
//   9   1  what was sent (kRelaySend* bits)
//  10   2  number of subnets the wake went to (an interface and its broadcast address)
//  12   1  how many of them are listed below: 0..4
//  13   1  number of ports
//  14   8  the UDP ports, unused ones zero
//  22   4  datagrams and frames sent, all copies counted
//  26  16  the request's nonce
//  42   8  key identifier
//  50  80  four subnets: interface name (16 bytes, zero-padded, cut at 16), IPv4 broadcast address
// 130  32  HMAC-SHA256 of bytes 0..129 under the request's key
constexpr int kAckMaxDestinations = 4;
constexpr std::size_t kAckNameLength = 16;        // a Linux interface name always fits (IFNAMSIZ)
constexpr std::size_t kAckAddressLength = 4;
constexpr std::size_t kAckDestinationLength = kAckNameLength + kAckAddressLength;
constexpr std::size_t kAckTagOffset = 0;
constexpr std::size_t kAckVersionOffset = kAckTagOffset + kRelayTagLength;
constexpr std::size_t kAckSentOffset = kAckVersionOffset + 1;
constexpr std::size_t kAckSubnetsOffset = kAckSentOffset + 1;
constexpr std::size_t kAckListedOffset = kAckSubnetsOffset + 2;
constexpr std::size_t kAckPortCountOffset = kAckListedOffset + 1;
constexpr std::size_t kAckPortsOffset = kAckPortCountOffset + 1;
constexpr std::size_t kAckDatagramsOffset = kAckPortsOffset + kRelayMaxPorts * kRelayPortLength;
constexpr std::size_t kAckNonceOffset = kAckDatagramsOffset + 4;
constexpr std::size_t kAckKeyIdOffset = kAckNonceOffset + kRelayNonceLength;
constexpr std::size_t kAckDestinationsOffset = kAckKeyIdOffset + kRelayKeyIdLength;
constexpr std::size_t kAckHmacOffset = kAckDestinationsOffset + kAckMaxDestinations * kAckDestinationLength;
constexpr std::size_t kAckLength = kAckHmacOffset + kRelayHmacLength;

// The request is padded to the acknowledgement's length, so that the one answer a request can
// get is never larger than the request: the relay cannot be used to amplify traffic towards
// a forged sender address.
constexpr std::size_t kRequestHmacOffset = kAckHmacOffset > kRequestPaddingOffset ? kAckHmacOffset : kRequestPaddingOffset;
constexpr std::size_t kRequestPaddingLength = kRequestHmacOffset - kRequestPaddingOffset;
constexpr std::size_t kRequestLength = kRequestHmacOffset + kRelayHmacLength;

static_assert(kRequestPortsOffset == 58 && kRequestPaddingOffset == 66 && kRequestLength == 162,
              "relay request layout");
static_assert(kAckDestinationsOffset == 50 && kAckLength == 162, "relay acknowledgement layout");
static_assert(kAckLength <= kRequestLength, "an answer is never larger than its request");

// A request's fields as the reader gives them and the writer takes them.
struct RelayRequest {
  std::uint8_t send = kRelaySendBroadcast;
  std::uint8_t copies = 1;
  std::uint8_t mac[kMacLength] = {};
  std::uint8_t password_length = 0;
  std::uint8_t password[kLongPasswordLength] = {};
  std::uint64_t time = 0;                      // seconds since 1970, UTC
  std::uint8_t nonce[kRelayNonceLength] = {};
  std::uint8_t key_id[kRelayKeyIdLength] = {};
  std::uint8_t port_count = 0;
  std::uint16_t ports[kRelayMaxPorts] = {};
};

// One place the wake went: the interface's name and its IPv4 broadcast address.
struct RelayDestination {
  char name[kAckNameLength + 1] = {};          // terminated
  std::uint8_t address[kAckAddressLength] = {};
};

struct RelayAck {
  std::uint8_t sent = 0;
  std::uint16_t subnets = 0;                   // every subnet it went to
  std::uint8_t listed = 0;                     // of those, how many `destinations` holds
  RelayDestination destinations[kAckMaxDestinations];
  std::uint8_t port_count = 0;
  std::uint16_t ports[kRelayMaxPorts] = {};
  std::uint32_t datagrams = 0;
  std::uint8_t nonce[kRelayNonceLength] = {};
  std::uint8_t key_id[kRelayKeyIdLength] = {};
};

// How a datagram read as a request or an acknowledgement looks.
enum class RelayForm {
  kWellFormed,
  kWrongLength,    // too short for a tag and version, or not the version's fixed length
  kNotRelay,       // another tag (or the other kind)
  kWrongVersion,
  kMalformed,      // a field out of its range, or a byte that must be zero is not
};

namespace relay_bytes {

inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
inline void PutU64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (56 - 8 * i));
}
inline std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | p[i];
  return v;
}
inline std::uint64_t GetU64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
  return v;
}
inline bool AllZero(const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}
inline void PutTag(std::uint8_t* p, char kind) {
  std::memcpy(p, kRelayTagStem, kRelayTagKindOffset);
  p[kRelayTagKindOffset] = static_cast<std::uint8_t>(kind);
}

// Length, tag and version, the same for both kinds.
inline RelayForm ReadHead(const std::uint8_t* data, std::size_t length, char kind, std::size_t fixed) {
  if (data == nullptr || length < kRelayTagLength + 1) return RelayForm::kWrongLength;
  if (std::memcmp(data, kRelayTagStem, kRelayTagKindOffset) != 0 || data[kRelayTagKindOffset] != kind) {
    return RelayForm::kNotRelay;
  }
  if (data[kRelayTagLength] != kRelayVersion) return RelayForm::kWrongVersion;
  return length == fixed ? RelayForm::kWellFormed : RelayForm::kWrongLength;
}

// Ports 1..65535 in the first `count` places, zero after them.
inline bool ReadPorts(const std::uint8_t* p, std::uint8_t count, std::uint16_t* ports) {
  if (count > kRelayMaxPorts) return false;
  for (int i = 0; i < kRelayMaxPorts; ++i) {
    ports[i] = GetU16(p + i * kRelayPortLength);
    if ((ports[i] != 0) != (i < count)) return false;
  }
  return true;
}
inline void PutPorts(std::uint8_t* p, std::uint8_t count, const std::uint16_t* ports) {
  for (int i = 0; i < kRelayMaxPorts; ++i) PutU16(p + i * kRelayPortLength, i < count ? ports[i] : 0);
}

}  // namespace relay_bytes

// Writes the request's kRequestLength bytes except its HMAC (bytes from kRequestHmacOffset),
// which the sender computes over the bytes before it.
inline void WriteRelayRequest(const RelayRequest& r, std::uint8_t* out) {
  using namespace relay_bytes;
  std::memset(out, 0, kRequestLength);
  PutTag(out + kRequestTagOffset, kRelayKindRequest);
  out[kRequestVersionOffset] = kRelayVersion;
  out[kRequestSendOffset] = r.send;
  out[kRequestCopiesOffset] = r.copies;
  out[kRequestPasswordLengthOffset] = r.password_length;
  std::memcpy(out + kRequestMacOffset, r.mac, kMacLength);
  const std::size_t password_length = r.password_length <= kLongPasswordLength ? r.password_length : 0;
  std::memcpy(out + kRequestPasswordOffset, r.password, password_length);
  PutU64(out + kRequestTimeOffset, r.time);
  std::memcpy(out + kRequestNonceOffset, r.nonce, kRelayNonceLength);
  std::memcpy(out + kRequestKeyIdOffset, r.key_id, kRelayKeyIdLength);
  out[kRequestPortCountOffset] = r.port_count;
  PutPorts(out + kRequestPortsOffset, r.port_count <= kRelayMaxPorts ? r.port_count : 0, r.ports);
}

// Reads a request's fields (the HMAC is not checked here). Only a request the writer could
// have written is well formed: each field in its range, every unused byte zero, so that one
// request has exactly one form.
inline RelayForm ReadRelayRequest(const std::uint8_t* data, std::size_t length, RelayRequest* r) {
  using namespace relay_bytes;
  const RelayForm head = ReadHead(data, length, kRelayKindRequest, kRequestLength);
  if (head != RelayForm::kWellFormed) return head;
  r->send = data[kRequestSendOffset];
  r->copies = data[kRequestCopiesOffset];
  r->password_length = data[kRequestPasswordLengthOffset];
  std::memcpy(r->mac, data + kRequestMacOffset, kMacLength);
  std::memcpy(r->password, data + kRequestPasswordOffset, kLongPasswordLength);
  r->time = GetU64(data + kRequestTimeOffset);
  std::memcpy(r->nonce, data + kRequestNonceOffset, kRelayNonceLength);
  std::memcpy(r->key_id, data + kRequestKeyIdOffset, kRelayKeyIdLength);
  r->port_count = data[kRequestPortCountOffset];
  const bool broadcast = (r->send & kRelaySendBroadcast) != 0;
  const bool ok =
      r->send != 0 && (r->send & ~kRelaySendAll) == 0 && r->copies >= 1 && r->copies <= kRelayMaxCopies &&
      (r->password_length == 0 || r->password_length == kShortPasswordLength ||
       r->password_length == kLongPasswordLength) &&
      AllZero(r->password + r->password_length, kLongPasswordLength - r->password_length) &&
      (r->time >> 63) == 0 &&
      (broadcast ? r->port_count >= 1 : r->port_count == 0) &&
      ReadPorts(data + kRequestPortsOffset, r->port_count, r->ports) &&
      data[kRequestReservedOffset] == 0 && AllZero(data + kRequestPaddingOffset, kRequestPaddingLength);
  return ok ? RelayForm::kWellFormed : RelayForm::kMalformed;
}

// Writes the acknowledgement's kAckLength bytes except its HMAC (from kAckHmacOffset).
inline void WriteRelayAck(const RelayAck& a, std::uint8_t* out) {
  using namespace relay_bytes;
  std::memset(out, 0, kAckLength);
  PutTag(out + kAckTagOffset, kRelayKindAck);
  out[kAckVersionOffset] = kRelayVersion;
  out[kAckSentOffset] = a.sent;
  PutU16(out + kAckSubnetsOffset, a.subnets);
  const int listed = a.listed <= kAckMaxDestinations ? a.listed : kAckMaxDestinations;
  out[kAckListedOffset] = static_cast<std::uint8_t>(listed);
  out[kAckPortCountOffset] = a.port_count;
  PutPorts(out + kAckPortsOffset, a.port_count <= kRelayMaxPorts ? a.port_count : 0, a.ports);
  PutU32(out + kAckDatagramsOffset, a.datagrams);
  std::memcpy(out + kAckNonceOffset, a.nonce, kRelayNonceLength);
  std::memcpy(out + kAckKeyIdOffset, a.key_id, kRelayKeyIdLength);
  for (int i = 0; i < listed; ++i) {
    std::uint8_t* d = out + kAckDestinationsOffset + i * kAckDestinationLength;
    // strncpy's zero fill is the field's padding; a 16-byte name fills it without terminator.
    std::strncpy(reinterpret_cast<char*>(d), a.destinations[i].name, kAckNameLength);
    std::memcpy(d + kAckNameLength, a.destinations[i].address, kAckAddressLength);
  }
}

// Reads an acknowledgement's fields (the HMAC and the nonce are the caller's to check).
inline RelayForm ReadRelayAck(const std::uint8_t* data, std::size_t length, RelayAck* a) {
  using namespace relay_bytes;
  const RelayForm head = ReadHead(data, length, kRelayKindAck, kAckLength);
  if (head != RelayForm::kWellFormed) return head;
  a->sent = data[kAckSentOffset];
  a->subnets = GetU16(data + kAckSubnetsOffset);
  a->listed = data[kAckListedOffset];
  a->port_count = data[kAckPortCountOffset];
  a->datagrams = GetU32(data + kAckDatagramsOffset);
  std::memcpy(a->nonce, data + kAckNonceOffset, kRelayNonceLength);
  std::memcpy(a->key_id, data + kAckKeyIdOffset, kRelayKeyIdLength);
  bool ok = a->sent != 0 && (a->sent & ~kRelaySendAll) == 0 && a->listed <= kAckMaxDestinations &&
            a->listed <= a->subnets && ReadPorts(data + kAckPortsOffset, a->port_count, a->ports) &&
            ((a->sent & kRelaySendBroadcast) != 0) == (a->port_count > 0);
  for (int i = 0; ok && i < kAckMaxDestinations; ++i) {
    const std::uint8_t* d = data + kAckDestinationsOffset + i * kAckDestinationLength;
    RelayDestination& out = a->destinations[i];
    std::memcpy(out.name, d, kAckNameLength);
    out.name[kAckNameLength] = '\0';
    std::memcpy(out.address, d + kAckNameLength, kAckAddressLength);
    // A name is zero-padded, and a slot past the listed ones is all zero.
    const std::size_t name_length = std::strlen(out.name);
    ok = AllZero(d + name_length, kAckNameLength - name_length) &&
         (i < a->listed ? name_length > 0 : AllZero(d, kAckDestinationLength));
  }
  return ok ? RelayForm::kWellFormed : RelayForm::kMalformed;
}

}  // namespace wake
