// Tests of the silent send on the loopback: the seed's one packet, counts with sequence numbers,
// hosts files, refusals, with a fake interface list and pauses that are only recorded.
#include "sender/program.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/fakes/fake_interfaces.h"
#include "tests/fakes/fake_sleep.h"
#include "tests/sender/loopback_receiver.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> g_boxes;

int RecordBox(platform::Window, const char* text, const char* caption, unsigned) {
  g_boxes.push_back(std::string(caption) + ": " + text);
  return 1;
}

std::uint32_t Le32(const Bytes& datagram, std::size_t at) {
  return datagram[at] | datagram[at + 1] << 8 | datagram[at + 2] << 16 | static_cast<std::uint32_t>(datagram[at + 3]) << 24;
}

// The fake list's one interface is the loopback with the full mask, so the subnet-directed
// broadcast of 127.0.0.1 is 127.0.0.1 itself.
class SilentSendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::InterfaceRecord lo = fake_ipv4_record("lo", 0x13, 0x7F000001, 0xFFFFFFFF, 1);
    fake_interfaces_set(&lo, 1);
    ResetProgramState();
    g_boxes.clear();
    SetMessageBoxHost(RecordBox);
    fake_sleep::reset();
    ASSERT_NE(receiver_.port(), 0);
    port_option_ = " /Port=" + std::to_string(receiver_.port());
  }
  void TearDown() override {
    ResetProgramState();
    std::remove(hosts_path_.c_str());
  }

  // Parses, applies and sends as kestrava's entry does; the line sends to the receiver's port
  // unless `own_port` is false.
  SendOutcome Run(const std::string& line, bool own_port = true) {
    text_ = line + (own_port ? port_option_ : "");
    std::vector<char> buffer(text_.begin(), text_.end());
    buffer.push_back('\0');
    buffer_ = buffer;
    const CommandLine parsed = ParseCommandLine(buffer_.data());
    EXPECT_EQ(parsed.action, ProgramAction::kSilentSend) << line;
    ApplyCommandLine(parsed);
    return SilentSend(parsed);
  }
  void WriteHosts(const std::string& text) {
    std::FILE* f = std::fopen(hosts_path_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }

  LoopbackReceiver receiver_;
  std::string port_option_, text_;
  std::vector<char> buffer_;
  // Of this process only: the normal and the sanitizer build run their tests at the same time.
  std::string hosts_path_ = ::testing::TempDir() + "tidewake_silent_send_hosts_" + std::to_string(getpid()) + ".txt";
};

TEST_F(SilentSendTest, TheSeedsLinesSendOneBroadcastMagicPacket) {
  const struct {
    const char* line;
    std::size_t length;
    std::size_t mac_offset;
    std::uint8_t mac[6];
  } cases[] = {
      {"/IP=127.0.0.1 /MAC=00-11-22-33-44-55", 118, 22, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}},
      {"-ip=127.0.0.1 -mac=a0:11:22:33:44:55 -NOHDR", 102, 6, {0xA0, 0x11, 0x22, 0x33, 0x44, 0x55}},
      {"Title /MAC=b0-1-2-3-4-5 /IP=127.0.0.1", 102, 6, {0xB0, 1, 2, 3, 4, 5}},  // header stays off
      {"/IP=127.0.0.1 /MAC=zz", 102, 6, {0, 0, 0, 0, 0, 0}},  // an unreadable MAC is sent as zeros
  };
  for (const auto& c : cases) {
    const int queries = fake_interfaces_queries();
    EXPECT_EQ(Run(c.line), SendOutcome::kAllSent) << c.line;
    EXPECT_EQ(fake_interfaces_queries(), queries + 1) << "the netmask is asked for once";
    const auto got = receiver_.Take();
    ASSERT_EQ(got.size(), 1u) << c.line;
    EXPECT_EQ(got[0].size(), c.length) << c.line;
    EXPECT_EQ(0, std::memcmp(got[0].data() + c.mac_offset, c.mac, 6)) << c.line;
    if (c.length == 118) {
      EXPECT_EQ(Le32(got[0], 12), 0u) << "no sequence number in a single datagram";
    }
  }
  EXPECT_EQ(fake_sleep::pauses(), std::vector<unsigned long>(4, 10)) << "10 ms after each send";
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SilentSendTest, FailedInterfaceQueryIsReportedAndSendsNothing) {
  fake_interfaces_fail();
  EXPECT_EQ(Run("/IP=127.0.0.1 /MAC=00-11-22-33-44-55"), SendOutcome::kSomeFailed);
  EXPECT_TRUE(receiver_.Take().empty());
  EXPECT_EQ(g_boxes, std::vector<std::string>{"SIO_GET_INTERFACE_LIST err: No more file descriptors available"});
}

