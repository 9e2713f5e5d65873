// Wake packet definitions shared by the sender and the listener: kinds, lengths, header layout, port.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wake {

// UDP port that the sender sends to and the listener listens on unless told otherwise.
constexpr int kDefaultPort = 1778;

// Send flags: the bit set that selects which kind of wake packet is sent.
constexpr int kSendBroadcastMagic = 1;    // magic packet to the subnet-directed broadcast address
constexpr int kSendShortUnsuspend = 2;    // short unsuspend datagram (type 2) to the target itself
constexpr int kSendDirectMagic = 4;       // magic packet (type 4) to the target itself

// Optional packet header that marks a datagram as coming from kestrava.
constexpr std::size_t kHeaderLength = 16;
constexpr std::size_t kHeaderTagOffset = 0;
constexpr std::size_t kHeaderTagLength = 8;
constexpr std::size_t kHeaderTagKindOffset = 7;     // the tag's eighth character: 'A', '2' or '4'
constexpr std::size_t kHeaderLengthOffset = 8;      // unsigned 32-bit, little-endian, whole datagram
constexpr std::size_t kHeaderReservedOffset = 12;   // four zero bytes, or the sequence number
constexpr std::size_t kHeaderReservedLength = 4;
// A run of several datagrams to one target numbers them 1..N in the reserved field (unsigned
// 32-bit, little-endian), so that a listener can count what arrived; a single datagram leaves
// the field zero.
constexpr std::size_t kHeaderSequenceOffset = kHeaderReservedOffset;
constexpr char kHeaderTag[] = "KESTRAVA";           // 8 characters, sent without terminator
constexpr char kTagKindShortUnsuspend = '2';
constexpr char kTagKindDirectMagic = '4';

// Wake body, at offset H (the header length: 16 or 0) of the datagram.
constexpr std::size_t kMacLength = 6;
constexpr std::size_t kSyncLength = 6;               // six bytes 0xFF
constexpr std::uint8_t kSyncByte = 0xFF;
constexpr std::size_t kMacOffset = kSyncLength;      // first MAC copy at H + 6
constexpr int kMacRepeats = 16;
constexpr std::size_t kMagicBodyLength = kSyncLength + kMacRepeats * kMacLength;   // 102
constexpr std::size_t kShortBodyLength = kSyncLength + kMacLength;                 // 12
constexpr std::size_t kDirectTrailerLength = 2;
constexpr std::size_t kDirectBodyLength = kMagicBodyLength + kDirectTrailerLength; // 104

// A SecureOn password of 4 or 6 bytes follows the 16th MAC copy of a magic packet, at H + 102
// (before the direct magic packet's two trailing bytes).
constexpr std::size_t kPasswordOffset = kMagicBodyLength;
constexpr std::size_t kShortPasswordLength = 4;
constexpr std::size_t kLongPasswordLength = 6;

// Largest datagram the sender composes (direct magic packet with header and a 6-byte password).
constexpr std::size_t kMaxDatagramLength = kHeaderLength + kDirectBodyLength + kLongPasswordLength;  // 126

// The six datagram lengths: three kinds, without and with the packet header.
constexpr std::size_t kShortUnsuspendLength = kShortBodyLength;                     // 12
constexpr std::size_t kShortUnsuspendHdrLength = kHeaderLength + kShortBodyLength;  // 28
constexpr std::size_t kBroadcastMagicLength = kMagicBodyLength;                     // 102
constexpr std::size_t kDirectMagicLength = kDirectBodyLength;                       // 104
constexpr std::size_t kBroadcastMagicHdrLength = kHeaderLength + kMagicBodyLength;  // 118
constexpr std::size_t kDirectMagicHdrLength = kHeaderLength + kDirectBodyLength;    // 120

// The raw Ethernet wake frame: the magic packet (and password, never the packet header) as the
// payload of a frame of this EtherType (08 42 on the wire, network byte order) to the Ethernet
// broadcast address.
constexpr std::uint16_t kWakeEtherType = 0x0842;
constexpr std::uint8_t kEthernetBroadcast[kMacLength] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

static_assert(kBroadcastMagicHdrLength == 118 && kShortUnsuspendHdrLength == 28 &&
              kDirectMagicHdrLength == 120, "wake packet lengths");

}  // namespace wake
