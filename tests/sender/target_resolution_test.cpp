// Tests of the quick ping and the MAC lookup against fakes of the echo service, counter and ARP table.
#include "sender/target_resolution.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/echo.h"
#include "platform/neighbours.h"
#include "sender/log/log.h"
#include "sender/program.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_echo.h"
#include "tests/fakes/fake_host.h"
#include "tests/fakes/fake_neighbours.h"
#include "tests/fakes/fake_sleep.h"

namespace {

std::vector<std::string> g_lines;

void capture_line(const char* text, std::int32_t length, bool) {
  // The record starts with its two-character separator; its final line feed is not counted.
  g_lines.emplace_back(text + 2, static_cast<std::size_t>(length) - 2);
}

std::uint32_t ip(int a, int b, int c, int d) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                 static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
  std::uint32_t address;
  std::memcpy(&address, bytes, 4);
  return address;
}

fake_echo::Outcome answered(std::uint64_t us) { return {true, 0, us}; }
fake_echo::Outcome timed_out() { return {false, platform::kEchoTimedOut, 500000}; }
fake_echo::Outcome failed(unsigned long error) { return {false, error, 100}; }

platform::NeighbourRow row(std::uint32_t address, std::uint8_t last_mac_byte) {
  platform::NeighbourRow r{};
  r.interface_index = 2;
  r.physical_length = 6;
  const std::uint8_t mac[6] = {0x00, 0x0C, 0x29, 0xAB, 0xCD, last_mac_byte};
  std::memcpy(r.physical, mac, 6);
  r.address = address;
  r.type = platform::kNeighbourDynamic;
  return r;
}

class TargetResolution : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_clock::reset();
    fake_echo::reset();
    fake_host::reset();
    fake_neighbours::reset();
    fake_sleep::reset();
    log_set_path("-");
    log_set_line_hook(capture_line);
    g_lines.clear();
    g_program.debug_flags = 0;
  }
  void TearDown() override {
    log_set_line_hook(nullptr);
    g_program.debug_flags = 0;
  }
};

struct PingCase {
  const char* what;
  std::vector<fake_echo::Outcome> outcomes;
  std::int32_t tries;
  std::uint32_t flags;
  std::int32_t expected;
  std::vector<std::string> lines;
};

TEST_F(TargetResolution, QuickPingKeepsTheShortestRoundTripAndLogsUnderBit0x10) {
  const std::vector<PingCase> cases = {
      {"5, 2 and 7 ms give 2",
       {answered(5000), answered(2000), answered(7000)}, 3, 0x10, 2,
       {"QuickPing 192.0.2.10 len=32 5", "QuickPing 192.0.2.10 len=32 2",
        "QuickPing 192.0.2.10 len=32 7", "QuickPing 192.0.2.10 len=32 result=2"}},
      {"under 1 ms gives 1, the try line shows 0",
       {answered(600)}, 1, 0x10, 1,
       {"QuickPing 192.0.2.10 len=32 0", "QuickPing 192.0.2.10 len=32 result=1"}},
      {"a later try under 1 ms still gives 1",
       {answered(3000), answered(400)}, 2, 0x10, 1,
       {"QuickPing 192.0.2.10 len=32 3", "QuickPing 192.0.2.10 len=32 0",
        "QuickPing 192.0.2.10 len=32 result=1"}},
      {"tenths are cut, not rounded",
       {answered(2999), answered(10990)}, 2, 0x10, 2,
       {"QuickPing 192.0.2.10 len=32 2", "QuickPing 192.0.2.10 len=32 10",
        "QuickPing 192.0.2.10 len=32 result=2"}},
      {"time-outs are never logged",
       {timed_out(), timed_out(), timed_out()}, 3, 0x10, 0,
       {"QuickPing 192.0.2.10 len=32 result=0"}},
      {"a time-out between answers does not reset the minimum",
       {answered(4000), timed_out(), answered(6000)}, 3, 0x10, 4,
       {"QuickPing 192.0.2.10 len=32 4", "QuickPing 192.0.2.10 len=32 6",
        "QuickPing 192.0.2.10 len=32 result=4"}},
      {"other failures are logged with their system text",
       {failed(113), answered(3000)}, 2, 0x10, 3,
       {"QuickPing 192.0.2.10 err=00000071 No route to host", "QuickPing 192.0.2.10 len=32 3",
        "QuickPing 192.0.2.10 len=32 result=3"}},
      {"an error without a system text",
       {failed(platform::kEchoHostUnreachable)}, 1, 0x10, 0,
       {"QuickPing 192.0.2.10 err=00002afb Error 0x00002afb",
        "QuickPing 192.0.2.10 len=32 result=0"}},
      {"0 tries still write the closing line", {answered(1000)}, 0, 0x10, 0,
       {"QuickPing 192.0.2.10 len=32 result=0"}},
      {"negative tries send nothing", {answered(1000)}, -4, 0x10, 0,
       {"QuickPing 192.0.2.10 len=32 result=0"}},
      {"other debug bits write nothing",
       {failed(113), answered(3000)}, 2, 0xFFFFFFEF, 3, {}},
  };
  for (const PingCase& c : cases) {
    SetUp();
    fake_echo::script(c.outcomes);
    EXPECT_EQ(QuickPing("192.0.2.10", 500, c.tries, 32, c.flags), c.expected) << c.what;
    EXPECT_EQ(g_lines, c.lines) << c.what;
    const std::size_t sent = c.tries > 0 ? static_cast<std::size_t>(c.tries) : 0;
    EXPECT_EQ(fake_echo::requests().size(), sent) << c.what;
    EXPECT_EQ(fake_echo::opened(), 1) << c.what;
    EXPECT_EQ(fake_echo::closed(), 1) << c.what;
  }
}

