// The judgement of a watched target: a pure function of the finding and the neighbour rows.
#include "sender/wait_judgement.h"

#include <cstring>

namespace {

constexpr std::uint32_t kMacLength = 6;

// A row that names a machine: resolved (not a failed or pending entry) with a whole,
// non-zero MAC. An incomplete row keeps the zero address the table gives it.
bool names_a_machine(const platform::NeighbourRow& row) {
  if (row.type != platform::kNeighbourDynamic && row.type != platform::kNeighbourStatic &&
      row.type != platform::kNeighbourOther) {
    return false;
  }
  if (row.physical_length < kMacLength) return false;
  for (std::uint32_t i = 0; i < kMacLength; ++i) {
    if (row.physical[i] != 0) return true;
  }
  return false;
}

Judgement pending_or_timeout(WaitStage stage) {
  Judgement judgement{};
  judgement.outcome = stage == WaitStage::kDeadlinePassed ? WaitOutcome::kTimeout : WaitOutcome::kPending;
  judgement.answer = ProbeAnswer::kNone;
  return judgement;
}

}  // namespace

Judgement JudgeFinding(const WatchedHost& host, WaitStage stage, const ProbeFinding& finding,
                       const platform::NeighbourRow* rows, int row_count) {
  const bool answered = finding.answer != ProbeAnswer::kNone &&
                        (finding.answer != ProbeAnswer::kPingReply || finding.from == host.address);
  if (!answered) return pending_or_timeout(stage);

  Judgement judgement{};
  judgement.answer = finding.answer;
  judgement.port = finding.port;
  const WaitOutcome counted = stage == WaitStage::kBeforeWake ? WaitOutcome::kAlreadyAwake : WaitOutcome::kAwake;
  if (!host.local) {
    judgement.outcome = counted;
    return judgement;
  }

  // A host on two of our subnets has a row per interface: the woken MAC on any of them counts.
  const platform::NeighbourRow* other = nullptr;
  for (int i = 0; rows != nullptr && i < row_count; ++i) {
    const platform::NeighbourRow& row = rows[i];
    if (row.address != host.address || !names_a_machine(row)) continue;
    if (std::memcmp(row.physical, host.mac, kMacLength) == 0) {
      judgement.outcome = counted;
      judgement.identity_checked = true;
      std::memcpy(judgement.answered_mac, row.physical, kMacLength);
      return judgement;
    }
    if (other == nullptr) other = &row;
  }
  if (other == nullptr) return pending_or_timeout(stage);
  judgement.outcome = stage == WaitStage::kBeforeWake ? WaitOutcome::kPending : WaitOutcome::kWrongMac;
  judgement.identity_checked = true;
  std::memcpy(judgement.answered_mac, other->physical, kMacLength);
  return judgement;
}
