// Fuzzes the POSIX echo service's reading of received ICMP packets: any bytes, raw and datagram layouts, two identifiers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/echo.h"
#include "platform/posix/icmp_packet.h"

namespace {

using platform::IcmpAnswer;
using platform::IcmpOutcome;

bool IsErrorStatus(unsigned long status) {
  return status == platform::kEchoNetUnreachable || status == platform::kEchoHostUnreachable ||
         status == platform::kEchoProtocolUnreachable || status == platform::kEchoPortUnreachable ||
         status == platform::kEchoTtlExpired || status == platform::kEchoParameterProblem;
}

std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

// What any outcome must hold, whatever the bytes.
void CheckOutcome(const platform::EchoRequest& request, const std::vector<std::uint8_t>& packet,
                  const IcmpOutcome& outcome) {
  switch (outcome.answer) {
    case IcmpAnswer::kOther:
      fuzz::Check(outcome.status == 0 && outcome.data_offset == 0 && outcome.data_size == 0);
      break;
    case IcmpAnswer::kReply: {
      // The data ends where the packet does and follows an echo reply header of ours.
      fuzz::Check(outcome.data_offset + outcome.data_size == packet.size());
      const std::size_t icmp = outcome.data_offset - platform::kIcmpHeaderSize;
      fuzz::Check(request.raw ? icmp >= platform::kIpv4MinHeaderSize && icmp <= platform::kIpv4MaxHeaderSize
                              : icmp == 0);
      fuzz::Check(packet[icmp] == platform::kIcmpEchoReply);
      fuzz::Check(Read16(&packet[icmp + platform::kIcmpSequenceOffset]) == request.sequence);
      fuzz::Check(!request.raw ||
                  Read16(&packet[icmp + platform::kIcmpIdentifierOffset]) == request.identifier);
      break;
    }
    case IcmpAnswer::kError:
      // A datagram socket reads its errors from the error queue, never as packets.
      fuzz::Check(request.raw && IsErrorStatus(outcome.status));
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Input layout: identifier (2 bytes), sequence (2), then the packet as the socket read it.
  const auto identifier = static_cast<std::uint16_t>(fuzz::Take(data, size, 2));
  const auto sequence = static_cast<std::uint16_t>(fuzz::Take(data, size, 2));
  // A copy of exactly the packet's bytes, so a read beyond them is caught.
  const std::vector<std::uint8_t> packet(data, data + size);

  // Our identifier and another process's: a raw socket sees the replies of both.
  const std::uint16_t other = static_cast<std::uint16_t>(identifier ^ 0x8001);
  IcmpOutcome outcomes[2][2];
  for (int raw = 0; raw < 2; ++raw) {
    for (int id = 0; id < 2; ++id) {
      const platform::EchoRequest request{raw == 1, id == 0 ? identifier : other, sequence};
      outcomes[raw][id] = platform::classify_packet(request, packet.data(), packet.size());
      CheckOutcome(request, packet, outcomes[raw][id]);
    }
  }
  // The identifier decides nothing on a datagram socket, and on a raw socket a packet cannot
  // answer two identifiers.
  fuzz::Check(outcomes[0][0].answer == outcomes[0][1].answer &&
              outcomes[0][0].data_size == outcomes[0][1].data_size);
  fuzz::Check(outcomes[1][0].answer == IcmpAnswer::kOther || outcomes[1][1].answer == IcmpAnswer::kOther);

  // The same bytes as an error-queue entry's quote, its origin from the first bytes.
  const std::size_t quoted = packet.size() < 64 ? packet.size() : 64;
  const platform::QueuedError entry{packet.size() > 0 && (packet[0] & 1) != 0,
                                    packet.size() > 1 ? packet[1] : std::uint8_t{0},
                                    packet.size() > 2 ? packet[2] : std::uint8_t{0}, 90,
                                    packet.data(), quoted};
  const platform::EchoRequest datagram{false, identifier, sequence};
  const IcmpOutcome queued = platform::classify_queued_error(datagram, entry);
  const bool late = quoted >= platform::kIcmpHeaderSize && packet[0] == platform::kIcmpEchoRequest &&
                    Read16(&packet[platform::kIcmpSequenceOffset]) != sequence;
  fuzz::Check((queued.answer == IcmpAnswer::kOther) == late);

  // The bytes as a request's payload: the built request verifies, and its echo is our reply
  // with the payload unchanged.
  std::vector<std::uint8_t> request(platform::kIcmpHeaderSize + packet.size());
  const std::size_t length = platform::build_echo_request(request.data(), identifier, sequence,
                                                          packet.data(), packet.size());
  fuzz::Check(length == request.size());
  fuzz::Check(platform::internet_checksum(request.data(), length) == 0);
  request[platform::kIcmpTypeOffset] = platform::kIcmpEchoReply;
  const IcmpOutcome echoed = platform::classify_packet(datagram, request.data(), length);
  fuzz::Check(echoed.answer == IcmpAnswer::kReply && echoed.data_size == packet.size());
  fuzz::Check(packet.empty() ||
              std::memcmp(request.data() + echoed.data_offset, packet.data(), packet.size()) == 0);
  return 0;
}