TEST_F(TargetResolution, RoundTripIsComputedFromTheCounterFrequency) {
  struct Case {
    std::uint64_t frequency;
    std::uint64_t us;
    std::int32_t expected;
  };
  const Case cases[] = {
      {1000000000ULL, 5000, 5},   // POSIX nanosecond counter
      {3579545ULL, 12000, 11},    // an odd frequency truncates on the way (11.99 ms)
      {10000000ULL, 250000, 250},
      {0, 5000, 1},               // a counter without a frequency cannot time: answered, so 1
  };
  for (const Case& c : cases) {
    SetUp();
    fake_clock::set_frequency(c.frequency);
    fake_echo::script({answered(c.us)});
    EXPECT_EQ(QuickPing("192.0.2.10", 500, 1, 32, 0), c.expected) << c.frequency;
  }
}

TEST_F(TargetResolution, QuickPingSendsTheRequestItWasAskedFor) {
  struct Case {
    const char* name;
    std::int32_t length;
    std::uint32_t timeout;
    std::uint32_t address;
    std::size_t size;
  };
  const Case cases[] = {
      {"192.0.2.10", 32, 500, ip(192, 0, 2, 10), 32},
      {"target-pc", 1, 1000, ip(198, 51, 100, 7), 1},
      // Names that cannot be resolved, and dotted texts that name no address, go to 0.0.0.0.
      {"unknown-pc", 32, 500, 0, 32},
      {"999.1.2.3", 32, 500, 0, 32},
      {"...", 32, 500, 0, 32},
      {"255.255.255.255", 32, 500, ip(255, 255, 255, 255), 32},
      // The size is the low 16 bits of the length; the buffers keep the whole length.
      {"192.0.2.10", 65536 + 8, 500, ip(192, 0, 2, 10), 8},
  };
  for (const Case& c : cases) {
    SetUp();
    fake_host::add("target-pc", ip(198, 51, 100, 7));
    fake_echo::script({answered(1000)});
    EXPECT_EQ(QuickPing(c.name, c.timeout, 1, c.length, 0), 1) << c.name;
    ASSERT_EQ(fake_echo::requests().size(), 1U) << c.name;
    const fake_echo::Request& r = fake_echo::requests()[0];
    EXPECT_EQ(r.address, c.address) << c.name;
    EXPECT_EQ(r.payload.size(), c.size) << c.name;
    EXPECT_EQ(r.reply_size, static_cast<unsigned long>(c.length) + 100) << c.name;
    EXPECT_EQ(r.timeout_ms, c.timeout) << c.name;
  }
}

