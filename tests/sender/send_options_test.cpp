// Tests of the send options: each value read strictly at its bounds, and the pairs refused together.
#include "sender/send_options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Reads `token` (with its lead character) into fresh options.
OptionRead Read(const char* token, SendOptions* options, const char** reason) {
  *options = SendOptions{};
  *reason = nullptr;
  return ReadSendOption(token, token + 1, options, reason);
}

TEST(ReadSendOption, GoodValuesAtTheirBounds) {
  const struct {
    const char* token;
    std::string field;  // which value the token sets
    long expected;
  } cases[] = {
      {"/Port=1", "port", 1},         {"/port=65535", "port", 65535}, {"-PORT=0009", "port", 9},
      {"/Kind=1", "kind", 1},         {"/kind=2", "kind", 2},         {"/KIND=4", "kind", 4},
      {"/Count=1", "count", 1},       {"/Count=10000", "count", 10000},
      {"/Interval=0", "interval", 0}, {"/interval=60000", "interval", 60000},
      {"/Password=01-23-45-67", "password", 4}, {"/password=01:23:45:67:89:aB", "password", 6},
  };
  for (const auto& c : cases) {
    SendOptions o;
    const char* reason;
    ASSERT_EQ(Read(c.token, &o, &reason), OptionRead::kRead) << c.token;
    const long got = c.field == "port"       ? o.port
                     : c.field == "kind"     ? o.kind
                     : c.field == "count"    ? o.count
                     : c.field == "interval" ? o.interval_ms
                                             : static_cast<long>(o.password_length);
    EXPECT_EQ(got, c.expected) << c.token;
  }
  SendOptions o;
  const char* reason;
  ASSERT_EQ(Read("/Password=01-23-45-67-89-AB", &o, &reason), OptionRead::kRead);
  const std::uint8_t password[6] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB};
  EXPECT_EQ(0, std::memcmp(o.password, password, 6));
  EXPECT_STREQ(o.password_token, "/Password=01-23-45-67-89-AB");
  ASSERT_EQ(Read("/To=ff02::1%lan0", &o, &reason), OptionRead::kRead);
  EXPECT_EQ(o.to.family, AddressFamily::kIpv6);
  EXPECT_STREQ(o.to.scope, "lan0");
  ASSERT_EQ(Read("/File=C:\\hosts.txt", &o, &reason), OptionRead::kRead);
  EXPECT_STREQ(o.file_path, "C:\\hosts.txt");
  ASSERT_EQ(Read("-ETHER", &o, &reason), OptionRead::kRead);
  EXPECT_TRUE(o.ether);
  ASSERT_EQ(Read("/verbose", &o, &reason), OptionRead::kRead);
  EXPECT_TRUE(o.verbose);
}

TEST(ReadSendOption, BadValuesAreRefusedWithTheirReason) {
  const struct {
    const char* token;
    const char* reason_start;
  } cases[] = {
      {"/Port=0", "the port"},         {"/Port=65536", "the port"},     {"/Port=", "the port"},
      {"/Port=+9", "the port"},        {"/Port=9 ", "the port"},        {"/Port=1000000000000", "the port"},
      {"/Kind=3", "the kind"},         {"/Kind=0", "the kind"},         {"/Kind=8", "the kind"},
      {"/Count=0", "the count"},       {"/Count=10001", "the count"},   {"/Count=-1", "the count"},
      {"/Interval=60001", "the interval"}, {"/Interval=1.5", "the interval"},
      {"/Password=01-23-45", "the password"},       {"/Password=01-23-45-67-89", "the password"},
      {"/Password=1-23-45-67", "the password"},     {"/Password=01-23-45-67-89-AB-CD", "the password"},
      {"/Password=0123-4567", "the password"},      {"/Password=01-23-45-6G", "the password"},
      {"/Password=01-23-45-67-", "the password"},
      {"/To=192.0.2", "not an IPv4"},  {"/To=host", "not an IPv4"},     {"/To=ff02::1%", "not an IPv4"},
      {"/Interface=", "names no interface"},        {"/File=", "names no file"},
  };
  for (const auto& c : cases) {
    SendOptions o;
    const char* reason;
    ASSERT_EQ(Read(c.token, &o, &reason), OptionRead::kBadValue) << c.token;
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(std::string(reason).rfind(c.reason_start, 0), 0u) << c.token << ": " << reason;
  }
  const char* not_ours[] = {"/Ports=9", "/Ethernet", "/Verbose=1", "/Kinds=1", "/To", "/Debug=1", "/nohdr"};
  for (const char* token : not_ours) {
    SendOptions o;
    const char* reason;
    EXPECT_EQ(Read(token, &o, &reason), OptionRead::kNotASendOption) << token;
  }
}

TEST(CheckSendOptions, PairsThatDoNotFit) {
  const struct {
    std::vector<const char*> tokens;
    const char* refused;  // nullptr: they fit
  } cases[] = {
      {{"/Kind=2", "/Password=01-02-03-04"}, "/Password=01-02-03-04"},
      {{"/Kind=4", "/Password=01-02-03-04"}, nullptr},
      {{"/Password=01-02-03-04", "/Kind=2", "/Kind=1"}, nullptr},  // the last kind counts
      {{"/Ether", "/Kind=4"}, "/Kind=4"},
      {{"/Ether", "/Kind=1", "/Password=01-02-03-04-05-06", "/Count=3"}, nullptr},
      {{"/Ether", "/To=192.0.2.255"}, "/To=192.0.2.255"},
      {{"/Ether", "/Port=9"}, "/Port=9"},
      {{"/Ether", "/Interface=lan0", "/Interval=0"}, nullptr},
      {{"/To=192.0.2.255", "/Port=9", "/Kind=2"}, nullptr},
  };
  for (const auto& c : cases) {
    SendOptions o;
    const char* reason = nullptr;
    for (const char* token : c.tokens) ASSERT_EQ(ReadSendOption(token, token + 1, &o, &reason), OptionRead::kRead);
    const char* token = nullptr;
    const char* why = CheckSendOptions(o, &token);
    if (c.refused == nullptr) {
      EXPECT_EQ(why, nullptr) << c.tokens[0] << " " << c.tokens[1];
    } else {
      ASSERT_NE(why, nullptr) << c.refused;
      EXPECT_STREQ(token, c.refused);
    }
  }
}

}  // namespace
