// ICMP echo packets of the POSIX echo service: the request's bytes, the Internet checksum, what a received packet answers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// ICMP message types.
constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIcmpUnreachable = 3;
constexpr std::uint8_t kIcmpEchoRequest = 8;
constexpr std::uint8_t kIcmpTimeExceeded = 11;
constexpr std::uint8_t kIcmpParameterProblem = 12;

// ICMP echo header; 16-bit fields in network byte order (big-endian).
constexpr std::size_t kIcmpTypeOffset = 0;
constexpr std::size_t kIcmpCodeOffset = 1;
constexpr std::size_t kIcmpChecksumOffset = 2;
constexpr std::size_t kIcmpIdentifierOffset = 4;
constexpr std::size_t kIcmpSequenceOffset = 6;
constexpr std::size_t kIcmpHeaderSize = 8;
// An ICMP error message has the same 8-byte header, then quotes the IPv4 header and the
// first 8 bytes of the datagram it answers.
constexpr std::size_t kIcmpQuoteOffset = kIcmpHeaderSize;

// IPv4 header: the low nibble of the first byte (IHL) is its length in 32-bit words.
constexpr std::size_t kIpv4VersionIhlOffset = 0;
constexpr std::size_t kIpv4IhlUnit = 4;
constexpr std::size_t kIpv4MinHeaderSize = 20;   // IHL 5
constexpr std::size_t kIpv4MaxHeaderSize = 60;   // IHL 15
static_assert(kIpv4MinHeaderSize == 5 * kIpv4IhlUnit && kIpv4MaxHeaderSize == 15 * kIpv4IhlUnit,
              "IPv4 header sizes");

// The Internet checksum (RFC 1071) of `length` bytes, an odd last byte padded with zero;
// the value to store big-endian. A packet that carries its checksum sums to 0.
std::uint16_t internet_checksum(const std::uint8_t* data, std::size_t length);

// Writes an echo request with `size` bytes of `payload` to `packet` (room for
// kIcmpHeaderSize + size) and returns its length.
std::size_t build_echo_request(std::uint8_t* packet, std::uint16_t identifier,
                               std::uint16_t sequence, const void* payload, std::size_t size);

// The echo service's status (kEcho*) for an ICMP error message of this type and code.
unsigned long icmp_error_status(std::uint8_t type, std::uint8_t code);

// The request that is waited for, and how its socket delivers packets.
struct EchoRequest {
  bool raw;                 // raw socket: packets start with the IPv4 header; else with ICMP
  std::uint16_t identifier; // compared on a raw socket only: a datagram socket's kernel sets
                            // and checks the identifier itself
  std::uint16_t sequence;
};

// What a packet means for the request.
enum class IcmpAnswer { kOther, kReply, kError };

struct IcmpOutcome {
  IcmpAnswer answer;
  unsigned long status;     // kError: the kEcho* status
  std::size_t data_offset;  // kReply: the echoed data, at this offset of the packet...
  std::size_t data_size;    // ...to the packet's end
};

// Classifies a packet read from the socket. Only a raw socket reads ICMP errors as packets;
// they count when they quote this request.
IcmpOutcome classify_packet(const EchoRequest& request, const std::uint8_t* packet,
                            std::size_t length);

// What a packet answers on a socket with many requests in flight: the outcome and the
// sequence number of the request it answers (the reply's own, or the one an error quotes).
struct IcmpMatch {
  IcmpOutcome outcome;       // kOther: nothing of ours
  bool sequence_known;       // false for an error queue entry that quotes no echo request
  std::uint16_t sequence;
};

// As classify_packet, for whichever of the socket's requests the packet answers; on a raw
// socket the identifier must be `identifier`.
IcmpMatch match_packet(bool raw, std::uint16_t identifier, const std::uint8_t* packet,
                       std::size_t length);

// An entry of a datagram socket's error queue, as the kernel describes it.
struct QueuedError {
  bool from_icmp;                // an ICMP message answered (type, code); else a local failure
  std::uint8_t type;
  std::uint8_t code;
  std::uint32_t error_number;    // the errno of a local failure
  const std::uint8_t* quoted;    // the start of the request the entry belongs to
  std::size_t quoted_length;
};

// Classifies an error-queue entry: kError with its status, or kOther when it quotes another
// request of the socket (a late answer).
IcmpOutcome classify_queued_error(const EchoRequest& request, const QueuedError& entry);

// An error-queue entry as an error (kError) with the sequence number of the request it quotes,
// when it quotes one.
IcmpMatch match_queued_error(const QueuedError& entry);

}  // namespace platform
