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

TEST(ReadSendOption, WaitOptionsAndTheirValues) {
  const struct {
    const char* token;
    int seconds;
    std::vector<std::uint16_t> ports;
    int resend;
  } cases[] = {
      {"/Wait", 120, {}, 0},           {"-wait=1", 1, {}, 0},         {"/WAIT=3600", 3600, {}, 0},
      {"/Probe=22", 120, {22}, 0},     {"/probe=3389,22,445,22", 120, {3389, 22, 445}, 0},
      {"/Probe=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,1", 120,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0},
      {"/Resend=30", 120, {}, 30},
  };
  for (const auto& c : cases) {
    SendOptions o;
    const char* reason;
    ASSERT_EQ(Read(c.token, &o, &reason), OptionRead::kRead) << c.token;
    EXPECT_EQ(o.wait.seconds, c.seconds) << c.token;
    EXPECT_EQ(std::vector<std::uint16_t>(o.wait.ports, o.wait.ports + o.wait.port_count), c.ports) << c.token;
    EXPECT_EQ(o.wait.resend_seconds, c.resend) << c.token;
  }
  SendOptions o;
  const char* reason;
  ASSERT_EQ(Read("-SKIPAWAKE", &o, &reason), OptionRead::kRead);
  EXPECT_STREQ(o.wait.skip_awake_token, "-SKIPAWAKE");
  ASSERT_EQ(Read("/json", &o, &reason), OptionRead::kRead);
  EXPECT_STREQ(o.wait.json_token, "/json");
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
      {"/Wait=0", "the wait"},          {"/Wait=3601", "the wait"},       {"/Wait=", "the wait"},
      {"/Wait=2m", "the wait"},         {"/Probe=", "the ports"},         {"/Probe=0", "the ports"},
      {"/Probe=22,", "the ports"},      {"/Probe=,22", "the ports"},      {"/Probe=65536", "the ports"},
      {"/Probe=22;80", "the ports"},    {"/Probe=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", "the ports"},
      {"/Resend=0", "the time between"}, {"/Resend=", "the time between"},
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
  const char* not_ours[] = {"/Ports=9", "/Ethernet", "/Verbose=1", "/Kinds=1", "/To",    "/Debug=1",
                            "/nohdr",   "/Waiting",  "/Wait:5",    "/Probe",   "/Json=1", "/SkipAwake=1",
                            "/Resend"};
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
      {{"/Probe=22", "/Json"}, "/Probe=22"},
      {{"/Json", "/Resend=5"}, "/Resend=5"},
      {{"-skipawake"}, "-skipawake"},
      {{"/Resend=5"}, "/Resend=5"},
      {{"/Wait=10", "/Resend=10"}, "/Resend=10"},
      {{"/Wait=10", "/Resend=9", "/Probe=22", "/SkipAwake", "/Json", "/Ether"}, nullptr},
      {{"/Resend=200", "/Wait"}, "/Resend=200"},
      {{"/Relay=relay.example:1800", "/Key=k", "/Port=9", "/Count=16", "/Password=01-02-03-04"}, nullptr},
      {{"/Relay=192.0.2.5", "/Key=k", "/Ether", "/Kind=1"}, nullptr},
      {{"/Relay=192.0.2.5"}, "/Relay=192.0.2.5"},
      {{"/Key=k"}, "/Key=k"},
      {{"/Key=k", "/File=hosts.txt"}, nullptr},  // the file's lines may name relays
      {{"/Relay=192.0.2.5", "/Key=k", "/Kind=4"}, "/Kind=4"},
      {{"/Relay=192.0.2.5", "/Key=k", "/To=192.0.2.255"}, "/To=192.0.2.255"},
      {{"/Relay=192.0.2.5", "/Key=k", "/Count=17"}, "/Count=17"},
      {{"/Relay=192.0.2.5", "/Key=k", "/Wait=30", "/Resend=10", "/Probe=22"}, nullptr},
  };
  for (const auto& c : cases) {
    SendOptions o;
    const char* reason = nullptr;
    for (const char* token : c.tokens) ASSERT_EQ(ReadSendOption(token, token + 1, &o, &reason), OptionRead::kRead);
    const char* token = nullptr;
    const char* why = CheckSendOptions(o, &token);
    if (c.refused == nullptr) {
      EXPECT_EQ(why, nullptr) << c.tokens[0];
    } else {
      ASSERT_NE(why, nullptr) << c.refused;
      EXPECT_STREQ(token, c.refused);
    }
  }
}

}  // namespace
