// ICMP echo packets: building the request and classifying what the socket reads, bytes in and record out.
#include "platform/posix/icmp_packet.h"

#include <cstring>

#include "platform/echo.h"

namespace platform {

namespace {

std::uint16_t read16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void write16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value >> 8);
  p[1] = static_cast<std::uint8_t>(value & 0xFF);
}

bool is_icmp_error(std::uint8_t type) {
  return type == kIcmpUnreachable || type == kIcmpTimeExceeded || type == kIcmpParameterProblem;
}

// The length of the IPv4 header at `ip`, or 0 when its IHL claims fewer than 20 bytes or more
// than `length` holds: the IHL is the sender's word, and a router's quoted header is as
// untrusted as the packet around it.
std::size_t ipv4_header_length(const std::uint8_t* ip, std::size_t length) {
  if (length < kIpv4MinHeaderSize) return 0;
  const std::size_t header = static_cast<std::size_t>(ip[kIpv4VersionIhlOffset] & 0x0F) * kIpv4IhlUnit;
  return header >= kIpv4MinHeaderSize && header <= length ? header : 0;
}

// Does an echo header (quoted in an ICMP error, or a reply) belong to the request?
bool ours(const EchoRequest& request, const std::uint8_t* icmp) {
  if (read16(icmp + kIcmpSequenceOffset) != request.sequence) return false;
  return !request.raw || read16(icmp + kIcmpIdentifierOffset) == request.identifier;
}

// An ICMP error message at `icmp` (`length` bytes to the packet's end): does it quote the request?
bool quotes_request(const EchoRequest& request, const std::uint8_t* icmp, std::size_t length) {
  const std::uint8_t* quoted_ip = icmp + kIcmpQuoteOffset;
  const std::size_t quoted_length = length - kIcmpQuoteOffset;
  const std::size_t quoted_header = ipv4_header_length(quoted_ip, quoted_length);
  if (quoted_header == 0 || quoted_length < quoted_header + kIcmpHeaderSize) return false;
  const std::uint8_t* quoted_icmp = quoted_ip + quoted_header;
  return quoted_icmp[kIcmpTypeOffset] == kIcmpEchoRequest && ours(request, quoted_icmp);
}

}  // namespace

std::uint16_t internet_checksum(const std::uint8_t* data, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) sum += read16(data + i);
  if (length & 1) sum += static_cast<std::uint32_t>(data[length - 1]) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::size_t build_echo_request(std::uint8_t* packet, std::uint16_t identifier,
                               std::uint16_t sequence, const void* payload, std::size_t size) {
  packet[kIcmpTypeOffset] = kIcmpEchoRequest;
  packet[kIcmpCodeOffset] = 0;
  write16(packet + kIcmpChecksumOffset, 0);  // summed as zero, then replaced
  write16(packet + kIcmpIdentifierOffset, identifier);
  write16(packet + kIcmpSequenceOffset, sequence);
  if (size > 0) std::memcpy(packet + kIcmpHeaderSize, payload, size);
  const std::size_t length = kIcmpHeaderSize + size;
  write16(packet + kIcmpChecksumOffset, internet_checksum(packet, length));
  return length;
}

unsigned long icmp_error_status(std::uint8_t type, std::uint8_t code) {
  switch (type) {
    case kIcmpUnreachable:
      switch (code) {
        case 0: case 6: case 9: case 11: return kEchoNetUnreachable;
        case 2: return kEchoProtocolUnreachable;
        case 3: return kEchoPortUnreachable;
        default: return kEchoHostUnreachable;
      }
    case kIcmpTimeExceeded: return kEchoTtlExpired;
    case kIcmpParameterProblem: return kEchoParameterProblem;
    default: return kEchoGeneralFailure;
  }
}

IcmpOutcome classify_packet(const EchoRequest& request, const std::uint8_t* packet,
                            std::size_t length) {
  IcmpOutcome outcome{IcmpAnswer::kOther, 0, 0, 0};
  std::size_t offset = 0;
  if (request.raw) {
    offset = ipv4_header_length(packet, length);
    if (offset == 0) return outcome;
  }
  if (length < offset + kIcmpHeaderSize) return outcome;
  const std::uint8_t* icmp = packet + offset;
  const std::uint8_t type = icmp[kIcmpTypeOffset];
  if (type == kIcmpEchoReply) {
    if (!ours(request, icmp)) return outcome;
    outcome.answer = IcmpAnswer::kReply;
    outcome.data_offset = offset + kIcmpHeaderSize;
    outcome.data_size = length - outcome.data_offset;
    return outcome;
  }
  // A datagram socket's kernel queues the errors answering its requests on the error queue.
  if (request.raw && is_icmp_error(type) && quotes_request(request, icmp, length - offset)) {
    outcome.answer = IcmpAnswer::kError;
    outcome.status = icmp_error_status(type, icmp[kIcmpCodeOffset]);
  }
  return outcome;
}

IcmpOutcome classify_queued_error(const EchoRequest& request, const QueuedError& entry) {
  IcmpOutcome outcome{IcmpAnswer::kOther, 0, 0, 0};
  // The kernel queues only errors answering this socket's requests; one that quotes another
  // sequence answers an earlier request too late.
  if (entry.quoted_length >= kIcmpHeaderSize && entry.quoted[kIcmpTypeOffset] == kIcmpEchoRequest &&
      read16(entry.quoted + kIcmpSequenceOffset) != request.sequence) {
    return outcome;
  }
  outcome.answer = IcmpAnswer::kError;
  outcome.status = entry.from_icmp ? icmp_error_status(entry.type, entry.code) : entry.error_number;
  return outcome;
}

}  // namespace platform
