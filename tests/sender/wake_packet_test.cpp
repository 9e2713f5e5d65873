// Tests of the wake packets: the bytes of every kind, destinations, and sends on the loopback.
#include "sender/wake_packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/wake_packet.h"
#include "platform/sockets.h"
#include "sender/message_box.h"
#include "sender/program.h"
#include "tests/sender/loopback_receiver.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::uint8_t kMac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

Bytes Compose(int kind, int header_length) {
  std::uint8_t buffer[wake::kMaxDatagramLength + 8];
  std::memset(buffer, 0xA5, sizeof buffer);  // anything left undefined shows up as 0xA5
  std::size_t length = ComposeWakePacket(kind, header_length, kMac, buffer);
  EXPECT_EQ(buffer[wake::kMaxDatagramLength], 0xA5) << "written past the largest datagram";
  return Bytes(buffer, buffer + length);
}

Bytes Header(const char* tag, std::uint8_t length) {
  Bytes header;
  for (int i = 0; i < 8; ++i) header.push_back(static_cast<std::uint8_t>(tag[i]));
  header.push_back(length);
  header.resize(16, 0);
  return header;
}

// Six 0xFF, then `copies` copies of the MAC, then `trailing` zero bytes.
Bytes Body(int copies, int trailing) {
  Bytes body(6, 0xFF);
  for (int i = 0; i < copies * 6; ++i) body.push_back(kMac[i % 6]);
  body.resize(body.size() + static_cast<std::size_t>(trailing), 0);
  return body;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ComposeWakePacket, AllSixDatagrams) {
  struct Case {
    int kind;
    int header_length;
    Bytes expected;
  } const cases[] = {
      {wake::kSendBroadcastMagic, 16, Concat(Header("KESTRAVA", 118), Body(16, 0))},
      {wake::kSendBroadcastMagic, 0, Body(16, 0)},
      {wake::kSendShortUnsuspend, 16, Concat(Header("KESTRAV2", 28), Body(1, 0))},
      {wake::kSendShortUnsuspend, 0, Body(1, 0)},
      {wake::kSendDirectMagic, 16, Concat(Header("KESTRAV4", 120), Body(16, 2))},
      {wake::kSendDirectMagic, 0, Body(16, 2)},
  };
  const std::size_t lengths[] = {118, 102, 28, 12, 120, 104};
  int i = 0;
  for (const Case& c : cases) {
    const Bytes got = Compose(c.kind, c.header_length);
    EXPECT_EQ(got.size(), lengths[i++]);
    EXPECT_EQ(got, c.expected) << "kind " << c.kind << " header " << c.header_length;
    // The listener reads the MAC at H + 6.
    ASSERT_GE(got.size(), static_cast<std::size_t>(c.header_length + 12));
    EXPECT_EQ(0, std::memcmp(got.data() + c.header_length + 6, kMac, 6));
  }
}

TEST(ComposeWakePacket, RefusesUnknownKindsAndHeaderLengths) {
  const int kinds[] = {0, 3, 5, 6, 7, 8, -1};
  for (int kind : kinds) EXPECT_TRUE(Compose(kind, 16).empty()) << kind;
  EXPECT_TRUE(Compose(wake::kSendBroadcastMagic, 8).empty());
  EXPECT_TRUE(Compose(wake::kSendBroadcastMagic, -16).empty());
}

// A password goes after the 16th MAC copy (before the direct packet's two trailing bytes); the
// sequence number into header bytes 12-15, little-endian, and nowhere without the header.
TEST(ComposeWakePacket, PasswordAndSequenceNumber) {
  const std::uint8_t password[6] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
  const Bytes pw4(password, password + 4), pw6(password, password + 6);
  struct Case {
    int kind;
    int header_length;
    WakeExtras extras;
    Bytes expected;  // empty: refused
  } const cases[] = {
      {1, 16, {0x01020304, nullptr, 0}, Concat(Header("KESTRAVA", 118), Body(16, 0))},
      {1, 0, {7, password, 6}, Concat(Body(16, 0), pw6)},
      // The largest datagram of all.
      {4, 16, {2, password, 6}, Concat(Concat(Concat(Header("KESTRAV4", 126), Body(16, 0)), pw6), Bytes(2, 0))},
      {4, 0, {0, password, 4}, Concat(Concat(Body(16, 0), pw4), Bytes(2, 0))},
      {2, 16, {0, password, 4}, {}},
      {1, 16, {0, password, 5}, {}},
  };
  for (const Case& c : cases) {
    std::uint8_t buffer[wake::kMaxDatagramLength + 8];
    std::memset(buffer, 0xA5, sizeof buffer);
    const std::size_t length = ComposeWakePacket(c.kind, c.header_length, kMac, c.extras, buffer);
    Bytes expected = c.expected;
    if (c.header_length == 16 && !expected.empty()) {
      for (int i = 0; i < 4; ++i) expected[12 + i] = static_cast<std::uint8_t>(c.extras.sequence >> (8 * i));
    }
    EXPECT_EQ(Bytes(buffer, buffer + length), expected) << "kind " << c.kind << " password " << c.extras.password_length;
    EXPECT_EQ(buffer[wake::kMaxDatagramLength], 0xA5) << "written past the largest datagram";
  }
}

