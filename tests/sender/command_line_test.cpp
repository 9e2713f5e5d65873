// Tests of kestrava's command line: tokens, options, early ends, and the silent send on the loopback.
#include "sender/program.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "sender/wake_packet.h"
#include "tests/fakes/fake_interfaces.h"
#include "tests/sender/loopback_receiver.h"

namespace {

std::vector<std::string> Split(std::string text) {
  const char* table[kArgumentTableSize + 1];
  table[kArgumentTableSize] = "guard";
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  int count = SplitCommandLine(buffer.data(), table);
  EXPECT_STREQ(table[kArgumentTableSize], "guard");
  return std::vector<std::string>(table, table + count);
}

using Tokens = std::vector<std::string>;

TEST(SplitCommandLine, SpacesAloneSeparate) {
  struct Case {
    const char* text;
    Tokens expected;
  } const cases[] = {
      {"", {""}},
      {"    ", {""}},
      {"a", {"", "a"}},
      {"/IP=1.2.3.4 /MAC=x", {"", "/IP=1.2.3.4", "/MAC=x"}},
      {"   a    b   ", {"", "a", "b"}},
      {"a\tb", {"", "a\tb"}},                // a tab is part of the token
      {"\"a b\"", {"", "\"a", "b\""}},       // quotation marks mean nothing
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.text), c.expected) << '"' << c.text << '"';
  const char* table[kArgumentTableSize];
  EXPECT_EQ(SplitCommandLine(nullptr, table), 1);
  EXPECT_STREQ(table[0], "");
  char text[] = "ab  cd";  // split in place: references into the text, spaces terminated
  ASSERT_EQ(SplitCommandLine(text, table), 3);
  EXPECT_EQ(table[1], text);
  EXPECT_EQ(table[2], text + 4);
}

TEST(SplitCommandLine, TakesAtMost255Tokens) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += "t" + std::to_string(i) + " ";
  const Tokens tokens = Split(text);
  ASSERT_EQ(tokens.size(), 256u);
  EXPECT_EQ(tokens[255], "t255");
}

