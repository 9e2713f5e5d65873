// Tests of the address helpers: MAC and IPv4 parsers and formatters, the strict readers, the interface rules.
#include "platform/sockets.h"
#include "sender/address.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/number.h"
#include "tests/fakes/fake_interfaces.h"

namespace {

using Mac = std::array<std::uint8_t, 6>;

Mac Parse(const char* text) {
  Mac out;
  out.fill(0xEE);  // the parser must clear what it does not write
  std::uint8_t* result = ParseMacAddress(text, out.data());
  EXPECT_EQ(result, out.data());
  return out;
}

Mac ParseW(const char16_t* text) {
  Mac out;
  out.fill(0xEE);
  ParseMacAddressW(text, out.data());
  return out;
}

std::array<std::uint8_t, 4> BytesOf(std::uint32_t address) {
  std::array<std::uint8_t, 4> bytes;
  std::memcpy(bytes.data(), &address, 4);
  return bytes;
}

std::uint32_t FromBytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  const std::uint8_t bytes[4] = {a, b, c, d};
  std::uint32_t address;
  std::memcpy(&address, bytes, 4);
  return address;
}

struct MacCase {
  const char* text;
  Mac expected;
};

TEST(ParseMacAddress, ReadsGroupsAsTheWalkAllows) {
  const MacCase cases[] = {
      {"00-0c-29-AB-cd-EF", {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}},
      {"00:0C:29:ab:CD:ef", {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}},
      {"aa-Bb:cC", {0xAA, 0xBB, 0xCC, 0, 0, 0}},              // separators mixed
      {"0:1:2:3:4:5", {0, 1, 2, 3, 4, 5}},                    // one-digit groups
      {"AA:BB", {0xAA, 0xBB, 0, 0, 0, 0}},                    // missing groups stay 0
      {"::AA", {0, 0, 0xAA, 0, 0, 0}},                        // empty groups give 0
      {"AA:BB:CC:DD:EE:FF:11", {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},  // seventh ignored
      {"1:2:3:4:5:6:", {1, 2, 3, 4, 5, 6}},
      {"001122334455", {0xFF, 0, 0, 0, 0, 0}},                // saturates at 0x7FFFFFFF
      {"7FFFFFFF", {0xFF, 0, 0, 0, 0, 0}},
      {"80000000", {0xFF, 0, 0, 0, 0, 0}},
      {"123:45", {0x23, 0x45, 0, 0, 0, 0}},                   // low 8 bits of a long group
      {"AA BB", {0xAA, 0, 0, 0, 0, 0}},                       // a space ends the walk
      {"AA--BB", {0xAA, 0x45, 0xBB, 0, 0, 0}},                // "-BB" read as a negative group
      {"AA:-BB", {0xAA, 0x45, 0xBB, 0, 0, 0}},
      {"-01:02", {0xFF, 0x01, 0x02, 0, 0, 0}},
      {"-7F", {0x81, 0x7F, 0, 0, 0, 0}},                      // '-' also closes the group
      {"-80000000", {0x00, 0xFF, 0, 0, 0, 0}},                // the most negative value
      {"-FFFFFFFFFF", {0x00, 0xFF, 0, 0, 0, 0}},              // saturates at the negative end
      {"0x1F:22", {0x1F, 0, 0, 0, 0, 0}},                     // prefix read, walk ends at x
      {"G1:22", {0, 0, 0, 0, 0, 0}},
      {"\xC3\xA9:11", {0, 0, 0, 0, 0, 0}},                    // bytes above 0x7F are no digits
      {"", {0, 0, 0, 0, 0, 0}},
      {nullptr, {0, 0, 0, 0, 0, 0}},
  };
  for (const MacCase& c : cases) {
    EXPECT_EQ(Parse(c.text), c.expected) << (c.text ? c.text : "(none)");
  }
}

TEST(ParseMacAddress, StaysLinearOnVeryLongGroups) {
  EXPECT_EQ(Parse(std::string(200000, 'F').c_str()), (Mac{0xFF, 0, 0, 0, 0, 0}));
}

TEST(ParseMacAddressW, UsesColonOnlyAndSixteenBitText) {
  struct Case {
    const char16_t* text;
    Mac expected;
  } const cases[] = {
      {u"00:0c:29:AB:cd:EF", {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}},
      {u"00-11-22-33-44-55", {0, 0, 0, 0, 0, 0}},  // '-' ends the walk after a 0 group
      {u"AB-CD", {0xAB, 0, 0, 0, 0, 0}},
      {u"001122334455", {0xFF, 0, 0, 0, 0, 0}},
      {u"AA\u0141:BB", {0xAA, 0, 0, 0, 0, 0}},    // a character whose low byte is 'A' is not 'A'
      {u"\u0661\u0662", {0, 0, 0, 0, 0, 0}},      // digits of other scripts are not read
      {u"", {0, 0, 0, 0, 0, 0}},
      {nullptr, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseW(c.text), c.expected);
}

TEST(IsHexDigit, AcceptsExactlyTheTwentyTwoDigits) {
  const std::string digits = "0123456789ABCDEFabcdef";
  for (int c = -300; c <= 0x10FFFF; c += (c < 512 ? 1 : 977)) {
    const bool expected = c > 0 && c < 128 && digits.find(static_cast<char>(c)) != std::string::npos;
    EXPECT_EQ(IsHexDigit(c), expected) << c;
  }
}

struct IpCase {
  const char* text;
  std::array<std::uint8_t, 4> bytes;
  std::uint32_t reversed;
};

TEST(ParseIpAddress, FillsBytesInMemoryOrder) {
  const IpCase cases[] = {
      {"192.168.1.20", {0xC0, 0xA8, 0x01, 0x14}, 0xC0A80114},
      {"300.1.1.1", {44, 1, 1, 1}, 0x2C010101},          // low 8 bits, no range check
      {"1.2.3", {1, 2, 3, 0}, 0x01020300},
      {"1.2.3.4.5", {1, 2, 3, 4}, 0x01020304},           // the walk ends after the fourth '.'
      {"10.1.2.3 ", {10, 1, 2, 3}, 0x0A010203},
      {".1.2.3", {0, 1, 2, 3}, 0x00010203},
      {"1..2.3", {1, 0, 2, 3}, 0x01000203},
      {"99999999999.1.1.1", {0xFF, 1, 1, 1}, 0xFF010101}, // saturates at 0x7FFFFFFF
      {"1.2.3.4x", {1, 2, 3, 4}, 0x01020304},
      {"-1.2.3.4", {0, 0, 0, 0}, 0},                     // a sign is not part of a dotted text
      {"a.1.2.3", {0, 0, 0, 0}, 0},
      {"", {0, 0, 0, 0}, 0},
  };
  for (const IpCase& c : cases) {
    EXPECT_EQ(BytesOf(ParseIpAddress(c.text)), c.bytes) << c.text;
    EXPECT_EQ(ParseIpAddressReversed(c.text), c.reversed) << c.text;
    const std::u16string wide(c.text, c.text + std::strlen(c.text));
    EXPECT_EQ(BytesOf(ParseIpAddressW(wide.c_str())), c.bytes) << c.text;
  }
  EXPECT_EQ(BytesOf(ParseIpAddressW(u"1.2\u0663.4")), (std::array<std::uint8_t, 4>{1, 2, 0, 0}));
  EXPECT_EQ(ParseIpAddress(nullptr), 0u);
  EXPECT_EQ(ParseIpAddressReversed(nullptr), 0u);
  EXPECT_EQ(ParseIpAddressW(nullptr), 0u);
}

TEST(Formatters, WriteTheFixedTextForms) {
  const Mac mac = {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF};
  char out[18];
  EXPECT_EQ(FormatMacAddress(out, mac.data()), out);
  EXPECT_STREQ(out, "00:0C:29:AB:CD:EF");
  const std::pair<std::uint32_t, const char*> cases[] = {
      {FromBytes(0xC0, 0xA8, 0x01, 0x14), "192.168.1.20"}, {0, "0.0.0.0"},
      {0xFFFFFFFF, "255.255.255.255"}, {FromBytes(10, 0, 0, 255), "10.0.0.255"}};
  for (const auto& c : cases) {
    EXPECT_EQ(FormatIpAddress(out, c.first), out);
    EXPECT_STREQ(out, c.second);
    char16_t wide[16];
    EXPECT_EQ(std::u16string(FormatIpAddressW(wide, c.first)),
              std::u16string(c.second, c.second + std::strlen(c.second)));
  }
}

// Two consecutive results stay valid together; the third overwrites the first. Each formatter
// has its own pair and turn, and a call with the caller's buffer takes no turn.
TEST(StaticBuffers, AlternatePerFormatter) {
  const Mac m1 = {1, 1, 1, 1, 1, 1}, m2 = {2, 2, 2, 2, 2, 2}, m3 = {3, 3, 3, 3, 3, 3};
  char own[18];
  const char* a = FormatMacAddress(nullptr, m1.data());
  FormatIpAddress(nullptr, 0x01010101);  // another formatter's turn
  FormatIpAddressW(nullptr, 0x01010101);
  FormatMacAddress(own, m3.data());      // the caller's buffer
  const char* b = FormatMacAddress(nullptr, m2.data());
  EXPECT_NE(a, b);
  EXPECT_STREQ(a, "01:01:01:01:01:01");
  EXPECT_EQ(FormatMacAddress(nullptr, m3.data()), a);
  EXPECT_STREQ(a, "03:03:03:03:03:03");
  EXPECT_STREQ(b, "02:02:02:02:02:02");

  const char* i1 = FormatIpAddress(nullptr, FromBytes(1, 2, 3, 4));
  const char* i2 = FormatIpAddress(nullptr, FromBytes(5, 6, 7, 8));
  EXPECT_EQ(FormatIpAddress(nullptr, FromBytes(9, 9, 9, 9)), i1);
  EXPECT_STREQ(i2, "5.6.7.8");

  const char16_t* w1 = FormatIpAddressW(nullptr, FromBytes(1, 2, 3, 4));
  const char16_t* w2 = FormatIpAddressW(nullptr, FromBytes(5, 6, 7, 8));
  EXPECT_EQ(FormatIpAddressW(nullptr, 0), w1);
  EXPECT_EQ(std::u16string(w2), u"5.6.7.8");
}

TEST(IsDottedQuad, CountsDotsAndAcceptsOnlyDigits) {
  struct Case {
    const char* text;
    bool expected;
  } const cases[] = {
      {"192.168.1.20", true}, {"...", true},       {"999.1.2.3", true},  {"1..2.", true},
      {"", false},            {"1.2.3.4.", false}, {"1.2.3", false},     {"pc-12", false},
      {" 1.2.3.4", false},    {"1.2.3.4 ", false}, {"1.2.3.a", false},   {"1.2.3.-4", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsDottedQuad(c.text), c.expected) << '"' << c.text << '"';
  EXPECT_FALSE(IsDottedQuad(nullptr));
}

// The strict readers take what /MAC= and /To= are written as, and nothing else.
TEST(ReadMacText, SixGroupsOfOneOrTwoDigitsAndNothingElse) {
  Mac out{};
  ASSERT_TRUE(wake::ReadMacText("00-0c-29-AB:cd:E", out.data()));
  EXPECT_EQ(out, (Mac{0x00, 0x0C, 0x29, 0xAB, 0xCD, 0x0E}));
  const char* bad[] = {"00:11:22:33:44",     "00:11:22:33:44:55:66", "001122334455", "000:11:22:33:44:55",
                       "00::22:33:44:55",    "00:11:22:33:44:5g",    "00:11:22:33:44:55 ", "-1:2:3:4:5:6",
                       "00.11.22.33.44.55",  ""};
  for (const char* text : bad) EXPECT_FALSE(wake::ReadMacText(text, out.data())) << text;
  EXPECT_FALSE(wake::ReadMacText(nullptr, out.data()));
}

TEST(FindInterface, ByNameThenFoldedNameThenAddress) {
  platform::InterfaceRecord records[] = {
      fake_ipv4_record("lo", 0x15, 0x7F000001, 0xFF000000, 1),
      fake_ipv4_record("Lan", 0x13, 0xC000020A, 0xFFFFFF00, 2),
      fake_ipv4_record("lan", 0x13, 0xC633640A, 0xFFFFFF00, 3),
      fake_ipv4_record("Ethernet 2", 0x12, 0xCB00710A, 0xFFFFFF00, 4),  // down
      {5, "lan", 0x13, {6, {0xfe, 0x80}}, 64, 0, 0},                     // an IPv6 record: never /Interface's
      {7, "wg0", 0x11, {0, {}}, 0, 0, 0},                                 // an interface without IPv4
  };
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"lan", 2},  {"Lan", 1}, {"LAN", 1}, {"ethernet 2", 3}, {"198.51.100.10", 2}, {"192.0.2.10", 1},
      {"192.0.2.11", -1}, {"la", -1}, {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(FindInterface(records, 6, c.text), c.expected) << c.text;
  EXPECT_EQ(FindInterface(records, 6, nullptr), -1);
  EXPECT_EQ(FindInterface(records, 6, "wg0"), -1);

  // The subnet that holds an address, among the interfaces that are up.
  const struct {
    std::uint32_t address;
    int expected;
  } subnets[] = {{0xC0000214, 1}, {0xC63364FF, 2}, {0x7F000009, 0}, {0xCB007114, -1}, {0x08080808, -1}};
  for (const auto& c : subnets) EXPECT_EQ(InterfaceOfSubnet(records, 6, htonl(c.address)), c.expected);

  // A scope names any interface, an IPv6 address's record first, by name or index; a number
  // that no interface has, or that a scope's 32 bits cannot hold, names none.
  const struct {
    const char* scope;
    unsigned expected;
  } scopes[] = {{"lan", 5}, {"LAN", 5}, {"Ethernet 2", 4}, {"wg0", 7}, {"WG0", 7}, {"7", 7}, {"2", 2},
                {"12", 0}, {"0", 0}, {"4294967298", 0}, {"4294967303", 0}, {"nosuch", 0}, {"", 0}};
  for (const auto& c : scopes) EXPECT_EQ(ScopeIndex(records, 6, c.scope), c.expected) << c.scope;
}

// --- the netmask rule, over a fake interface list ---

constexpr std::uint32_t kUp = platform::kInterfaceUp, kBroadcast = platform::kInterfaceBroadcast,
                        kLoopback = platform::kInterfaceLoopback,
                        kPointToPoint = platform::kInterfacePointToPoint,
                        kMulticast = platform::kInterfaceMulticast;

std::uint32_t Mask(std::uint32_t host_order) { return htonl(host_order); }

platform::InterfaceRecord Record(std::uint32_t flags, std::uint32_t mask_host_order) {
  return fake_ipv4_record("", flags, 0, mask_host_order, 0);
}

TEST(GetLocalNetmask, ChoosesFromThePlatformList) {
  const platform::InterfaceRecord lo = Record(kUp | kLoopback | kMulticast, 0xFF000000);
  const platform::InterfaceRecord eth24 = Record(kUp | kBroadcast | kMulticast, 0xFFFFFF00);
  const platform::InterfaceRecord eth16 = Record(kUp | kBroadcast | kMulticast, 0xFFFF0000);
  const platform::InterfaceRecord eth_ptp = Record(kUp | kBroadcast | kMulticast | kPointToPoint, 0xFFFFFFFC);
  const platform::InterfaceRecord eth_lo = Record(kUp | kBroadcast | kMulticast | kLoopback, 0xFFFFFFF0);
  const platform::InterfaceRecord eth_down = Record(kBroadcast | kMulticast, 0xFFFFF000);
  const platform::InterfaceRecord eth_nomc = Record(kUp | kBroadcast, 0xFFFFFF80);
  const platform::InterfaceRecord ppp = Record(kUp | kPointToPoint | kMulticast, 0xFFFFFFFF);
  struct Case {
    const char* what;
    std::vector<platform::InterfaceRecord> list;
    std::uint32_t expected_host_order;
  } const cases[] = {
      {"loopback then Ethernet", {lo, eth24}, 0xFFFFFF00},
      {"first of two qualifying", {eth16, eth24}, 0xFFFF0000},
      {"extra point-to-point bit passed over", {eth_ptp, eth24}, 0xFFFFFF00},
      {"extra loopback bit passed over", {eth_lo, eth16}, 0xFFFF0000},
      {"down interface passed over", {eth_down, eth24}, 0xFFFFFF00},
      {"none qualifies: first up non-loopback", {lo, eth_down, ppp, eth_nomc}, 0xFFFFFFFF},
      {"none qualifies: broadcast without multicast", {lo, eth_nomc}, 0xFFFFFF80},
      {"only the loopback", {lo}, 0},
      {"only a down interface", {eth_down}, 0},
      {"empty list", {}, 0},
  };
  for (const Case& c : cases) {
    fake_interfaces_set(c.list.data(), static_cast<int>(c.list.size()));
    EXPECT_EQ(GetLocalNetmask(), Mask(c.expected_host_order)) << c.what;
    EXPECT_EQ(ChooseNetmask(c.list.data(), static_cast<int>(c.list.size())), Mask(c.expected_host_order))
        << c.what;
  }
}

TEST(GetLocalNetmask, FailedQueryGivesLimitedBroadcastMask) {
  fake_interfaces_fail();
  EXPECT_EQ(GetLocalNetmask(), 0u);
}

TEST(GetLocalNetmask, ReadsAtMostTenIpv4Records) {
  // Records of other families do not count among the ten.
  platform::InterfaceRecord v6 = Record(kUp | kBroadcast | kMulticast, 0);
  v6.address.family = 6;
  std::vector<platform::InterfaceRecord> list(2, v6);
  for (int i = 0; i < 10; ++i) list.push_back(Record(kBroadcast | kMulticast, 0xFFFFF000));
  list.push_back(Record(kUp | kBroadcast | kMulticast, 0xFFFFFF00));  // the eleventh: never seen
  fake_interfaces_set(list.data(), static_cast<int>(list.size()));
  EXPECT_EQ(GetLocalNetmask(), 0u);
  list.erase(list.begin() + 2);  // now the tenth
  fake_interfaces_set(list.data(), static_cast<int>(list.size()));
  EXPECT_EQ(GetLocalNetmask(), htonl(0xFFFFFF00));
}

}  // namespace
