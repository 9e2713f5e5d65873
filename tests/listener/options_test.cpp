// pilvorne's command line: ports, usage requests, syntax errors and what each prints.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "listener/listener.h"
#include "listener/texts.h"

namespace {

const std::string kUsage = "pilvorne  [-PortNo[=1778]]\n          [-Help] [-?] [-Version]\n";
const std::string kVersion = "pilvorne Version ?? (May 12 2005)\n";
const std::string kHelp = listener::kHelpText;
std::string Syntax(const char* arg) { return "Syntax error near " + std::string(arg) + "\n" + kUsage; }

std::string Contents(FILE* f) {
  std::string text;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(f);
  return text;
}

// Parses `args` after the program's name; what it printed goes to *out and *err. The record
// points into `args`, which the caller keeps.
listener::ListenerCommandLine Parse(std::vector<std::string>* args, std::string* out, std::string* err) {
  std::vector<char*> argv{const_cast<char*>("pilvorne")};
  for (std::string& a : *args) argv.push_back(&a[0]);
  FILE* out_file = std::tmpfile();
  FILE* err_file = std::tmpfile();
  EXPECT_TRUE(out_file != nullptr && err_file != nullptr);
  const listener::ListenerCommandLine line =
      listener::ParseListenerCommandLine(static_cast<int>(argv.size()), argv.data(), "Version ??", out_file, err_file);
  *out = Contents(out_file);
  *err = Contents(err_file);
  return line;
}

struct OptionCase {
  std::vector<std::string> args;
  int code;
  int port;
  std::string out, err;
};

void PrintTo(const OptionCase& c, std::ostream* os) {
  for (const std::string& a : c.args) *os << '"' << a << "\" ";
}

class OptionsTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(OptionsTest, ParsesAndPrints) {
  OptionCase c = GetParam();
  std::vector<char*> argv{const_cast<char*>("pilvorne")};
  for (std::string& a : c.args) argv.push_back(&a[0]);
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  ASSERT_TRUE(out != nullptr && err != nullptr);
  const listener::ListenerCommandLine line =
      listener::ParseListenerCommandLine(static_cast<int>(argv.size()), argv.data(), "Version ??", out, err);
  EXPECT_EQ(line.exit_code, c.code);
  EXPECT_EQ(line.port, c.port);
  EXPECT_EQ(Contents(out), c.out);
  EXPECT_EQ(Contents(err), c.err);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, OptionsTest,
    ::testing::Values(
        OptionCase{{}, 0, 1778, "", ""},
        OptionCase{{"-portno=2000"}, 0, 2000, "", ""},
        OptionCase{{"/PORTNO=2000"}, 0, 2000, "", ""},
        OptionCase{{"-PortNo:2000"}, 0, 2000, "", ""},
        OptionCase{{"-portnox1234"}, 0, 1234, "", ""},
        OptionCase{{"-PortNo=70000"}, 0, 70000, "", ""},
        OptionCase{{"-PortNo=abc"}, 0, 0, "", ""},
        OptionCase{{"-PortNo=99999999999"}, 0, 2147483647, "", ""},
        OptionCase{{"-PortNo"}, 0, 1778, "", ""},
        OptionCase{{"-PortNo=2000", "-PortNo"}, 0, 2000, "", ""},
        OptionCase{{"/VERSIONS", "-version"}, 0, 1778, kVersion + kVersion, ""},
        OptionCase{{"-Version", "-?"}, 1, 1778, kVersion, kUsage},
        OptionCase{{"-?", "-Version"}, 1, 1778, kVersion, kUsage},
        OptionCase{{"-Helpme"}, 1, 1778, "", kUsage},
        OptionCase{{"-?x"}, 1, 1778, "", kUsage},
        OptionCase{{"-h"}, 1, 1778, "", Syntax("-h")},
        OptionCase{{"-Vers"}, 1, 1778, "", Syntax("-Vers")},
        OptionCase{{"-"}, 1, 1778, "", Syntax("-")},
        OptionCase{{"x"}, 1, 1778, "", Syntax("x")},
        OptionCase{{"-PortNo=5", "x", "-Version"}, 1, 5, "", Syntax("x")},
        OptionCase{{"-Version", "x"}, 1, 1778, kVersion, Syntax("x")},
        OptionCase{{"-?", "x"}, 1, 1778, "", Syntax("x")},
        // --help and --version end the command line at once, on standard output, exit 0.
        OptionCase{{"--help", "x"}, 0, 1778, kHelp, ""},
        OptionCase{{"-Version", "/-HELP"}, 0, 1778, kVersion + kHelp, ""},
        OptionCase{{"-Json", "--version", "-PortNo=5"}, 0, 1778, kVersion, ""},
        OptionCase{{"x", "--help"}, 1, 1778, "", Syntax("x")},
        OptionCase{{"--helpme"}, 1, 1778, "", Syntax("--helpme")},
        OptionCase{{"--versions"}, 1, 1778, "", Syntax("--versions")}),
    [](const ::testing::TestParamInfo<OptionCase>& info) {
      // The case number and the letters and digits of the arguments.
      std::string name = std::to_string(info.index);
      for (const std::string& a : info.param.args) {
        name += '_';
        for (char c : a) name += std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : "";
      }
      return name;
    });

// --help names every option pilvorne takes, in lines that fit an 80-column terminal.
TEST(Help, NamesEveryOptionWithin80Columns) {
  const char* const options[] = {"-PortNo", "-Help", "-?", "-Version", "-Explain", "-Json", "-IPv6",
                                 "-Count=", "-Timeout=", "-Mac=", "-Summary", "-Any", "-Interface=",
                                 "-Read=", "-Check", "-Enable", "-NewKey=", "-Relay", "-Key=", "-Hosts=",
                                 "-Ether", "--help", "--version"};
  for (const char* option : options) EXPECT_NE(kHelp.find(option), std::string::npos) << option;
  std::size_t start = 0;
  for (std::size_t end; (end = kHelp.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LT(end - start, 80u) << kHelp.substr(start, end - start);
  }
  EXPECT_EQ(start, kHelp.size());  // the last line ends too
}

// The inspector's words: whole words with "=" values; anything else is a syntax error, and
// with -Json the version line goes to standard error.
TEST(InspectOptions, WordsValuesAndErrors) {
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out, err;
  } cases[] = {
      {{"-Explain", "/JSON", "-ipv6", "-Summary", "-Count=5", "-Timeout=30", "-Mac=02-54-57-00-00-1f"}, 0, "", ""},
      {{"-Any", "-Interface=eth0"}, 0, "", ""},
      {{"-Read=wake.pcapng"}, 0, "", ""},
      {{"-Version", "-Json"}, 0, "", kVersion},
      {{"-Explainx"}, 1, "", Syntax("-Explainx")},
      {{"-Expl"}, 1, "", Syntax("-Expl")},
      {{"-Count"}, 1, "", Syntax("-Count")},
      {{"-Count=0"}, 1, "", Syntax("-Count=0")},
      {{"-Count=5x"}, 1, "", Syntax("-Count=5x")},
      {{"-Timeout=1000000000"}, 1, "", Syntax("-Timeout=1000000000")},
      {{"-Json=1"}, 1, "", Syntax("-Json=1")},
      {{"-Mac=02:54:57:00:00"}, 1, "", Syntax("-Mac=02:54:57:00:00")},
      {{"-Mac=02:54:57:00:00:g4"}, 1, "", Syntax("-Mac=02:54:57:00:00:g4")},
      {{"-Any", "-Read=x"}, 1, "", Syntax("-Read=x")},
      {{"-Read=x", "-Any"}, 1, "", Syntax("-Any")},
      {{"-Read="}, 1, "", Syntax("-Read=")},
      {{"-Interface=eth0", "-Explain"}, 1, "", Syntax("-Interface=eth0")},
      {{"-NewKey=relay.key"}, 0, "", ""},
      {{"-NewKey"}, 1, "", Syntax("-NewKey")},
      {{"-NewKey="}, 1, "", Syntax("-NewKey=")},
      // A capture sees every port of both families: the socket's options have no place there.
      {{"-Read=x", "-PortNo=9"}, 1, "", Syntax("-PortNo=9")},
      {{"-IPv6", "-Any", "-PortNo=9"}, 1, "", Syntax("-IPv6")},
      {{"-Read=x", "-Timeout=5"}, 0, "", ""},
  };
  for (const auto& c : cases) {
      std::vector<std::string> args = c.args;
    std::vector<char*> argv{const_cast<char*>("pilvorne")};
    for (std::string& a : args) argv.push_back(&a[0]);
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    ASSERT_TRUE(out != nullptr && err != nullptr);
    EXPECT_EQ(listener::ParseListenerCommandLine(static_cast<int>(argv.size()), argv.data(), "Version ??", out, err)
                  .exit_code,
              c.code)
        << c.args[0];
    EXPECT_EQ(Contents(out), c.out) << c.args[0];
    EXPECT_EQ(Contents(err), c.err) << c.args[0];
  }
  // What the first line set.
  std::vector<std::string> args = {"-Explain", "/JSON", "-ipv6", "-Summary", "-Count=5", "-Timeout=30",
                                   "-Mac=02-54-57-00-00-1f"};
  std::vector<char*> argv{const_cast<char*>("pilvorne")};
  for (std::string& a : args) argv.push_back(&a[0]);
  const listener::ListenerCommandLine line =
      listener::ParseListenerCommandLine(static_cast<int>(argv.size()), argv.data(), "Version ??", stdout, stderr);
  ASSERT_EQ(line.exit_code, 0);
  const listener::InspectOptions& o = line.options;
  EXPECT_TRUE(o.explain && o.json && o.ipv6 && o.summary && o.mac_given);
  EXPECT_FALSE(o.any);
  EXPECT_EQ(o.count, 5);
  EXPECT_EQ(o.timeout_seconds, 30);
  const std::uint8_t mac[6] = {0x02, 0x54, 0x57, 0x00, 0x00, 0x1f};
  EXPECT_EQ(std::memcmp(o.mac, mac, 6), 0);
  EXPECT_EQ(line.new_key_path, nullptr);

  std::string new_key = "/newkey=relay.key";
  char* key_argv[] = {const_cast<char*>("pilvorne"), &new_key[0]};
  EXPECT_STREQ(listener::ParseListenerCommandLine(2, key_argv, "Version ??", stdout, stderr).new_key_path, "relay.key");
}

// -Check and -Enable: whole words that end without listening, so no listener option goes with
// them; -Interface names the card, and -Enable needs it.
TEST(ReadinessOptions, WordsAndWhatGoesWithThem) {
  const struct {
    std::vector<std::string> args;
    int code;
    bool check, enable;
    std::string err;
  } cases[] = {
      {{"-Check"}, 0, true, false, ""},
      {{"/check", "-Interface=eth0", "-Json"}, 0, true, false, ""},
      {{"-Enable", "-Interface=eth0"}, 0, false, true, ""},
      {{"-Interface=eth0", "-Enable", "-Check"}, 0, true, true, ""},
      {{"-Enable"}, 1, false, true, Syntax("-Enable")},
      {{"-Check", "-Any"}, 1, true, false, Syntax("-Check")},
      {{"-Count=1", "-Enable", "-Interface=eth0"}, 1, false, true, Syntax("-Enable")},
      {{"-Checks"}, 1, false, false, Syntax("-Checks")},
      {{"-Check=1"}, 1, false, false, Syntax("-Check=1")},
      {{"-Check", "-?"}, 1, true, false, kUsage},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    std::string out, err;
    const listener::ListenerCommandLine line = Parse(&args, &out, &err);
    EXPECT_EQ(line.exit_code, c.code) << c.args[0];
    EXPECT_EQ(line.check, c.check) << c.args[0];
    EXPECT_EQ(line.enable, c.enable) << c.args[0];
    EXPECT_EQ(out, "") << c.args[0];
    EXPECT_EQ(err, c.err) << c.args[0];
  }
}

// -Relay: it needs its key; of the listener's options it takes those of the port, the output
// and the end; -Key, -Hosts and -Ether are its own.
TEST(RelayOptions, WordsAndWhatGoesWithThem) {
  const struct {
    std::vector<std::string> args;
    int code;
    std::string err;
    const char* key;
    const char* hosts;
    bool ether, port_given;
  } cases[] = {
      {{"-Relay", "-Key=relay.key"}, 0, "", "relay.key", nullptr, false, false},
      {{"/relay", "/key=k", "-Hosts=hosts.txt", "-Interface=eth0", "-Ether", "-PortNo=1800", "-Json", "-Summary",
        "-Count=3", "-Timeout=9"},
       0, "", "k", "hosts.txt", true, true},
      {{"-Relay"}, 1, Syntax("-Relay"), nullptr, nullptr, false, false},
      {{"-Key=k", "-Relay", "-Explain"}, 1, Syntax("-Relay"), "k", nullptr, false, false},
      {{"-Relay", "-Key=k", "-IPv6"}, 1, Syntax("-Relay"), "k", nullptr, false, false},
      {{"-Relay", "-Key=k", "-Check"}, 1, Syntax("-Relay"), "k", nullptr, false, false},
      {{"-Relay", "-Key=k", "-Mac=02:54:57:00:00:1f"}, 1, Syntax("-Relay"), "k", nullptr, false, false},
      {{"-Key=k"}, 1, Syntax("-Key=k"), "k", nullptr, false, false},
      {{"-Ether", "-Any"}, 1, Syntax("-Ether"), nullptr, nullptr, true, false},
      {{"-Relay", "-Key="}, 1, Syntax("-Key="), nullptr, nullptr, false, false},
      {{"-Relay", "-Key=k", "-Hosts"}, 1, Syntax("-Hosts"), "k", nullptr, false, false},
      {{"-Relay", "-Key=k", "-?"}, 1, kUsage, "k", nullptr, false, false},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    std::string out, err;
    const listener::ListenerCommandLine line = Parse(&args, &out, &err);
    EXPECT_EQ(line.exit_code, c.code) << c.args[0];
    EXPECT_EQ(out, "") << c.args[0];
    EXPECT_EQ(err, c.err) << c.args[0];
    if (c.code != 0) continue;
    EXPECT_TRUE(line.relay.relay);
    EXPECT_STREQ(line.relay.key_path, c.key);
    EXPECT_STREQ(line.relay.hosts_path, c.hosts);
    EXPECT_EQ(line.relay.ether, c.ether);
    EXPECT_EQ(line.relay.port_given, c.port_given);
  }
}

}  // namespace
