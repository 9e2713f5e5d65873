// Tests of the ICMP packet unit: checksum vectors, the request's bytes, which received packets answer a request.
#include "platform/posix/icmp_packet.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/echo.h"

namespace {

using platform::IcmpAnswer;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kId = 0x1234;
constexpr std::uint16_t kSeq = 0x0007;
const platform::EchoRequest kRaw{true, kId, kSeq};
const platform::EchoRequest kDatagram{false, kId, kSeq};

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// An IPv4 header (protocol ICMP) whose IHL says `ihl` words; options, if any, are zero.
// A header whose IHL lies about its length is `size` bytes long.
Bytes Ip(std::uint8_t ihl = 5, std::size_t size = 0) {
  Bytes ip(size >= 20 ? size : ihl * 4u, 0);
  ip[0] = static_cast<std::uint8_t>(0x40 | ihl);
  ip[8] = 64;
  ip[9] = 1;
  return ip;
}

// An ICMP header; the checksum is left zero, as the classification does not read it.
Bytes Icmp(std::uint8_t type, std::uint8_t code, std::uint16_t id, std::uint16_t seq) {
  return {type, code, 0, 0, static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id),
          static_cast<std::uint8_t>(seq >> 8), static_cast<std::uint8_t>(seq)};
}

Bytes Reply(std::uint16_t id = kId, std::uint16_t seq = kSeq) { return Icmp(0, 0, id, seq); }
Bytes Request(std::uint16_t id = kId, std::uint16_t seq = kSeq) { return Icmp(8, 0, id, seq); }
const Bytes kData{'p', 'i', 'n', 'g', '!'};

TEST(InternetChecksum, MatchesKnownVectors) {
  const struct {
    Bytes data;
    std::uint16_t sum;
  } cases[] = {
      {{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}, 0x220D},  // RFC 1071's example
      {{0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,  // an IPv4 header
        0x00, 0x00, 0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0xC7},
       0xB861},
      {{0x00, 0x01, 0xF2}, 0x0DFE},  // odd length: the last byte is the high half of a word
      {{0xFF, 0xFF, 0x00, 0x01}, 0xFFFE},  // the carry folded back in
      {{}, 0xFFFF},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::internet_checksum(c.data.data(), c.data.size()), c.sum)
        << ::testing::PrintToString(c.data);
  }
}

TEST(BuildEchoRequest, WritesTheHeaderBigEndianAndAChecksumThatVerifies) {
  Bytes packet(11, 0xAA);
  ASSERT_EQ(platform::build_echo_request(packet.data(), 0x1234, 0xABCD, "abc", 3), 11u);
  EXPECT_EQ(packet, (Bytes{8, 0, 0x75, 0x9B, 0x12, 0x34, 0xAB, 0xCD, 'a', 'b', 'c'}));
  EXPECT_EQ(platform::internet_checksum(packet.data(), packet.size()), 0);
}

