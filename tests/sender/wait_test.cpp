// Tests of the wait engine and its report against simulated hosts on a fake clock: no sleeps, no network.
#include "sender/wait.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sender/wait_report.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_neighbours.h"
#include "tests/fakes/fake_probes.h"

namespace {

using platform::ProbeOutcome;

using fake_neighbours::ipv4;

const std::uint32_t kNas = ipv4(192, 0, 2, 20);
const std::uint32_t kFar = ipv4(198, 51, 100, 20);
const std::uint8_t kNasMac[6] = {0x02, 0x54, 0x57, 0x00, 0x0a, 0x14};
const std::uint8_t kStrangerMac[6] = {0x02, 0x54, 0x57, 0x00, 0x0a, 0x99};

platform::NeighbourRow Row(std::uint32_t address, const std::uint8_t mac[6]) {
  return fake_neighbours::dynamic_row(address, mac);
}

// A host asleep until a wake, then up after `delay_ms`, answering pings.
fake_probes::Host Sleeper(std::uint32_t address, std::uint64_t delay_ms) {
  return fake_probes::Host{address, false, delay_ms, 0, true, 0, {}, 5};
}

WaitSettings Settings(int wait_seconds, std::vector<std::uint16_t> ports = {}, int resend_seconds = 0) {
  WaitSettings settings{};
  settings.wait_seconds = wait_seconds;
  for (std::uint16_t port : ports) settings.ports[settings.port_count++] = port;
  settings.resend_seconds = resend_seconds;
  return settings;
}

// The caller's side of a wake: the simulated host hears it.
bool Resend(void* context, int index) {
  const WaitRun* run = static_cast<const WaitRun*>(context);
  fake_probes::wake_sent(run->targets[index].target.address);
  return true;
}

class Wait : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_clock::reset();
    fake_neighbours::reset();
    fake_probes::reset();
    run_.reset(new WaitRun);
  }
  void TearDown() override { WaitEnd(run_.get()); }

  void Begin(const WaitSettings& settings) { WaitBegin(run_.get(), settings, Resend, run_.get()); }

  int Add(std::uint32_t address, bool local, const char* name) {
    WaitTarget target{address, {}, local, name};
    std::memcpy(target.mac, kNasMac, 6);
    return WaitAddTarget(run_.get(), target);
  }

  // The silent send's course: the round before the wake, the wakes, the watch to its end.
  void RunToTheEnd() {
    ASSERT_TRUE(WaitProbeBeforeWake(run_.get()));
    for (int i = 0; i < 100 && WaitStep(run_.get(), 1000) == WaitPhase::kProbingBeforeWake; ++i) {}
    ASSERT_EQ(run_->phase, WaitPhase::kReadyToWake);
    for (int i = 0; i < run_->target_count; ++i) {
      fake_probes::wake_sent(run_->targets[i].target.address);
      WaitCountWake(run_.get(), i);
    }
    ASSERT_TRUE(WaitStartWatching(run_.get()));
    for (int i = 0; i < 100000 && WaitStep(run_.get(), 1000) == WaitPhase::kWatching; ++i) {}
    ASSERT_EQ(run_->phase, WaitPhase::kFinished);
  }

  std::string Line(int index) {
    char text[kWaitReportRoom];
    FormatWaitLine(*run_, index, text, sizeof text);
    return text;
  }

  nlohmann::json Json(int index) {
    char text[kWaitReportRoom];
    FormatWaitJson(*run_, index, text, sizeof text);
    return nlohmann::json::parse(text);
  }

  std::unique_ptr<WaitRun> run_;
};

