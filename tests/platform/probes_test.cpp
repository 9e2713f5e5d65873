// Tests of the probe service with real sockets on the loopback: accepted, refused and echoed probes, many in flight.
#include "platform/probes.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/sockets.h"

namespace {

using platform::ProbeOutcome;

const std::uint32_t kLoopback = htonl(INADDR_LOOPBACK);

// A TCP socket bound to a loopback port; listening or not (then connects are refused).
struct Port {
  SOCKET socket;
  std::uint16_t number;
};

Port OpenPort(bool listening) {
  Port port{socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), 0};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = kLoopback;
  EXPECT_EQ(bind(port.socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t size = sizeof address;
  getsockname(port.socket, reinterpret_cast<sockaddr*>(&address), &size);
  port.number = ntohs(address.sin_port);
  if (listening) {
    EXPECT_EQ(listen(port.socket, 128), 0);
  }
  return port;
}

// Every result until `expected` have come or 50 waits have passed; each token once.
std::map<std::uint32_t, platform::ProbeResult> Collect(platform::ProbeHandle probes, std::size_t expected,
                                                       int room = 16) {
  std::map<std::uint32_t, platform::ProbeResult> seen;
  std::vector<platform::ProbeResult> results(static_cast<std::size_t>(room));
  for (int i = 0; i < 50 && seen.size() < expected; ++i) {
    const int n = platform::probes_wait(probes, 100, results.data(), room);
    EXPECT_GE(n, 0);
    EXPECT_LE(n, room);
    for (int k = 0; k < n; ++k) {
      EXPECT_TRUE(seen.emplace(results[static_cast<std::size_t>(k)].token, results[static_cast<std::size_t>(k)]).second)
          << "token " << results[static_cast<std::size_t>(k)].token << " twice";
    }
  }
  return seen;
}

class Probes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::socket_startup(2, 2));
    open_ = OpenPort(true);
    closed_ = OpenPort(false);
    probes_ = platform::probes_open(256);
    ASSERT_NE(probes_, nullptr);
  }
  void TearDown() override {
    platform::probes_close(probes_);
    closesocket(open_.socket);
    closesocket(closed_.socket);
    platform::socket_cleanup();
  }
  Port open_{}, closed_{};
  platform::ProbeHandle probes_ = nullptr;
};

TEST_F(Probes, ManyProbesInFlightSettleOnceEachWithTheirOwnOutcome) {
  unsigned long echo_error = 0;
  const bool echo = platform::probes_echo_available(probes_, &echo_error);
  std::map<std::uint32_t, ProbeOutcome> expected;
  for (std::uint32_t i = 0; i < 40; ++i) {
    const std::uint32_t token = 1000 + i;
    if (i % 3 == 0 && echo) {
      ASSERT_TRUE(platform::probe_echo(probes_, token, kLoopback, "probe", 5, 2000));
      expected[token] = ProbeOutcome::kEchoReply;
    } else {
      const bool listening = i % 3 == 1;
      ASSERT_TRUE(platform::probe_connect(probes_, token, kLoopback, listening ? open_.number : closed_.number, 2000));
      expected[token] = listening ? ProbeOutcome::kAccepted : ProbeOutcome::kRefused;
    }
  }
  EXPECT_EQ(platform::probes_in_flight(probes_), static_cast<int>(expected.size()));
  // A small room hands the results out over several waits.
  const auto seen = Collect(probes_, expected.size(), 3);
  ASSERT_EQ(seen.size(), expected.size());
  for (const auto& [token, outcome] : expected) {
    const platform::ProbeResult& result = seen.at(token);
    EXPECT_EQ(result.outcome, outcome) << token << " status " << result.status;
    // The replying address; no error for an accepted connect; WSAECONNREFUSED for a refused one.
    const unsigned long status = outcome == ProbeOutcome::kRefused ? 10061u : 0u;
    EXPECT_EQ(result.status, status) << token;
    EXPECT_EQ(result.from, outcome == ProbeOutcome::kEchoReply ? kLoopback : 0u) << token;
  }
  EXPECT_EQ(platform::probes_in_flight(probes_), 0);
  if (!echo) GTEST_SKIP() << "no ICMP socket here (error " << echo_error << "): echoes untested";
}

TEST_F(Probes, RefusesWhatItCannotSettle) {
  platform::ProbeHandle small = platform::probes_open(1);
  ASSERT_NE(small, nullptr);
  EXPECT_TRUE(platform::probe_connect(small, 1, kLoopback, open_.number, 2000));
  EXPECT_FALSE(platform::probe_connect(small, 2, kLoopback, open_.number, 2000));  // no room
  EXPECT_EQ(Collect(small, 1).size(), 1u);
  EXPECT_TRUE(platform::probe_connect(small, 3, kLoopback, open_.number, 2000));   // room again
  platform::probes_close(small);  // with a probe in flight
  if (platform::probes_echo_available(probes_, nullptr)) {
    EXPECT_FALSE(platform::probe_echo(probes_, 4, 0, "x", 1, 2000));
  }
  EXPECT_EQ(platform::probes_in_flight(probes_), 0);
}

}  // namespace