std::uint32_t Ip(std::uint32_t host_order) { return htonl(host_order); }

TEST(BroadcastAddress, AddressAndMaskOrNotMask) {
  struct Case {
    std::uint32_t address, mask, expected;
  } const cases[] = {
      {0xC0A80114, 0xFFFFFF00, 0xC0A801FF},  // 192.168.1.20/24 -> 192.168.1.255
      {0xC0A80114, 0x00000000, 0xFFFFFFFF},  // no mask: the limited broadcast
      {0xC0A80114, 0xFFFFFFFF, 0xC0A80114},  // full mask: the target itself
      {0x0A010203, 0xFFFF0000, 0x0A01FFFF},
      {0x0A010203, 0xFF00FF00, 0x0AFF02FF},  // bit by bit, contiguous or not
      {0xC0000214, 0xFFFFFFFC, 0xC0000217},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BroadcastAddress(Ip(c.address), Ip(c.mask)), Ip(c.expected));
  }
}

TEST(DestinationPort, LowSixteenBitsInNetworkOrder) {
  struct Case {
    std::int32_t port;
    std::uint16_t expected;
  } const cases[] = {{1778, 1778}, {70000, 4464}, {65535, 65535}, {65536, 0}, {-1, 65535}, {0, 0}};
  for (const Case& c : cases) EXPECT_EQ(DestinationPort(c.port), htons(c.expected)) << c.port;
  const std::uint16_t port = DestinationPort(1778);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&port);
  EXPECT_EQ(bytes[0], 0x06);
  EXPECT_EQ(bytes[1], 0xF2);
}

// --- sends on the loopback: the full mask makes the broadcast destination the target itself ---

struct Box {
  platform::Window owner;
  std::string text, caption;
  unsigned type;
};
std::vector<Box> g_boxes;

int RecordBox(platform::Window owner, const char* text, const char* caption, unsigned type) {
  g_boxes.push_back({owner, text, caption, type});
  return 1;
}

class LoopbackSend : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    g_boxes.clear();
    SetMessageBoxHost(RecordBox);
    g_program.main_dialog = &dialog_;
    ASSERT_NE(receiver_.port(), 0);
    g_program.sender.port = receiver_.port();
  }
  void TearDown() override { ResetProgramState(); }
  void Send(std::int32_t flags) { SendWakePackets(flags, Ip(0x7F000001), 0xFFFFFFFF, kMac); }

  LoopbackReceiver receiver_;
  int dialog_ = 0;
};

TEST_F(LoopbackSend, EachCallerFlagSendsOneComposedDatagram) {
  for (int header_length : {16, 0}) {
    g_program.sender.header_length = header_length;
    for (int flag : {1, 2, 4}) {
      Send(flag);
      const std::vector<Bytes> got = receiver_.Take();
      ASSERT_EQ(got.size(), 1u) << flag;
      EXPECT_EQ(got[0], Compose(flag, header_length)) << flag;
    }
  }
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(LoopbackSend, SeveralFlagsSendBroadcastFirstThenOnePlainDatagram) {
  Send(1 | 2);
  std::vector<Bytes> got = receiver_.Take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], Concat(Header("KESTRAVA", 118), Body(16, 0)));
  EXPECT_EQ(got[1], Concat(Header("KESTRAV2", 28), Body(1, 0)));
  Send(2 | 4);
  got = receiver_.Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], Concat(Header("KESTRAV4", 120), Body(16, 2)));
  Send(0);
  EXPECT_TRUE(receiver_.Take().empty());
}

TEST_F(LoopbackSend, OnlyTheLowSixteenBitsOfThePortCount) {
  g_program.sender.port = receiver_.port() + 65536;
  Send(4);
  EXPECT_EQ(receiver_.Take().size(), 1u);
  EXPECT_TRUE(g_boxes.empty());
}

// Port 0 (a setting of 65536) is refused by the stack: every failed send shows its box, with
// the owner the caption calls for and the text of the error just left by the send.
TEST_F(LoopbackSend, FailedSendsShowTheirBoxes) {
  struct Case {
    std::int32_t flags;
    std::vector<std::string> captions;
    bool owned_by_dialog;
  } const cases[] = {
      {1, {"SendMagic err"}, false},
      {2, {"SendUnsuspended err"}, true},
      {4, {"SendDirect err"}, true},
      {1 | 2, {"SendMagic err"}, false},  // the plain send's outcome is only examined alone
      {2 | 4, {}, false},
  };
  g_program.sender.port = 65536;
  for (const Case& c : cases) {
    g_boxes.clear();
    Send(c.flags);
    ASSERT_EQ(g_boxes.size(), c.captions.size()) << c.flags;
    for (std::size_t i = 0; i < c.captions.size(); ++i) {
      EXPECT_EQ(g_boxes[i].caption, c.captions[i]);
      EXPECT_EQ(g_boxes[i].text, "WSAEINVAL");
      EXPECT_EQ(g_boxes[i].owner, c.owned_by_dialog ? static_cast<platform::Window>(&dialog_) : nullptr);
      EXPECT_EQ(g_boxes[i].type, platform::kMessageBoxOk);
    }
  }
  EXPECT_TRUE(receiver_.Take().empty());
}

}  // namespace