TEST_F(Wait, SaysPerTargetWhenItCameUpOrWhyNot) {
  const struct {
    const char* name;
    WaitSettings settings;
    fake_probes::Host host;
    bool local;
    std::vector<platform::NeighbourRow> rows;
    bool echo_unavailable;
    const char* line;
  } cases[] = {
      {"wakes after 3 s", Settings(10), Sleeper(kNas, 3000), true, {Row(kNas, kNasMac)}, false,
       "192.0.2.20 (nas) is awake after 3.0 s: ping reply from 02:54:57:00:0a:14 (1 wake sent)"},
      {"pings dropped, port open", Settings(10, {22}),
       fake_probes::Host{kNas, false, 3000, 0, false, 0, {{22, ProbeOutcome::kAccepted}}, 5}, true, {Row(kNas, kNasMac)}, false,
       "192.0.2.20 (nas) is awake after 3.0 s: TCP accept on port 22 from 02:54:57:00:0a:14 (1 wake sent)"},
      {"pings dropped, port closed", Settings(10, {3389}),
       fake_probes::Host{kNas, false, 3000, 0, false, 0, {{3389, ProbeOutcome::kRefused}}, 5}, true, {Row(kNas, kNasMac)}, false,
       "192.0.2.20 (nas) is awake after 3.0 s: TCP reset on port 3389 from 02:54:57:00:0a:14 (1 wake sent)"},
      {"never wakes, woken again every 2 s", Settings(5, {22, 3389}, 2),
       fake_probes::Host{kNas, false, 0, 1000, true, 0, {}, 5}, true, {}, false,
       "192.0.2.20 (nas) did not answer within 5 s (3 wakes sent; no reply to ping or ports 22, 3389)"},
      {"already awake", Settings(10), fake_probes::Host{kNas, true, 0, 0, true, 0, {}, 5}, true, {Row(kNas, kNasMac)}, false,
       "192.0.2.20 (nas) was already awake: ping reply from 02:54:57:00:0a:14 (1 wake sent)"},
      {"another machine on the address", Settings(10), fake_probes::Host{kNas, true, 0, 0, true, 0, {}, 5}, true,
       {Row(kNas, kStrangerMac)}, false,
       "192.0.2.20 (nas) answered from 02:54:57:00:0a:99, not the woken 02:54:57:00:0a:14: is the address stale?"},
      {"the first wake lost", Settings(20, {}, 5), fake_probes::Host{kNas, false, 3000, 1, true, 0, {}, 5}, true,
       {Row(kNas, kNasMac)}, false,
       "192.0.2.20 (nas) is awake after 8.0 s: ping reply from 02:54:57:00:0a:14 (2 wakes sent)"},
      {"behind a router", Settings(10), Sleeper(kFar, 3000), false, {}, false,
       "198.51.100.20 (nas) is awake after 3.0 s: ping reply; identity not checked (behind a router) (1 wake sent)"},
      {"a reply from elsewhere does not count", Settings(3), fake_probes::Host{kFar, true, 0, 0, true, kNas, {}, 5}, false, {}, false,
       "198.51.100.20 (nas) did not answer within 3 s (1 wake sent; no reply to ping)"},
      {"answers, but no neighbour row", Settings(3), Sleeper(kNas, 0), true, {}, false,
       "192.0.2.20 (nas) did not answer within 3 s (1 wake sent; it answered, but the neighbour table never named its MAC)"},
      {"no ping: the port tells", Settings(10, {22}), fake_probes::Host{kNas, false, 3000, 0, true, 0, {{22, ProbeOutcome::kRefused}}, 5},
       true, {Row(kNas, kNasMac)}, true,
       "192.0.2.20 (nas) is awake after 3.0 s: TCP reset on port 22 from 02:54:57:00:0a:14 (1 wake sent)"},
      {"no ping and a silent port", Settings(2, {22}), Sleeper(kNas, 0), true, {Row(kNas, kNasMac)}, true,
       "192.0.2.20 (nas) did not answer within 2 s (1 wake sent; no reply to port 22)"},
  };
  for (const auto& c : cases) {
    SetUp();
    fake_probes::add_host(c.host);
    fake_neighbours::set_rows(c.rows);
    if (c.echo_unavailable) fake_probes::make_echo_unavailable(1);
    Begin(c.settings);
    ASSERT_EQ(Add(c.host.address, c.local, "nas"), 0);
    RunToTheEnd();
    EXPECT_EQ(WaitNextSettled(run_.get()), 0) << c.name;
    EXPECT_EQ(WaitNextSettled(run_.get()), -1) << c.name;
    EXPECT_EQ(Line(0), c.line) << c.name;
    for (const fake_probes::Started& probe : fake_probes::started()) {
      EXPECT_FALSE(probe.echo && c.echo_unavailable) << c.name;
    }
    TearDown();
  }
}

TEST_F(Wait, TheJsonObjectCarriesTheSameFacts) {
  fake_probes::add_host(fake_probes::Host{kNas, false, 3000, 0, false, 0, {{3389, ProbeOutcome::kRefused}}, 5});
  fake_neighbours::set_rows({Row(kNas, kNasMac)});
  Begin(Settings(10, {22, 3389}));
  Add(kNas, true, "n\"a\\s");
  Add(kFar, false, nullptr);
  RunToTheEnd();
  const nlohmann::json awake = Json(0);
  EXPECT_EQ(awake["target"], "192.0.2.20 (n\"a\\s)");
  EXPECT_EQ(awake["name"], "n\"a\\s");
  EXPECT_EQ(awake["mac"], "02:54:57:00:0a:14");
  EXPECT_EQ(awake["address"], "192.0.2.20");
  EXPECT_EQ(awake["outcome"], "awake");
  EXPECT_DOUBLE_EQ(awake["seconds"].get<double>(), 3.0);
  EXPECT_EQ(awake["probe"], "tcp/3389");
  EXPECT_EQ(awake["answer"], "refused");
  EXPECT_EQ(awake["answered_mac"], "02:54:57:00:0a:14");
  EXPECT_EQ(awake["wakes_sent"], 1);
  EXPECT_EQ(awake["identity"], "checked");
  const nlohmann::json timeout = Json(1);
  EXPECT_EQ(timeout["target"], "198.51.100.20");
  EXPECT_TRUE(timeout["name"].is_null());
  EXPECT_EQ(timeout["outcome"], "timeout");
  EXPECT_DOUBLE_EQ(timeout["seconds"].get<double>(), 10.0);
  EXPECT_TRUE(timeout["probe"].is_null());
  EXPECT_EQ(timeout["identity"], "not-checked");
}

