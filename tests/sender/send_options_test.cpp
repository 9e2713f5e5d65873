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
  SendOptions o;
  const char* reason;
  const char* good[] = {"/Port=1",    "/port=65535",  "/KIND=4",           "/Count=10000",
                        "/Interval=0", "/interval=60000", "/To=ff02::1%lan0", "-ETHER", "/verbose"};
  for (const char* token : good) EXPECT_EQ(Read(token, &o, &reason), OptionRead::kRead) << token;
  ASSERT_EQ(Read("-PORT=0009", &o, &reason), OptionRead::kRead);
  EXPECT_EQ(o.port, 9);
  ASSERT_EQ(Read("/Password=01-23-45-67-89-aB", &o, &reason), OptionRead::kRead);
  const std::uint8_t password[6] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB};
  ASSERT_EQ(o.password_length, 6u);
  EXPECT_EQ(0, std::memcmp(o.password, password, 6));
  ASSERT_EQ(Read("/password=01:23:45:67", &o, &reason), OptionRead::kRead);
  EXPECT_EQ(o.password_length, 4u);
  ASSERT_EQ(Read("/File=C:\\hosts.txt", &o, &reason), OptionRead::kRead);
  EXPECT_STREQ(o.file_path, "C:\\hosts.txt");
}

TEST(ReadSendOption, BadValuesAreRefusedWithTheirReason) {
  const struct {
    const char* token;
    const char* reason_start;
  } cases[] = {
      {"/Port=0", "the port"},         {"/Port=65536", "the port"},     {"/Port=", "the port"},
      {"/Port=+9", "the port"},        {"/Port=1000000000000", "the port"},
      {"/Kind=3", "the kind"},         {"/Kind=0", "the kind"},         {"/Kind=8", "the kind"},
      {"/Count=0", "the count"},       {"/Count=10001", "the count"},   {"/Interval=60001", "the interval"},
      {"/Password=01-23-45", "the password"},       {"/Password=01-23-45-67-89", "the password"},
      {"/Password=1-23-45-67", "the password"},     {"/Password=01-23-45-67-89-AB-CD", "the password"},
      {"/Password=01-23-45-67-", "the password"},   {"/To=host", "not an IPv4"},
      {"/Interface=", "names no interface"},        {"/File=", "names no file"},
      {"/Relay=", "not a relay"},      {"/Relay=:1779", "not a relay"}, {"/Relay=relay:0", "not a relay"},
      {"/Relay=a:1:2", "not a relay"}, {"/Key=", "names no file"},
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
      {{"/Relay=relay.example:1800", "/Key=k", "/Port=9", "/Count=16", "/Password=01-02-03-04"}, nullptr},
      {{"/Relay=192.0.2.5", "/Key=k", "/Ether", "/Kind=1"}, nullptr},
      {{"/Relay=192.0.2.5"}, "/Relay=192.0.2.5"},
      {{"/Key=k"}, "/Key=k"},
      {{"/Key=k", "/File=hosts.txt"}, nullptr},  // the file's lines may name relays
      {{"/Relay=192.0.2.5", "/Key=k", "/Kind=4"}, "/Kind=4"},
      {{"/Relay=192.0.2.5", "/Key=k", "/To=192.0.2.255"}, "/To=192.0.2.255"},
      {{"/Relay=192.0.2.5", "/Key=k", "/Count=17"}, "/Count=17"},
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