TEST_F(SilentSendTest, CountsCarrySequenceNumbersOnlyWithTheHeader) {
  EXPECT_EQ(Run("/MAC=00-11-22-33-44-55 /To=127.0.0.1 /Count=5 /Interval=250"), SendOutcome::kAllSent);
  auto got = receiver_.Take();
  ASSERT_EQ(got.size(), 5u);
  for (std::uint32_t i = 0; i < 5; ++i) {
    ASSERT_EQ(got[i].size(), 118u);
    EXPECT_EQ(Le32(got[i], 12), i + 1);
    EXPECT_EQ(Le32(got[i], 8), 118u);
  }
  EXPECT_EQ(fake_sleep::pauses(), (std::vector<unsigned long>{250, 250, 250, 250, 10}));

  EXPECT_EQ(Run("/MAC=00-11-22-33-44-55 /To=127.0.0.1 /Count=2 /nohdr"), SendOutcome::kAllSent);
  got = receiver_.Take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], got[1]) << "without the header the datagrams carry no number";
  EXPECT_EQ(got[0].size(), 102u);
}

TEST_F(SilentSendTest, HostsFileSendsTheGoodLinesAndCountsTheBadOnes) {
  WriteHosts("# three hosts, one line that cannot be read\n"
             "02:00:00:00:00:01 127.0.0.1 one\n"
             "02:00:00:00:00:02 127.0.0.1\n"
             "02:00:00:00:00:zz 127.0.0.1 bad\n"
             "02:00:00:00:00:04 four\n");  // no address: nothing to send a direct packet to
  testing::internal::CaptureStderr();
  const SendOutcome outcome = Run("/File=" + hosts_path_ + " /Kind=4");
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(outcome, SendOutcome::kSomeFailed);
  EXPECT_EQ(errors, "kestrava: " + hosts_path_ + ":4: not a MAC address: 02:00:00:00:00:zz\n" +
                        "kestrava: " + hosts_path_ +
                        ":5: no address to send a /Kind=2 or /Kind=4 datagram to: 02:00:00:00:00:04\n");
  const auto got = receiver_.Take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0][16 + 6 + 5], 0x01);
  EXPECT_EQ(got[1][16 + 6 + 5], 0x02);

  WriteHosts("02:00:00:00:00:01 127.0.0.1\n02:00:00:00:00:02 127.0.0.1\n");
  EXPECT_EQ(Run("/File=" + hosts_path_ + " /IP=127.0.0.1 /MAC=02:00:00:00:00:09 /Count=2"), SendOutcome::kAllSent);
  const auto rounds = receiver_.Take();
  ASSERT_EQ(rounds.size(), 6u) << "the command line's target and the file's, each round";
  const std::uint8_t order[] = {9, 1, 2, 9, 1, 2};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(rounds[i][16 + 6 + 5], order[i]) << i;
    EXPECT_EQ(Le32(rounds[i], 12), i < 3 ? 1u : 2u) << i;
  }
}

TEST_F(SilentSendTest, RefusalsSendNothing) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(Run("/IP=127.0.0.1 /MAC=1:2:3:4:5:6 /Interface=eth9"), SendOutcome::kRefused);
  WriteHosts("# nobody\n\n");
  EXPECT_EQ(Run("/File=" + hosts_path_), SendOutcome::kRefused);
  std::remove(hosts_path_.c_str());
  EXPECT_EQ(Run("/File=" + hosts_path_), SendOutcome::kRefused);
  // A line that names a relay needs the key to sign its request; the direct line is not sent either.
  WriteHosts("01:02:03:04:05:06 127.0.0.1\n01:02:03:04:05:07 relay=127.0.0.1\n");
  EXPECT_EQ(Run("/File=" + hosts_path_), SendOutcome::kRefused);
  EXPECT_EQ(Run("/File=" + hosts_path_ + " /Key=relay.key /Count=17"), SendOutcome::kRefused);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("kestrava: /Count=17: through a relay the count is a number from 1 to 16"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find(hosts_path_ + ": names relays: /Key=FILE is needed to sign their requests\n"), std::string::npos)
      << errors;
  EXPECT_EQ(errors.substr(0, errors.find('\n')),
            "kestrava: /Interface=eth9: no IPv4 interface has that name or address");
  EXPECT_NE(errors.find(hosts_path_ + ": names no host to wake\n"), std::string::npos) << errors;
  EXPECT_TRUE(receiver_.Take().empty());
  EXPECT_TRUE(g_boxes.empty());
}

}  // namespace