TEST_F(TargetResolution, QuickPingThatCannotStartSendsAndLogsNothing) {
  struct Case {
    const char* what;
    bool open_fails;
    std::int32_t length;
    const char* name;
  };
  const Case cases[] = {
      {"echo service will not open", true, 32, "192.0.2.10"},
      {"zero length", false, 0, "192.0.2.10"},
      {"negative length", false, -5, "192.0.2.10"},
      {"no name", false, 32, nullptr},
  };
  for (const Case& c : cases) {
    SetUp();
    fake_echo::fail_open(c.open_fails);
    fake_echo::script({answered(1000)});
    EXPECT_EQ(QuickPing(c.name, 500, 3, c.length, 0x10), 0) << c.what;
    EXPECT_TRUE(fake_echo::requests().empty()) << c.what;
    EXPECT_TRUE(g_lines.empty()) << c.what;
  }
}

TEST_F(TargetResolution, QuickPingPausesAfterAnsweredTriesOnly) {
  // One 50 ms pause follows each answered try; failed and timed-out tries are followed at once.
  fake_echo::script({answered(1000), failed(113), timed_out(), answered(1000), answered(1000),
                     failed(113)});
  EXPECT_EQ(QuickPing("192.0.2.10", 500, 6, 32, 0), 1);
  const auto& r = fake_echo::requests();
  ASSERT_EQ(r.size(), 6U);
  const std::vector<std::vector<unsigned long>> expected = {
      {}, {50}, {50}, {50}, {50, 50}, {50, 50, 50}};
  for (std::size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i].pauses_before, expected[i]) << i;
  EXPECT_EQ(fake_sleep::pauses(), (std::vector<unsigned long>{50, 50, 50}));
}

TEST_F(TargetResolution, PayloadsFollowThePingCounter) {
  fake_echo::script({answered(1000), answered(1000)});
  QuickPing("192.0.2.10", 500, 2, 200, 0);
  QuickPing("192.0.2.10", 500, 1, 200, 0);
  const auto& r = fake_echo::requests();
  ASSERT_EQ(r.size(), 3U);
  // One fill per call, reused by every try of the call.
  EXPECT_EQ(r[0].payload, r[1].payload);
  EXPECT_EQ(static_cast<std::uint8_t>(r[0].payload[0] + 1), r[2].payload[0]);
  EXPECT_NE(r[0].payload, r[2].payload);
  for (const auto& request : r) {
    for (std::size_t i = 1; i < request.payload.size(); ++i) {
      ASSERT_GE(request.payload[i], 0x20) << i;
    }
  }
}

TEST_F(TargetResolution, FillPingPayloadStaysInsideShortBuffers) {
  std::uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  FillPingPayload(buffer, 1);
  const std::uint8_t first = buffer[0];
  EXPECT_EQ(buffer[1], 0xEE);
  FillPingPayload(buffer + 1, 0);
  FillPingPayload(buffer + 1, -3);
  FillPingPayload(nullptr, 8);
  EXPECT_EQ(buffer[1], 0xEE);
  // The fills without room still moved the counter on.
  FillPingPayload(buffer, 1);
  EXPECT_EQ(buffer[0], static_cast<std::uint8_t>(first + 4));
}

TEST_F(TargetResolution, QuickPingWithDebugFlagsUsesTheProcessFlags) {
  fake_echo::script({answered(2000), answered(2000)});
  g_program.debug_flags = 0x11;
  EXPECT_EQ(QuickPingWithDebugFlags("192.0.2.10", 500, 1, 16), 2);
  EXPECT_EQ(g_lines, (std::vector<std::string>{"QuickPing 192.0.2.10 len=16 2",
                                               "QuickPing 192.0.2.10 len=16 result=2"}));
  g_lines.clear();
  g_program.debug_flags = 0x01;
  EXPECT_EQ(QuickPingWithDebugFlags("192.0.2.10", 500, 1, 16), 2);
  EXPECT_TRUE(g_lines.empty());
}

struct LookupCase {
  const char* what;
  const char* address;
  std::vector<platform::NeighbourRow> rows;
  const char* expected_mac;  // nullptr: the output stays as it was
  bool warning;
};

std::vector<platform::NeighbourRow> table(int count, int match_at, std::uint8_t mac_byte) {
  std::vector<platform::NeighbourRow> rows;
  for (int i = 1; i <= count; ++i) {
    std::uint32_t address = i == match_at ? ip(192, 0, 2, 10) : ip(198, 51, i / 256, i % 256);
    rows.push_back(row(address, i == match_at ? mac_byte : 0x01));
  }
  return rows;
}

