// The dialog's wait through the fake host's timer, against simulated hosts on the fake clock.
#include "sender/dialog/dialog_wait.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_dialog_host.h"
#include "sender/dialog/layout.h"
#include "sender/program.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_interfaces.h"
#include "tests/fakes/fake_neighbours.h"
#include "tests/fakes/fake_probes.h"

namespace {

using namespace dialog;
using fake_dialog::g_record;
using fake_dialog::Text;

using fake_neighbours::ipv4;

const std::uint32_t kNas = ipv4(192, 0, 2, 20);
const std::uint32_t kKiosk = ipv4(192, 0, 2, 40);
const std::uint8_t kNasMac[6] = {0x02, 0x54, 0x57, 0x00, 0x0a, 0x14};

platform::NeighbourRow Row(std::uint32_t address) { return fake_neighbours::dynamic_row(address, kNasMac); }

void HostHearsWake(std::uint32_t address) { fake_probes::wake_sent(address); }

class DialogWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_dialog::Reset();
    fake_clock::reset();
    fake_probes::reset();
    fake_neighbours::reset();
    const platform::InterfaceRecord lan = fake_ipv4_record("lan0", 0x13, 0xC000020A, 0xFFFFFF00, 2);
    fake_interfaces_set(&lan, 1);
    fake_neighbours::set_rows({Row(kNas), Row(kKiosk)});
    fake_dialog::g_on_send = HostHearsWake;
  }
  void TearDown() override { fake_dialog::Restore(); }

  // kestrava started with these options and no target.
  void Start(const char* options) {
    command_line_ = options;
    ApplyCommandLine(ParseCommandLine(&command_line_[0]));
  }

  void SendTo(const char* ip, const char* name = "nas") {
    g_record.texts[kIdTargetName] = name;
    g_record.texts[kIdIpAddress] = ip;
    g_record.texts[kIdSubnetMask] = "255.255.255.0";
    g_record.texts[kIdMacAddress] = "02-54-57-00-0A-14";
    g_record.texts[kIdPortNumber] = "1778";
    fake_dialog::Click(kIdSendMagic);
  }

  // The message loop for `ms`: the timer's ticks, the clock moving on between them.
  void Run(int ms) {
    for (int t = 0; t < ms; t += static_cast<int>(kWaitTimerMs)) {
      fake_clock::advance(kWaitTimerMs * fake_clock::frequency() / 1000);
      if (!fake_dialog::FireTimer(kWaitTimerId)) return;
    }
  }

  std::string command_line_;
};

TEST_F(DialogWaitTest, EachSendWatchesItsTarget) {
  // The host's wake delay and the wakes it ignores; the Host itself is made in the loop (a
  // table of records holding vectors trips mingw's maybe-uninitialized warning).
  const struct {
    const char* name;
    const char* options;
    std::uint64_t wake_delay_ms;
    int ignored_wakes;
    int run_ms;
    std::string status;
    std::size_t sends;
  } cases[] = {
      {"woken after 3 s", "/Wait=10", 3000, 0, 20000,
       "192.0.2.20 (nas) is awake after 3.1 s: ping reply from 02:54:57:00:0a:14 (1 wake sent)", 1},
      {"never woken", "/Wait=3 /Probe=3389", 0, 100, 20000,
       "192.0.2.20 (nas) did not answer within 3 s (1 wake sent; no reply to ping or port 3389)", 1},
      {"the first wake lost", "/Wait=20 /Resend=4", 0, 1, 20000,
       "192.0.2.20 (nas) is awake after 4.1 s: ping reply from 02:54:57:00:0a:14 (2 wakes sent)", 2},
      {"still waiting", "/Wait=20", 10000, 0, 2500, "Waiting for 192.0.2.20 (nas): 2 s", 1},
  };
  for (const auto& c : cases) {
    SetUp();
    Start(c.options);
    fake_probes::add_host({kNas, false, c.wake_delay_ms, c.ignored_wakes, true, 0, {}, 5});
    SendTo("192.0.2.20");
    EXPECT_EQ(g_record.timers[kWaitTimerId], kWaitTimerMs) << c.name;
    Run(c.run_ms);
    EXPECT_EQ(Text(kIdStatus), c.status) << c.name;
    EXPECT_EQ(g_record.sends.size(), c.sends) << c.name;
    const bool settled = c.status.rfind("Waiting", 0) != 0;
    EXPECT_EQ(g_record.timers.count(kWaitTimerId), settled ? 0u : 1u) << c.name;
    TearDown();
  }
}

TEST_F(DialogWaitTest, EscStopsTheWaitAndThenClosesTheDialog) {
  Start("/Wait");
  fake_probes::add_host({kNas, false, 60000, 0, true, 0, {}, 5});
  SendTo("192.0.2.20", "");
  Run(1500);
  fake_dialog::Click(kIdCancel);
  EXPECT_EQ(Text(kIdStatus), "Stopped waiting for 192.0.2.20 after 1 s");
  EXPECT_TRUE(g_record.timers.empty());
  EXPECT_TRUE(g_record.posted.empty());
  fake_dialog::Click(kIdCancel);
  ASSERT_EQ(g_record.posted.size(), 1u);
  EXPECT_EQ(g_record.posted[0].message, kWmSysCommand);
}

TEST_F(DialogWaitTest, ANewSendStopsTheWaitAndWatchesItsOwnTarget) {
  Start("/Wait=30");
  fake_probes::add_host({kNas, false, 60000, 0, true, 0, {}, 5});
  fake_probes::add_host({kKiosk, false, 2000, 0, true, 0, {}, 5});
  SendTo("192.0.2.20");
  Run(1000);
  SendTo("192.0.2.40", "kiosk");
  EXPECT_EQ(Text(kIdStatus), "Waiting for 192.0.2.40 (kiosk): 0 s");
  const std::size_t probes_before = fake_probes::started().size();
  Run(10000);
  EXPECT_EQ(Text(kIdStatus), "192.0.2.40 (kiosk) is awake after 2.1 s: ping reply from 02:54:57:00:0a:14 (1 wake sent)");
  for (std::size_t i = probes_before; i < fake_probes::started().size(); ++i) {
    EXPECT_EQ(fake_probes::started()[i].address, kKiosk);
  }
}

TEST_F(DialogWaitTest, WithoutWaitNothingIsWatched) {
  fake_probes::add_host({kNas, false, 0, 0, true, 0, {}, 5});
  SendTo("192.0.2.20");
  EXPECT_TRUE(g_record.timers.empty());
  EXPECT_TRUE(fake_probes::started().empty());
  EXPECT_EQ(Text(kIdStatus), "");
  fake_dialog::Click(kIdCancel);
  EXPECT_EQ(g_record.posted.size(), 1u);
}

TEST_F(DialogWaitTest, TheDialogsEndStopsTheTimer) {
  Start("/Wait");
  SendTo("192.0.2.20");
  fake_dialog::Send(kWmSysCommand, kScClose);
  EXPECT_EQ(g_record.destroyed, 1);
  EXPECT_TRUE(g_record.timers.empty());
}

}  // namespace