TEST(ClassifyPacket, ReadsEchoRepliesAndErrorsOnlyForTheRequest) {
  const struct {
    const char* name;
    const platform::EchoRequest& request;
    Bytes packet;
    IcmpAnswer answer;
    unsigned long status;      // kError
    std::size_t data_offset;   // kReply; the data runs to the packet's end
  } cases[] = {
      {"datagram reply", kDatagram, Reply() + kData, IcmpAnswer::kReply, 0, 8},
      {"datagram reply, identifier set by the kernel", kDatagram, Reply(0x4321), IcmpAnswer::kReply, 0, 8},
      {"datagram reply, another sequence", kDatagram, Reply(kId, kSeq + 1), IcmpAnswer::kOther, 0, 0},
      {"datagram header cut short", kDatagram, Bytes(7, 0), IcmpAnswer::kOther, 0, 0},
      {"datagram error packet (errors come by the queue)", kDatagram,
       Icmp(3, 1, 0, 0) + Ip() + Request(), IcmpAnswer::kOther, 0, 0},
      {"raw reply", kRaw, Ip() + Reply() + kData, IcmpAnswer::kReply, 0, 28},
      {"raw reply behind IP options", kRaw, Ip(6) + Reply(), IcmpAnswer::kReply, 0, 32},
      {"raw reply, another identifier", kRaw, Ip() + Reply(0x4321), IcmpAnswer::kOther, 0, 0},
      {"raw reply, another sequence", kRaw, Ip() + Reply(kId, kSeq - 1), IcmpAnswer::kOther, 0, 0},
      {"raw reply read as datagram", kDatagram, Ip() + Reply(), IcmpAnswer::kOther, 0, 0},
      {"raw, shorter than an IP header", kRaw, Bytes(19, 0x45), IcmpAnswer::kOther, 0, 0},
      {"raw, IHL beyond the length", kRaw, Ip(15, 20) + Reply() + kData, IcmpAnswer::kOther, 0, 0},
      // IHL 1 would put our reply inside the IP header.
      {"raw, IHL below 5", kRaw, Bytes{0x41, 0, 0, 28} + Reply() + Bytes(16, 0), IcmpAnswer::kOther,
       0, 0},
      {"raw, ICMP header cut short", kRaw, Ip() + Bytes{0, 0, 0, 0, 0x12, 0x34, 0}, IcmpAnswer::kOther, 0, 0},
      {"unreachable quoting ours", kRaw, Ip() + Icmp(3, 1, 0, 0) + Ip() + Request(), IcmpAnswer::kError,
       platform::kEchoHostUnreachable, 0},
      {"unreachable quoting ours behind IP options", kRaw, Ip() + Icmp(3, 0, 0, 0) + Ip(7) + Request(),
       IcmpAnswer::kError, platform::kEchoNetUnreachable, 0},
      {"unreachable quoting another identifier", kRaw, Ip() + Icmp(3, 1, 0, 0) + Ip() + Request(0x4321),
       IcmpAnswer::kOther, 0, 0},
      {"time exceeded quoting ours", kRaw, Ip() + Icmp(11, 0, 0, 0) + Ip() + Request(), IcmpAnswer::kError,
       platform::kEchoTtlExpired, 0},
      {"time exceeded quoting another sequence", kRaw, Ip() + Icmp(11, 0, 0, 0) + Ip() + Request(kId, 9),
       IcmpAnswer::kOther, 0, 0},
      {"parameter problem quoting ours", kRaw, Ip() + Icmp(12, 0, 0, 0) + Ip() + Request(),
       IcmpAnswer::kError, platform::kEchoParameterProblem, 0},
      {"error quoting a reply, not a request", kRaw, Ip() + Icmp(3, 1, 0, 0) + Ip() + Reply(),
       IcmpAnswer::kOther, 0, 0},
      {"redirect quoting ours (not an error we read)", kRaw, Ip() + Icmp(5, 0, 0, 0) + Ip() + Request(),
       IcmpAnswer::kOther, 0, 0},
      {"error, quoted echo header cut short", kRaw, Ip() + Icmp(3, 1, 0, 0) + Ip() + Bytes{8, 0, 0, 0, 0x12, 0x34, 0},
       IcmpAnswer::kOther, 0, 0},
      {"error, quoted IHL beyond the length", kRaw, Ip() + Icmp(3, 1, 0, 0) + Ip(15, 20) + Request(),
       IcmpAnswer::kOther, 0, 0},
      // Quoted IHL 2 would find our request inside the quoted IP header.
      {"error, quoted IHL below 5", kRaw, Ip() + Icmp(3, 1, 0, 0) + Bytes{0x42, 0, 0, 0, 0, 0, 0, 0} + Request() + Bytes(4, 0),
       IcmpAnswer::kOther, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes& packet = c.packet;
    const platform::IcmpOutcome outcome = platform::classify_packet(c.request, packet.data(), packet.size());
    EXPECT_EQ(outcome.answer, c.answer);
    EXPECT_EQ(outcome.status, c.status);
    if (c.answer == IcmpAnswer::kReply) {
      EXPECT_EQ(outcome.data_offset, c.data_offset);
      EXPECT_EQ(outcome.data_size, packet.size() - c.data_offset);
    }
  }
}

TEST(IcmpErrorStatus, MapsTypeAndCodeOntoTheEchoStatuses) {
  const struct {
    std::uint8_t type, code;
    unsigned long status;
  } cases[] = {
      {3, 0, platform::kEchoNetUnreachable},      {3, 6, platform::kEchoNetUnreachable},
      {3, 9, platform::kEchoNetUnreachable},      {3, 11, platform::kEchoNetUnreachable},
      {3, 1, platform::kEchoHostUnreachable},     {3, 13, platform::kEchoHostUnreachable},
      {3, 2, platform::kEchoProtocolUnreachable}, {3, 3, platform::kEchoPortUnreachable},
      {11, 1, platform::kEchoTtlExpired},         {12, 0, platform::kEchoParameterProblem},
      {5, 0, platform::kEchoGeneralFailure},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::icmp_error_status(c.type, c.code), c.status) << int(c.type) << "/" << int(c.code);
  }
}