TEST_F(TargetResolution, LookupMacAddressScansTheArpTable) {
  const std::vector<LookupCase> cases = {
      {"one row", "192.0.2.10", {row(ip(192, 0, 2, 9), 0x11), row(ip(192, 0, 2, 10), 0xEF)},
       "00:0C:29:AB:CD:EF", false},
      {"two rows for the address: the last wins", "192.0.2.10",
       {row(ip(192, 0, 2, 10), 0x01), row(ip(192, 0, 2, 10), 0x02), row(ip(192, 0, 2, 11), 0x03)},
       "00:0C:29:AB:CD:02", false},
      {"no row for the address", "192.0.2.10", {row(ip(192, 0, 2, 1), 0x01)}, nullptr, false},
      {"empty table", "192.0.2.10", {}, nullptr, false},
      {"leading zeros never match", "192.000.002.010", {row(ip(192, 0, 2, 10), 0xEF)}, nullptr, false},
      {"a trailing space never matches", "192.0.2.10 ", {row(ip(192, 0, 2, 10), 0xEF)}, nullptr, false},
      {"a row of 300 is examined", "192.0.2.10", table(300, 300, 0x44), "00:0C:29:AB:CD:44", false},
      {"row 300 of 301 is examined", "192.0.2.10", table(301, 300, 0x45), "00:0C:29:AB:CD:45", true},
      {"row 301 is beyond the room", "192.0.2.10", table(301, 301, 0x46), nullptr, true},
  };
  for (const LookupCase& c : cases) {
    SetUp();
    g_program.debug_flags = 0x10;  // the lookup's own ping writes no lines whatever the flags
    fake_echo::script({answered(3000)});
    fake_neighbours::set_rows(c.rows);
    char mac[20] = "untouched";
    EXPECT_EQ(LookupMacAddress(c.address, mac), 3) << c.what;
    EXPECT_STREQ(mac, c.expected_mac != nullptr ? c.expected_mac : "untouched") << c.what;
    std::vector<std::string> lines;
    if (c.warning) {
      lines.push_back("Warning : The Allocated memory was insufficient(allocated 300 needed " +
                      std::to_string(c.rows.size()) + ")");
    }
    EXPECT_EQ(g_lines, lines) << c.what;
    EXPECT_EQ(fake_neighbours::reads(), 1) << c.what;
  }
}

TEST_F(TargetResolution, LookupPingsOnceWithItsOwnSettings) {
  fake_echo::script({answered(1000)});
  char mac[20] = "";
  LookupMacAddress("192.0.2.10", mac);
  ASSERT_EQ(fake_echo::requests().size(), 1U);
  EXPECT_EQ(fake_echo::requests()[0].timeout_ms, 500U);
  EXPECT_EQ(fake_echo::requests()[0].payload.size(), 32U);
}

TEST_F(TargetResolution, LookupWithoutAnAnswerLeavesEverythingAlone) {
  struct Case {
    const char* what;
    fake_echo::Outcome outcome;
    bool open_fails;
    bool read_fails;
    std::int32_t expected;
    int reads;
  };
  const Case cases[] = {
      {"time-out", timed_out(), false, false, 0, 0},
      {"failed try", failed(113), false, false, 0, 0},
      {"echo service will not open", answered(1000), true, false, 0, 0},
      {"answered but the table cannot be read", answered(2000), false, true, 2, 1},
  };
  for (const Case& c : cases) {
    SetUp();
    fake_echo::script({c.outcome});
    fake_echo::fail_open(c.open_fails);
    fake_neighbours::fail_reads(c.read_fails);
    fake_neighbours::set_rows({row(ip(192, 0, 2, 10), 0xEF)});
    char mac[20] = "untouched";
    EXPECT_EQ(LookupMacAddress("192.0.2.10", mac), c.expected) << c.what;
    EXPECT_STREQ(mac, "untouched") << c.what;
    EXPECT_EQ(fake_neighbours::reads(), c.reads) << c.what;
    EXPECT_TRUE(g_lines.empty()) << c.what;
  }
}

}  // namespace