TEST(JoinArguments, JoinsWithSingleSpaces) {
  struct Case {
    std::vector<const char*> argv;
    const char* expected;
  } const cases[] = {
      {{"kestrava"}, ""},
      {{"kestrava", "/IP=1.2.3.4"}, "/IP=1.2.3.4"},
      {{"kestrava", "a", "b c", "d"}, "a b c d"},
      {{"kestrava", "", "x"}, " x"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(JoinArguments(static_cast<int>(c.argv.size()), c.argv.data()), c.expected);
  }
  EXPECT_STREQ(JoinArguments(0, nullptr), "");
}

// Parses that must not send: none of these names both IP= and MAC=.
struct ParseCase {
  const char* line;
  int debug_flags;
  int header_length;
  const char* title;  // nullptr: none
  const char* ip;
  const char* mac;
};

void ResetState() {
  g_title_word = nullptr;
  g_debug_flags = 0;
  g_sender_settings.header_length = 16;
  g_target_ip_text = "stale";  // every parse starts by forgetting the targets
  g_target_mac_text = "stale";
}

void ExpectText(const char* got, const char* expected, const char* what, const char* line) {
  if (expected == nullptr) {
    EXPECT_EQ(got, nullptr) << what << " of " << line;
  } else {
    ASSERT_NE(got, nullptr) << what << " of " << line;
    EXPECT_STREQ(got, expected) << what << " of " << line;
  }
}

TEST(ParseCommandLine, OptionsTitleAndEarlyEnds) {
  const ParseCase cases[] = {
      {"", 0, 16, nullptr, nullptr, nullptr},
      {"/Debug=17", 17, 16, nullptr, nullptr, nullptr},
      {"-DEBUG=-5", -5, 16, nullptr, nullptr, nullptr},
      {"/debug=+7x", 7, 16, nullptr, nullptr, nullptr},
      {"/Debug=abc", 0, 16, nullptr, nullptr, nullptr},
      {"/Debug=", 0, 16, nullptr, nullptr, nullptr},
      {"/Debug=99999999999", INT_MAX, 16, nullptr, nullptr, nullptr},
      {"/Debug=1 /Debug=4", 4, 16, nullptr, nullptr, nullptr},            // the last one wins
      {"/MAC=00:11:22:33:44:55", 0, 16, nullptr, nullptr, "00:11:22:33:44:55"},
      {"/IP=10.1.2.3", 0, 16, nullptr, "10.1.2.3", nullptr},
      {"-ip=1.1.1.1 /Ip=10.0.0.2", 0, 16, nullptr, "10.0.0.2", nullptr},
      {"/IP=", 0, 16, nullptr, "", nullptr},                               // empty, but present
      {"-mac=", 0, 16, nullptr, nullptr, ""},
      {"/nohdr", 0, 0, nullptr, nullptr, nullptr},
      {"-NoHdr", 0, 0, nullptr, nullptr, nullptr},
      {"/nohdrx", 0, 16, nullptr, nullptr, nullptr},                       // not exactly nohdr
      {"/nohd /nohdr", 0, 16, nullptr, nullptr, nullptr},
      {"/x /IP=10.1.2.3 /MAC=00:11:22:33:44:55", 0, 16, nullptr, nullptr, nullptr},
      {"/Debug=3 /x /Debug=5", 3, 16, nullptr, nullptr, nullptr},           // earlier settings stay
      {"/IP=10.1.2.3 / /MAC=00:11:22:33:44:55", 0, 16, nullptr, "10.1.2.3", nullptr},
      {"/Debug /nohdr", 0, 16, nullptr, nullptr, nullptr},
      {"/MACHINE=1 /nohdr", 0, 16, nullptr, nullptr, nullptr},
      {"Lab1", 0, 16, "Lab1", nullptr, nullptr},
      {"Lab1 Lab2 /Debug=9", 0, 16, "Lab1", nullptr, nullptr},             // a second word ends it
      {"Lab1 /Debug=2 Lab2 /nohdr", 2, 16, "Lab1", nullptr, nullptr},
      {"IP=1.2.3.4 /MAC=1", 0, 16, "IP=1.2.3.4", nullptr, "1"},            // no '/': a word
      {"\t/IP=1.2.3.4 /MAC=1", 0, 16, "\t/IP=1.2.3.4", nullptr, "1"},      // a tab is no space
  };
  for (const ParseCase& c : cases) {
    ResetState();
    std::vector<char> text(c.line, c.line + std::strlen(c.line) + 1);
    EXPECT_EQ(ParseCommandLine(text.data()), 0) << c.line;
    EXPECT_EQ(g_debug_flags, c.debug_flags) << c.line;
    EXPECT_EQ(g_sender_settings.header_length, c.header_length) << c.line;
    ExpectText(g_title_word, c.title, "title", c.line);
    ExpectText(g_target_ip_text, c.ip, "IP", c.line);
    ExpectText(g_target_mac_text, c.mac, "MAC", c.line);
  }
  ResetState();
  EXPECT_EQ(ParseCommandLine(nullptr), 0);
  EXPECT_EQ(g_target_ip_text, nullptr);
  g_target_mac_text = nullptr;
}

TEST(ParseCommandLine, TokensAfterThe255thAreIgnored) {
  ResetState();
  std::string line;
  for (int i = 1; i <= 300; ++i) line += "/Debug=" + std::to_string(i) + " ";
  std::vector<char> text(line.begin(), line.end());
  text.push_back('\0');
  EXPECT_EQ(ParseCommandLine(text.data()), 0);
  EXPECT_EQ(g_debug_flags, 255);
  g_target_ip_text = g_target_mac_text = nullptr;
}

// The silent send on the loopback: the fake interface list gives the full mask, so the
// subnet-directed broadcast of 127.0.0.1 is 127.0.0.1 itself.
class SilentSend : public ::testing::Test {
 protected:
  void SetUp() override {
    const platform::InterfaceRecord full_mask = {0x13, htonl(0x7F000001), 0, 0xFFFFFFFF};
    fake_interfaces_set(&full_mask, 1);
    saved_ = g_sender_settings;
    ASSERT_NE(receiver_.port(), 0);
    g_sender_settings.port = receiver_.port();
    ResetState();
  }
  void TearDown() override {
    g_sender_settings = saved_;
    g_target_ip_text = g_target_mac_text = nullptr;
  }
  SenderSettings saved_{};
  LoopbackReceiver receiver_;
};

TEST_F(SilentSend, SendsOneBroadcastMagicPacket) {
  struct Case {
    const char* line;
    std::size_t length;
    std::size_t mac_offset;
    std::uint8_t mac[6];
  } const cases[] = {
      {"/IP=127.0.0.1 /MAC=00-11-22-33-44-55", 118, 22, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}},
      {"-ip=127.0.0.1 -mac=a0:11:22:33:44:55 -NOHDR", 102, 6, {0xA0, 0x11, 0x22, 0x33, 0x44, 0x55}},
      {"Title /MAC=b0-1-2-3-4-5 /IP=127.0.0.1", 102, 6, {0xB0, 1, 2, 3, 4, 5}},  // header stays off
  };
  for (const Case& c : cases) {
    const int queries = fake_interfaces_queries();
    std::vector<char> text(c.line, c.line + std::strlen(c.line) + 1);
    EXPECT_EQ(ParseCommandLine(text.data()), 99) << c.line;
    EXPECT_EQ(fake_interfaces_queries(), queries + 1) << "the netmask is asked for";
    const auto got = receiver_.Take();
    ASSERT_EQ(got.size(), 1u) << c.line;
    EXPECT_EQ(got[0].size(), c.length) << c.line;
    EXPECT_EQ(0, std::memcmp(got[0].data() + c.mac_offset, c.mac, 6)) << c.line;
  }
}

TEST_F(SilentSend, UnreadableMacIsSentAsZeros) {
  char text[] = "/IP=127.0.0.1 /MAC=zz";
  EXPECT_EQ(ParseCommandLine(text), 99);
  const auto got = receiver_.Take();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].size(), 118u);
  for (std::size_t i = 22; i < 118; ++i) EXPECT_EQ(got[0][i], 0) << i;
}

}  // namespace