TEST(ClassifyQueuedError, AnswersUnlessItQuotesAnotherRequest) {
  const Bytes ours = Request(0x4321);  // the kernel's identifier, not ours
  const Bytes late = Request(0x4321, kSeq - 1);
  const Bytes cut = Bytes(ours.begin(), ours.begin() + 7);
  const struct {
    const char* name;
    platform::QueuedError entry;
    IcmpAnswer answer;
    unsigned long status;
  } cases[] = {
      {"unreachable for ours", {true, 3, 3, 0, ours.data(), ours.size()}, IcmpAnswer::kError,
       platform::kEchoPortUnreachable},
      {"time exceeded for an earlier request", {true, 11, 0, 0, late.data(), late.size()},
       IcmpAnswer::kOther, 0},
      {"local failure for ours", {false, 0, 0, EMSGSIZE, ours.data(), ours.size()}, IcmpAnswer::kError,
       static_cast<unsigned long>(EMSGSIZE)},
      {"quote too short to tell", {true, 3, 1, 0, cut.data(), cut.size()}, IcmpAnswer::kError,
       platform::kEchoHostUnreachable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const platform::IcmpOutcome outcome = platform::classify_queued_error(kDatagram, c.entry);
    EXPECT_EQ(outcome.answer, c.answer);
    EXPECT_EQ(outcome.status, c.status);
  }
}

TEST(MatchPacket, NamesTheSequenceOfWhicheverRequestIsAnswered) {
  const Bytes quoted = Request(0x4321, 41);
  const Bytes unquoted = Bytes{3, 1, 0, 0};
  const struct {
    const char* name;
    bool raw;
    Bytes packet;
    IcmpAnswer answer;
    bool known;
    std::uint16_t sequence;
  } cases[] = {
      {"datagram reply", false, Reply(0x4321, 40) + kData, IcmpAnswer::kReply, true, 40},
      {"raw reply", true, Ip() + Reply(kId, 0xFFFF), IcmpAnswer::kReply, true, 0xFFFF},
      {"raw reply to another service", true, Ip() + Reply(0x4321, 40), IcmpAnswer::kOther, false, 0},
      {"raw error quoting ours", true, Ip() + Icmp(3, 1, 0, 0) + Ip() + Request(kId, 41), IcmpAnswer::kError, true, 41},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const platform::IcmpMatch match = platform::match_packet(c.raw, kId, c.packet.data(), c.packet.size());
    EXPECT_EQ(match.outcome.answer, c.answer);
    EXPECT_EQ(match.sequence_known, c.known);
    EXPECT_EQ(match.sequence, c.known ? c.sequence : 0);
  }
  const platform::IcmpMatch queued = platform::match_queued_error({true, 3, 1, 0, quoted.data(), quoted.size()});
  EXPECT_EQ(queued.outcome.answer, IcmpAnswer::kError);
  EXPECT_TRUE(queued.sequence_known);
  EXPECT_EQ(queued.sequence, 41);
  const platform::IcmpMatch bare = platform::match_queued_error({false, 0, 0, EMSGSIZE, unquoted.data(), unquoted.size()});
  EXPECT_EQ(bare.outcome.status, static_cast<unsigned long>(EMSGSIZE));
  EXPECT_FALSE(bare.sequence_known);
}

}  // namespace
