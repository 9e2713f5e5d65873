// Tests of kestrava's command line: tokens, options, early ends, and the silent send on the loopback.
#include "sender/program.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

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

// Parses that do not ask for the silent send: none of these names both IP= and MAC=, or the
// parse ends before it gets to both.
struct ParseCase {
  const char* line;
  int debug_flags;
  bool no_header;
  const char* title;  // nullptr: none
  const char* ip;
  const char* mac;
};

void ExpectText(const char* got, const char* expected, const char* what, const char* line) {
  if (expected == nullptr) {
    EXPECT_EQ(got, nullptr) << what << " of " << line;
  } else {
    ASSERT_NE(got, nullptr) << what << " of " << line;
    EXPECT_STREQ(got, expected) << what << " of " << line;
  }
}

CommandLine Parse(const char* line) {
  static std::vector<char> text;  // the record refers into it
  text.assign(line, line + std::strlen(line) + 1);
  return ParseCommandLine(text.data());
}

TEST(ParseCommandLine, OptionsTitleAndEarlyEnds) {
  const ParseCase cases[] = {
      {"", 0, false, nullptr, nullptr, nullptr},
      {"/Debug=17", 17, false, nullptr, nullptr, nullptr},
      {"-DEBUG=-5", -5, false, nullptr, nullptr, nullptr},
      {"/debug=+7x", 7, false, nullptr, nullptr, nullptr},
      {"/Debug=abc", 0, false, nullptr, nullptr, nullptr},
      {"/Debug=", 0, false, nullptr, nullptr, nullptr},
      {"/Debug=99999999999", INT_MAX, false, nullptr, nullptr, nullptr},
      {"/Debug=1 /Debug=4", 4, false, nullptr, nullptr, nullptr},            // the last one wins
      {"/MAC=00:11:22:33:44:55", 0, false, nullptr, nullptr, "00:11:22:33:44:55"},
      {"/IP=10.1.2.3", 0, false, nullptr, "10.1.2.3", nullptr},
      {"-ip=1.1.1.1 /Ip=10.0.0.2", 0, false, nullptr, "10.0.0.2", nullptr},
      {"/IP=", 0, false, nullptr, "", nullptr},                               // empty, but present
      {"-mac=", 0, false, nullptr, nullptr, ""},
      {"/nohdr", 0, true, nullptr, nullptr, nullptr},
      {"-NoHdr", 0, true, nullptr, nullptr, nullptr},
      {"/nohdrx", 0, false, nullptr, nullptr, nullptr},                       // not exactly nohdr
      {"/nohd /nohdr", 0, false, nullptr, nullptr, nullptr},
      {"/x /IP=10.1.2.3 /MAC=00:11:22:33:44:55", 0, false, nullptr, nullptr, nullptr},
      {"/IP=10.1.2.3 /MAC=00:11:22:33:44:55 /x", 0, false, nullptr, "10.1.2.3", "00:11:22:33:44:55"},
      {"/Debug=3 /x /Debug=5", 3, false, nullptr, nullptr, nullptr},           // earlier settings stay
      {"/IP=10.1.2.3 / /MAC=00:11:22:33:44:55", 0, false, nullptr, "10.1.2.3", nullptr},
      {"/Debug /nohdr", 0, false, nullptr, nullptr, nullptr},
      {"/MACHINE=1 /nohdr", 0, false, nullptr, nullptr, nullptr},
      {"/helpme /nohdr", 0, false, nullptr, nullptr, nullptr},                 // help words are exact
      {"Lab1", 0, false, "Lab1", nullptr, nullptr},
      {"Lab1 Lab2 /Debug=9", 0, false, "Lab1", nullptr, nullptr},             // a second word ends it
      {"Lab1 /Debug=2 Lab2 /nohdr", 2, false, "Lab1", nullptr, nullptr},
      {"IP=1.2.3.4 /MAC=1", 0, false, "IP=1.2.3.4", nullptr, "1"},            // no '/': a word
      {"\t/IP=1.2.3.4 /MAC=1", 0, false, "\t/IP=1.2.3.4", nullptr, "1"},      // a tab is no space
  };
  for (const ParseCase& c : cases) {
    const CommandLine line = Parse(c.line);
    EXPECT_EQ(line.action, ProgramAction::kDialog) << c.line;
    EXPECT_EQ(line.debug_flags, c.debug_flags) << c.line;
    EXPECT_EQ(line.no_header, c.no_header) << c.line;
    ExpectText(line.title_word, c.title, "title", c.line);
    ExpectText(line.target_ip_text, c.ip, "IP", c.line);
    ExpectText(line.target_mac_text, c.mac, "MAC", c.line);
  }
  const CommandLine none = ParseCommandLine(nullptr);
  EXPECT_EQ(none.action, ProgramAction::kDialog);
  EXPECT_EQ(none.target_ip_text, nullptr);
}

