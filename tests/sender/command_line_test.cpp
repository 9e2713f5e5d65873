// Tests of kestrava's command line: tokens, options, early ends, the actions they ask for.
#include "sender/program.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>


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
    // The seed's words leave every send option as it was.
    EXPECT_EQ(line.send.port, 1778) << c.line;
    EXPECT_EQ(line.send.kind, 1) << c.line;
    EXPECT_EQ(line.send.count, 1) << c.line;
    EXPECT_EQ(line.send.password_length, 0u) << c.line;
    EXPECT_FALSE(line.send.ether || line.send.verbose) << c.line;
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
      // A target is MAC= with IP=, /To= or /Ether; /File= names targets of its own.
      {"/MAC=1 /To=ff02::1%lan0", ProgramAction::kSilentSend},
      {"/MAC=1 /Ether", ProgramAction::kSilentSend},
      {"/File=hosts.txt", ProgramAction::kSilentSend},
      {"/MAC=1 /Port=9 /Kind=4", ProgramAction::kDialog},
      {"/IP=1.2.3.4 /Ether", ProgramAction::kDialog},
      // A bad value is refused wherever it stands, unless an unknown option ended the line first.
      {"/Port=0", ProgramAction::kBadOption},
      {"/IP=1 /MAC=2 /Count=0 /x", ProgramAction::kBadOption},
      {"/x /Count=0", ProgramAction::kDialog},
      {"/IP=1 /MAC=2 /Ether /To=1.2.3.4", ProgramAction::kBadOption},
      {"/IP=1 /MAC=2 /Ether /To=1.2.3.4 /x", ProgramAction::kDialog},
      {"/IP=1 /MAC=2 /Port=", ProgramAction::kBadOption},
      {"/IP=1 /MAC=2 /Porty=9", ProgramAction::kDialog},     // not a word kestrava knows
      {"/IP=1 /MAC=2 /Ethernet", ProgramAction::kDialog},    // "Ether" is the whole word
      // /Wait without a target opens the dialog, whose sends it watches.
      {"/Wait=30 /Probe=22", ProgramAction::kDialog},
      {"/IP=1 /MAC=2 /Wait /Json", ProgramAction::kSilentSend},
      {"/IP=1 /MAC=2 /Json", ProgramAction::kBadOption},
      {"/Probe=22", ProgramAction::kBadOption},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.line).action, c.action) << c.line;
}

TEST(ParseCommandLine, TheLastSendOptionWinsAndARefusalNamesItsToken) {
  CommandLine line = Parse("/ip=1 -mac=2 -PORT=7 /port=9 /Kind=2 /kind=4");
  EXPECT_EQ(line.send.port, 9);
  EXPECT_STREQ(line.send.port_token, "/port=9");
  EXPECT_EQ(line.send.kind, 4);
  line = Parse("/IP=1 /MAC=2 /Port=65536 /Kind=1");
  EXPECT_STREQ(line.bad_token, "/Port=65536");
  EXPECT_STREQ(line.bad_reason, "the port is a number from 1 to 65535");
  line = Parse("/MAC=2 /Ether /Kind=4 /IP=1");
  EXPECT_STREQ(line.bad_token, "/Kind=4");
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
  EXPECT_EQ(g_program.sender.port, 1778);
  char port[] = "/Port=9";  // the dialog starts with it too
  ApplyCommandLine(ParseCommandLine(port));
  EXPECT_EQ(g_program.sender.port, 9);
  char wait[] = "/Wait=30 /Probe=22 /Resend=10";  // the dialog's sends are watched with them
  ApplyCommandLine(ParseCommandLine(wait));
  EXPECT_EQ(g_program.wait.seconds, 30);
  EXPECT_EQ(g_program.wait.resend_seconds, 10);
  ASSERT_EQ(g_program.wait.port_count, 1);
  EXPECT_EQ(g_program.wait.ports[0], 22);
  ResetProgramState();
  EXPECT_EQ(g_program.wait.wait_token, nullptr);
  EXPECT_EQ(g_program.sender.header_length, 16);
  EXPECT_EQ(g_program.sender.port, 1778);
  EXPECT_EQ(g_program.title_word, nullptr);
}

// --help names every option kestrava takes, in lines that fit an 80-column terminal.
TEST(Help, NamesEveryOptionWithin80Columns) {
  const std::string help = HelpText();
  const char* const options[] = {"/IP=",    "/MAC=",    "/nohdr",  "/Debug=", "--help",    "--version",
                                 "/Port=",  "/Kind=",   "/Interface=", "/To=", "/Count=",  "/Interval=",
                                 "/Password=", "/Ether", "/File=",  "/Verbose", "/Wait",    "/Probe=",
                                 "/Resend=", "/SkipAwake", "/Json"};
  for (const char* option : options) EXPECT_NE(help.find(option), std::string::npos) << option;
  std::size_t start = 0;
  for (std::size_t end; (end = help.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
  }
  EXPECT_EQ(start, help.size());
}

}  // namespace
