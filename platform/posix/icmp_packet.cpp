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

// The echo request an ICMP error message at `icmp` (`length` bytes to the packet's end)
// quotes, or nullptr when it quotes none.
const std::uint8_t* quoted_request(const std::uint8_t* icmp, std::size_t length) {
  if (length < kIcmpQuoteOffset) return nullptr;
  const std::uint8_t* quoted_ip = icmp + kIcmpQuoteOffset;
  const std::size_t quoted_length = length - kIcmpQuoteOffset;
  const std::size_t quoted_header = ipv4_header_length(quoted_ip, quoted_length);
  if (quoted_header == 0 || quoted_length < quoted_header + kIcmpHeaderSize) return nullptr;
  const std::uint8_t* quoted_icmp = quoted_ip + quoted_header;
  return quoted_icmp[kIcmpTypeOffset] == kIcmpEchoRequest ? quoted_icmp : nullptr;
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

IcmpMatch match_packet(bool raw, std::uint16_t identifier, const std::uint8_t* packet,
                       std::size_t length) {
  IcmpMatch match{IcmpOutcome{IcmpAnswer::kOther, 0, 0, 0}, false, 0};
  std::size_t offset = 0;
  if (raw) {
    offset = ipv4_header_length(packet, length);
    if (offset == 0) return match;
  }
  if (length < offset + kIcmpHeaderSize) return match;
  const std::uint8_t* icmp = packet + offset;
  const std::uint8_t type = icmp[kIcmpTypeOffset];
  if (type == kIcmpEchoReply) {
    if (raw && read16(icmp + kIcmpIdentifierOffset) != identifier) return match;
    match.outcome.answer = IcmpAnswer::kReply;
    match.outcome.data_offset = offset + kIcmpHeaderSize;
    match.outcome.data_size = length - match.outcome.data_offset;
    match.sequence_known = true;
    match.sequence = read16(icmp + kIcmpSequenceOffset);
    return match;
  }
  // A datagram socket's kernel queues the errors answering its requests on the error queue.
  if (!raw || !is_icmp_error(type)) return match;
  const std::uint8_t* quoted_icmp = quoted_request(icmp, length - offset);
  if (quoted_icmp == nullptr || read16(quoted_icmp + kIcmpIdentifierOffset) != identifier) {
    return match;
  }
  match.outcome.answer = IcmpAnswer::kError;
  match.outcome.status = icmp_error_status(type, icmp[kIcmpCodeOffset]);
  match.sequence_known = true;
  match.sequence = read16(quoted_icmp + kIcmpSequenceOffset);
  return match;
}

IcmpOutcome classify_packet(const EchoRequest& request, const std::uint8_t* packet,
                            std::size_t length) {
  const IcmpMatch match = match_packet(request.raw, request.identifier, packet, length);
  if (match.outcome.answer != IcmpAnswer::kOther && match.sequence != request.sequence) {
    return IcmpOutcome{IcmpAnswer::kOther, 0, 0, 0};
  }
  return match.outcome;
}

IcmpMatch match_queued_error(const QueuedError& entry) {
  IcmpMatch match{IcmpOutcome{IcmpAnswer::kError, 0, 0, 0}, false, 0};
  match.outcome.status =
      entry.from_icmp ? icmp_error_status(entry.type, entry.code) : entry.error_number;
  if (entry.quoted_length >= kIcmpHeaderSize && entry.quoted[kIcmpTypeOffset] == kIcmpEchoRequest) {
    match.sequence_known = true;
    match.sequence = read16(entry.quoted + kIcmpSequenceOffset);
  }
  return match;
}

IcmpOutcome classify_queued_error(const EchoRequest& request, const QueuedError& entry) {
  // The kernel queues only errors answering this socket's requests; one that quotes another
  // sequence answers an earlier request too late.
  const IcmpMatch match = match_queued_error(entry);
  if (match.sequence_known && match.sequence != request.sequence) {
    return IcmpOutcome{IcmpAnswer::kOther, 0, 0, 0};
  }
  return match.outcome;
}

}  // namespace platform