TEST_F(Wait, TenHostsSettleInOneWaitEachProbedOnceASecondStaggered) {
  std::vector<platform::NeighbourRow> rows;
  Begin(Settings(30));
  for (int i = 0; i < 10; ++i) {
    const std::uint32_t address = ipv4(192, 0, 2, 21 + i);
    fake_probes::add_host(Sleeper(address, 1000ULL * (10 - i)));
    rows.push_back(Row(address, kNasMac));
    Add(address, true, nullptr);
  }
  fake_neighbours::set_rows(rows);
  RunToTheEnd();
  // The last to wake (10 s) ends the wait, not the sum of the delays.
  const std::uint64_t wake_ms = run_->wake_ms;
  EXPECT_LE(fake_probes::now_ms() - wake_ms, 11100u);
  // Settled in the order they woke, each within a second of its delay.
  for (int n = 0; n < 10; ++n) {
    const int index = WaitNextSettled(run_.get());
    ASSERT_EQ(index, 9 - n);
    const TargetWatch& watch = run_->targets[index];
    EXPECT_EQ(watch.judgement.outcome, WaitOutcome::kAwake);
    EXPECT_GE(watch.settled_ms, 1000ULL * (10 - index));
    EXPECT_LT(watch.settled_ms, 1000ULL * (10 - index) + 1000);
  }
  // After the wake: the first probes spread over the first second, then one a second each.
  std::vector<std::vector<std::uint64_t>> times(10);
  for (const fake_probes::Started& probe : fake_probes::started()) {
    if (probe.at_ms < wake_ms) continue;
    for (int i = 0; i < 10; ++i) {
      if (probe.address == ipv4(192, 0, 2, 21 + i)) times[static_cast<std::size_t>(i)].push_back(probe.at_ms - wake_ms);
    }
  }
  for (int i = 0; i < 10; ++i) {
    const std::vector<std::uint64_t>& t = times[static_cast<std::size_t>(i)];
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], 100u * static_cast<unsigned>(i)) << i;
    for (std::size_t k = 1; k < t.size(); ++k) EXPECT_EQ(t[k] - t[k - 1], 1000u) << i;
  }
}

TEST_F(Wait, AStepNeverBlocksLongerThanItIsGiven) {
  fake_probes::add_host(Sleeper(kNas, 60000));
  Begin(Settings(120, {22}));
  Add(kNas, true, nullptr);
  ASSERT_TRUE(WaitStartWatching(run_.get()));
  const std::uint64_t start = fake_probes::now_ms();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(WaitStep(run_.get(), 0), WaitPhase::kWatching);
  EXPECT_EQ(fake_probes::now_ms(), start);
  for (int i = 0; i < 20; ++i) {
    const std::uint64_t before = fake_probes::now_ms();
    WaitStep(run_.get(), 250);
    EXPECT_LE(fake_probes::now_ms() - before, 250u);
  }
  // The service was opened for the targets there are, with room for overlapping rounds.
  EXPECT_GE(fake_probes::room(), fake_probes::most_in_flight());
}

TEST_F(Wait, EveryTargetAwakeBeforeTheWakeIsKnownBeforeAnyWakeGoesOut) {
  fake_probes::add_host(fake_probes::Host{kNas, true, 0, 0, true, 0, {}, 5});
  fake_probes::add_host(fake_probes::Host{kFar, true, 0, 0, false, 0, {{22, ProbeOutcome::kAccepted}}, 5});
  fake_neighbours::set_rows({Row(kNas, kNasMac)});
  Begin(Settings(10, {22}));
  Add(kNas, true, "nas");
  Add(kFar, false, "far");
  ASSERT_TRUE(WaitProbeBeforeWake(run_.get()));
  for (int i = 0; i < 100 && WaitStep(run_.get(), 1000) == WaitPhase::kProbingBeforeWake; ++i) {}
  ASSERT_EQ(run_->phase, WaitPhase::kReadyToWake);
  EXPECT_TRUE(WaitAllAwake(*run_));
  // Nothing is handed out before the wakes are counted; then the lines say none was sent.
  EXPECT_EQ(WaitNextSettled(run_.get()), -1);
  ASSERT_TRUE(WaitStartWatching(run_.get()));
  EXPECT_EQ(run_->phase, WaitPhase::kFinished);
  EXPECT_EQ(WaitNextSettled(run_.get()), 0);
  EXPECT_EQ(Line(0), "192.0.2.20 (nas) was already awake: ping reply from 02:54:57:00:0a:14 (no wake sent)");
  EXPECT_EQ(WaitNextSettled(run_.get()), 1);
  EXPECT_EQ(Line(1), "198.51.100.20 (far) was already awake: TCP accept on port 22; identity not checked (behind a router) (no wake sent)");
}

}  // namespace
