// The relay request and acknowledgement: bytes where the layout puts them, one form per request, every bad field refused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "common/relay_request.h"

namespace {

wake::RelayRequest SampleRequest() {
  wake::RelayRequest r;
  r.send = wake::kRelaySendAll;
  r.copies = 3;
  const std::uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  std::memcpy(r.mac, mac, 6);
  r.password_length = 4;
  const std::uint8_t password[4] = {0xA1, 0xA2, 0xA3, 0xA4};
  std::memcpy(r.password, password, 4);
  r.time = 0x0102030405060708ULL;
  for (int i = 0; i < 16; ++i) r.nonce[i] = static_cast<std::uint8_t>(0x80 + i);
  for (int i = 0; i < 8; ++i) r.key_id[i] = static_cast<std::uint8_t>(0xC0 + i);
  r.port_count = 2;
  r.ports[0] = 9;
  r.ports[1] = 0x1234;
  return r;
}

std::vector<std::uint8_t> Written(const wake::RelayRequest& r) {
  std::vector<std::uint8_t> bytes(wake::kRequestLength);
  wake::WriteRelayRequest(r, bytes.data());
  return bytes;
}

TEST(RelayRequest, FieldsStandWhereTheLayoutPutsThemInNetworkByteOrder) {
  const std::vector<std::uint8_t> b = Written(SampleRequest());
  const std::uint8_t head[] = {'T', 'W', 'R', 'E', 'L', 'A', 'Y', 'Q', 1, 3, 3, 4,
                               0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0xA1, 0xA2, 0xA3, 0xA4, 0, 0,
                               1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(0, std::memcmp(b.data(), head, sizeof head));
  EXPECT_EQ(0x80, b[32]);
  EXPECT_EQ(0x8F, b[47]);
  EXPECT_EQ(0xC0, b[48]);
  EXPECT_EQ(0xC7, b[55]);
  const std::uint8_t ports[] = {2, 0, 0x00, 0x09, 0x12, 0x34, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(b.data() + 56, ports, sizeof ports));
  for (std::size_t i = 66; i < wake::kRequestLength; ++i) EXPECT_EQ(0, b[i]) << "byte " << i;
}

TEST(RelayRequest, ReadsBackWhatWasWritten) {
  const wake::RelayRequest r = SampleRequest();
  const std::vector<std::uint8_t> b = Written(r);
  wake::RelayRequest back;
  ASSERT_EQ(wake::RelayForm::kWellFormed, wake::ReadRelayRequest(b.data(), b.size(), &back));
  EXPECT_EQ(b, Written(back));
  EXPECT_EQ(r.time, back.time);
  EXPECT_EQ(0x1234, back.ports[1]);
}

TEST(RelayRequest, RefusesEveryLengthButItsOwn) {
  std::vector<std::uint8_t> b = Written(SampleRequest());
  b.push_back(0);
  wake::RelayRequest r;
  for (std::size_t length = 0; length <= b.size(); ++length) {
    const wake::RelayForm form = wake::ReadRelayRequest(b.data(), length, &r);
    EXPECT_EQ(length == wake::kRequestLength ? wake::RelayForm::kWellFormed : wake::RelayForm::kWrongLength, form)
        << "length " << length;
  }
}

TEST(RelayRequest, RefusesEveryFieldOutOfItsRange) {
  using Change = std::function<void(std::vector<std::uint8_t>&)>;
  struct Case {
    const char* what;
    Change change;
    wake::RelayForm form;
  };
  const Case cases[] = {
      {"other tag", [](auto& b) { b[0] = 'X'; }, wake::RelayForm::kNotRelay},
      {"an acknowledgement's tag", [](auto& b) { b[7] = 'A'; }, wake::RelayForm::kNotRelay},
      {"version 2", [](auto& b) { b[8] = 2; }, wake::RelayForm::kWrongVersion},
      {"nothing to send", [](auto& b) { b[9] = 0; }, wake::RelayForm::kMalformed},
      {"an unknown send bit", [](auto& b) { b[9] = 7; }, wake::RelayForm::kMalformed},
      {"no copies", [](auto& b) { b[10] = 0; }, wake::RelayForm::kMalformed},
      {"17 copies", [](auto& b) { b[10] = 17; }, wake::RelayForm::kMalformed},
      {"password of 5", [](auto& b) { b[11] = 5; }, wake::RelayForm::kMalformed},
      {"byte past the password", [](auto& b) { b[22] = 1; }, wake::RelayForm::kMalformed},
      {"time's top bit", [](auto& b) { b[24] |= 0x80; }, wake::RelayForm::kMalformed},
      {"broadcast without a port", [](auto& b) { b[56] = 0; b[58] = b[59] = b[60] = b[61] = 0; },
       wake::RelayForm::kMalformed},
      {"five ports", [](auto& b) { b[56] = 5; }, wake::RelayForm::kMalformed},
      {"port 0 among the used", [](auto& b) { b[58] = b[59] = 0; }, wake::RelayForm::kMalformed},
      {"an unused port", [](auto& b) { b[65] = 1; }, wake::RelayForm::kMalformed},
      {"a port with frames only", [](auto& b) { b[9] = wake::kRelaySendFrame; }, wake::RelayForm::kMalformed},
      {"reserved byte", [](auto& b) { b[57] = 1; }, wake::RelayForm::kMalformed},
      {"padding", [](auto& b) { b[129] = 1; }, wake::RelayForm::kMalformed},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> b = Written(SampleRequest());
    c.change(b);
    wake::RelayRequest r;
    EXPECT_EQ(c.form, wake::ReadRelayRequest(b.data(), b.size(), &r)) << c.what;
  }
}

TEST(RelayRequest, FramesOnlyWithoutPortsAndWithoutPasswordAreWellFormed) {
  wake::RelayRequest r = SampleRequest();
  r.send = wake::kRelaySendFrame;
  r.port_count = 0;
  r.password_length = 0;
  const std::vector<std::uint8_t> b = Written(r);
  wake::RelayRequest back;
  EXPECT_EQ(wake::RelayForm::kWellFormed, wake::ReadRelayRequest(b.data(), b.size(), &back));
  // The writer keeps no stale password bytes past the length it writes.
  EXPECT_EQ(0, b[wake::kRequestPasswordOffset]);
}

wake::RelayAck SampleAck() {
  wake::RelayAck a;
  a.sent = wake::kRelaySendBroadcast;
  a.subnets = 5;
  a.listed = 4;
  const char* names[] = {"eth0", "a-name-of-16-byt", "lan", "x"};
  for (int i = 0; i < 4; ++i) {
    std::strcpy(a.destinations[i].name, names[i]);
    const std::uint8_t address[4] = {192, 0, 2, static_cast<std::uint8_t>(255 - i)};
    std::memcpy(a.destinations[i].address, address, 4);
  }
  a.port_count = 1;
  a.ports[0] = 9;
  a.datagrams = 0x01020304;
  for (int i = 0; i < 16; ++i) a.nonce[i] = static_cast<std::uint8_t>(i);
  for (int i = 0; i < 8; ++i) a.key_id[i] = static_cast<std::uint8_t>(0xC0 + i);
  return a;
}

std::vector<std::uint8_t> Written(const wake::RelayAck& a) {
  std::vector<std::uint8_t> bytes(wake::kAckLength);
  wake::WriteRelayAck(a, bytes.data());
  return bytes;
}

TEST(RelayAck, FieldsStandWhereTheLayoutPutsThem) {
  const std::vector<std::uint8_t> b = Written(SampleAck());
  const std::uint8_t head[] = {'T', 'W', 'R', 'E', 'L', 'A', 'Y', 'A', 1, 1, 0, 5, 4, 1, 0, 9, 0, 0, 0, 0, 0, 0,
                               1, 2, 3, 4};
  EXPECT_EQ(0, std::memcmp(b.data(), head, sizeof head));
  EXPECT_EQ(0, std::memcmp(b.data() + 50, "eth0\0\0\0\0\0\0\0\0\0\0\0\0\xC0\x00\x02\xFF", 20));
  // A name of the field's whole length has no terminator.
  EXPECT_EQ(0, std::memcmp(b.data() + 70, "a-name-of-16-byt\xC0\x00\x02\xFE", 20));
}

TEST(RelayAck, ReadsBackWhatWasWritten) {
  const std::vector<std::uint8_t> b = Written(SampleAck());
  wake::RelayAck back;
  ASSERT_EQ(wake::RelayForm::kWellFormed, wake::ReadRelayAck(b.data(), b.size(), &back));
  EXPECT_EQ(b, Written(back));
  EXPECT_STREQ("a-name-of-16-byt", back.destinations[1].name);
  wake::RelayRequest as_request;
  EXPECT_EQ(wake::RelayForm::kNotRelay, wake::ReadRelayRequest(b.data(), b.size(), &as_request));
}

TEST(RelayAck, RefusesWhatTheWriterNeverWrites) {
  using Change = std::function<void(std::vector<std::uint8_t>&)>;
  struct Case {
    const char* what;
    Change change;
  };
  const Case cases[] = {
      {"five listed", [](auto& b) { b[12] = 5; }},
      {"more listed than subnets", [](auto& b) { b[10] = 0; b[11] = 3; }},
      {"ports without a broadcast", [](auto& b) { b[9] = wake::kRelaySendFrame; }},
      {"a broadcast without ports", [](auto& b) { b[13] = 0; b[15] = 0; }},
      {"a byte after a name's end", [](auto& b) { b[50 + 10] = 'x'; }},
      {"an empty listed name", [](auto& b) { std::memset(&b[50 + 60], 0, 16); }},
      {"a slot past the listed ones", [](auto& b) { b[12] = 3; }},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> b = Written(SampleAck());
    c.change(b);
    wake::RelayAck a;
    EXPECT_EQ(wake::RelayForm::kMalformed, wake::ReadRelayAck(b.data(), b.size(), &a)) << c.what;
  }
}

}  // namespace