TEST(ParseCommandLine, ActionsAndTheirWords) {
  const struct {
    const char* line;
    ProgramAction action;
  } cases[] = {
      {"/IP=10.1.2.3 /MAC=00:11:22:33:44:55", ProgramAction::kSilentSend},
      {"-mac=1 -ip=2 Title -nohdr", ProgramAction::kSilentSend},
      {"/IP= /MAC=", ProgramAction::kSilentSend},  // empty values still count as present
      {"--help", ProgramAction::kHelp},
      {"-h", ProgramAction::kHelp},
      {"/H", ProgramAction::kHelp},
      {"/?", ProgramAction::kHelp},
      {"-?", ProgramAction::kHelp},
      {"/IP=1 /MAC=2 --HELP", ProgramAction::kHelp},  // reached before the send is decided
      {"--version", ProgramAction::kVersion},
      {"/-Version", ProgramAction::kVersion},
      {"/x --help", ProgramAction::kDialog},       // an unknown option ends the line first
      {"Lab1 Lab2 -h", ProgramAction::kDialog},
      {"-help", ProgramAction::kDialog},           // not one of the words
      {"--versions", ProgramAction::kDialog},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.line).action, c.action) << c.line;
}

TEST(ParseCommandLine, TokensAfterThe255thAreIgnored) {
  std::string line;
  for (int i = 1; i <= 300; ++i) line += "/Debug=" + std::to_string(i) + " ";
  EXPECT_EQ(Parse(line.c_str()).debug_flags, 255);
}

TEST(ApplyCommandLine, MakesTheSettingsTheProcesss) {
  ResetProgramState();
  char text[] = "Lab1 /Debug=17 /nohdr";
  ApplyCommandLine(ParseCommandLine(text));
  EXPECT_STREQ(g_program.title_word, "Lab1");
  EXPECT_EQ(g_program.debug_flags, 17);
  EXPECT_EQ(g_program.sender.header_length, 0);
  ResetProgramState();
  EXPECT_EQ(g_program.sender.header_length, 16);
  EXPECT_EQ(g_program.sender.port, 1778);
  EXPECT_EQ(g_program.title_word, nullptr);
}

// The silent send on the loopback: the fake interface list gives the full mask, so the
// subnet-directed broadcast of 127.0.0.1 is 127.0.0.1 itself.
class SilentSendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const platform::InterfaceRecord full_mask = {0x13, htonl(0x7F000001), 0, 0xFFFFFFFF};
    fake_interfaces_set(&full_mask, 1);
    ResetProgramState();
    ASSERT_NE(receiver_.port(), 0);
    g_program.sender.port = receiver_.port();
  }
  void TearDown() override { ResetProgramState(); }
  LoopbackReceiver receiver_;
};

TEST_F(SilentSendTest, SendsOneBroadcastMagicPacket) {
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
    const CommandLine line = Parse(c.line);
    ASSERT_EQ(line.action, ProgramAction::kSilentSend) << c.line;
    ApplyCommandLine(line);
    EXPECT_EQ(fake_interfaces_queries(), queries) << "the parse sends and asks nothing";
    EXPECT_TRUE(SilentSend(line.target_ip_text, line.target_mac_text));
    EXPECT_EQ(fake_interfaces_queries(), queries + 1) << "the netmask is asked for";
    const auto got = receiver_.Take();
    ASSERT_EQ(got.size(), 1u) << c.line;
    EXPECT_EQ(got[0].size(), c.length) << c.line;
    EXPECT_EQ(0, std::memcmp(got[0].data() + c.mac_offset, c.mac, 6)) << c.line;
  }
}

TEST_F(SilentSendTest, FailedInterfaceQueryIsReportedAndSendsNothing) {
  static std::vector<std::string> boxes;
  boxes.clear();
  SetMessageBoxHost([](platform::Window, const char* text, const char* caption, unsigned) {
    boxes.push_back(std::string(caption) + ": " + text);
    return 1;
  });
  fake_interfaces_fail();
  EXPECT_FALSE(SilentSend("127.0.0.1", "00-11-22-33-44-55"));
  EXPECT_TRUE(receiver_.Take().empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "SIO_GET_INTERFACE_LIST err: No more file descriptors available");
}

TEST_F(SilentSendTest, UnreadableMacIsSentAsZeros) {
  SilentSend("127.0.0.1", "zz");
  const auto got = receiver_.Take();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].size(), 118u);
  for (std::size_t i = 22; i < 118; ++i) EXPECT_EQ(got[0][i], 0) << i;
}

}  // namespace
