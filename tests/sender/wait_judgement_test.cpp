// Tests of the wait's judgement: a finding and neighbour rows in, the outcome out.
#include "sender/wait_judgement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kTarget = 0x1402000C;  // 12.0.2.20 in memory order: any address will do
constexpr std::uint32_t kOther = 0x2802000C;
const std::uint8_t kWoken[6] = {0x02, 0x54, 0x57, 0x00, 0x0a, 0x14};
const std::uint8_t kStranger[6] = {0x02, 0x54, 0x57, 0x00, 0x0a, 0x99};
const std::uint8_t kZero[6] = {};

platform::NeighbourRow Row(std::uint32_t address, const std::uint8_t mac[6],
                           std::uint32_t type = platform::kNeighbourDynamic, std::uint32_t interface_index = 2) {
  platform::NeighbourRow row{};
  row.interface_index = interface_index;
  row.physical_length = 6;
  std::memcpy(row.physical, mac, 6);
  row.address = address;
  row.type = type;
  return row;
}

WatchedHost Host(bool local) {
  WatchedHost host{kTarget, {}, local};
  std::memcpy(host.mac, kWoken, 6);
  return host;
}

const ProbeFinding kPing{ProbeAnswer::kPingReply, 0, kTarget};
const ProbeFinding kPingFromOther{ProbeAnswer::kPingReply, 0, kOther};
const ProbeFinding kReset{ProbeAnswer::kTcpRefused, 3389, 0};
const ProbeFinding kAccept{ProbeAnswer::kTcpAccepted, 22, 0};
const ProbeFinding kNothing{ProbeAnswer::kNone, 0, 0};

TEST(JudgeFinding, CountsOnlyAnAnswerThatTheNeighbourTableVouchesFor) {
  const struct {
    const char* name;
    bool local;
    WaitStage stage;
    ProbeFinding finding;
    std::vector<platform::NeighbourRow> rows;
    WaitOutcome outcome;
    bool checked;
    const std::uint8_t* answered_mac;  // when checked
  } cases[] = {
      {"ping, woken MAC", true, WaitStage::kWatching, kPing, {Row(kTarget, kWoken)}, WaitOutcome::kAwake, true, kWoken},
      {"before the wake", true, WaitStage::kBeforeWake, kPing, {Row(kTarget, kWoken)}, WaitOutcome::kAlreadyAwake, true, kWoken},
      {"reset counts as much as a reply", true, WaitStage::kWatching, kReset, {Row(kTarget, kWoken)}, WaitOutcome::kAwake, true, kWoken},
      {"an answer at the deadline still counts", true, WaitStage::kDeadlinePassed, kAccept, {Row(kTarget, kWoken, platform::kNeighbourStatic)}, WaitOutcome::kAwake, true, kWoken},
      {"another MAC answers", true, WaitStage::kWatching, kPing, {Row(kTarget, kStranger)}, WaitOutcome::kWrongMac, true, kStranger},
      {"another MAC before the wake: not awake, not yet judged", true, WaitStage::kBeforeWake, kPing, {Row(kTarget, kStranger)}, WaitOutcome::kPending, true, kStranger},
      {"the woken MAC on a second interface wins", true, WaitStage::kWatching, kPing,
       {Row(kTarget, kStranger, platform::kNeighbourDynamic, 2), Row(kTarget, kWoken, platform::kNeighbourDynamic, 3)}, WaitOutcome::kAwake, true, kWoken},
      {"incomplete row", true, WaitStage::kWatching, kPing, {Row(kTarget, kZero, platform::kNeighbourInvalid)}, WaitOutcome::kPending, false, nullptr},
      {"failed row that still shows the old MAC", true, WaitStage::kWatching, kPing, {Row(kTarget, kWoken, platform::kNeighbourInvalid)}, WaitOutcome::kPending, false, nullptr},
      {"no row", true, WaitStage::kWatching, kPing, {}, WaitOutcome::kPending, false, nullptr},
      {"no row when time is up", true, WaitStage::kDeadlinePassed, kPing, {}, WaitOutcome::kTimeout, false, nullptr},
      {"the woken MAC on another address", true, WaitStage::kWatching, kPing, {Row(kOther, kWoken)}, WaitOutcome::kPending, false, nullptr},
      {"behind a router: unchecked", false, WaitStage::kWatching, kAccept, {Row(kTarget, kStranger)}, WaitOutcome::kAwake, false, nullptr},
      {"behind a router before the wake", false, WaitStage::kBeforeWake, kPing, {}, WaitOutcome::kAlreadyAwake, false, nullptr},
      {"a reply from another address", false, WaitStage::kWatching, kPingFromOther, {}, WaitOutcome::kPending, false, nullptr},
      {"a reply from another address at the deadline", true, WaitStage::kDeadlinePassed, kPingFromOther, {Row(kTarget, kWoken)}, WaitOutcome::kTimeout, false, nullptr},
      {"nothing", true, WaitStage::kWatching, kNothing, {Row(kTarget, kWoken)}, WaitOutcome::kPending, false, nullptr},
      {"nothing when time is up", false, WaitStage::kDeadlinePassed, kNothing, {}, WaitOutcome::kTimeout, false, nullptr},
  };
  for (const auto& c : cases) {
    const Judgement j = JudgeFinding(Host(c.local), c.stage, c.finding, c.rows.data(), static_cast<int>(c.rows.size()));
    EXPECT_EQ(j.outcome, c.outcome) << c.name;
    EXPECT_EQ(j.identity_checked, c.checked) << c.name;
    if (c.answered_mac != nullptr) {
      EXPECT_EQ(std::memcmp(j.answered_mac, c.answered_mac, 6), 0) << c.name;
    }
    if (c.outcome != WaitOutcome::kPending && c.outcome != WaitOutcome::kTimeout) {
      EXPECT_EQ(j.answer, c.finding.answer) << c.name;
      EXPECT_EQ(j.port, c.finding.port) << c.name;
    }
  }
}

}  // namespace
