// The wait engine: probe rounds, repeated wakes, the judgement of each answer and the deadline, one bounded step at a time.
#include "sender/wait.h"

#include <cstring>

#include "platform/time.h"

namespace {

// Probe numbers within a target: 0 the ping, 1 + i the i-th port.
constexpr std::uint32_t kProbesPerTarget = 1 + kMaxProbePorts;
constexpr std::uint32_t kEchoProbe = 0;
static_assert(static_cast<std::uint64_t>(kMaxWaitTargets) * kProbesPerTarget < 0xFFFFFFFFULL,
              "a probe's token holds its target and its number");

// Room for the probes in flight: a probe lives for two intervals, so a target's rounds
// overlap, three of them at the turn of an interval.
constexpr int kRoundsInFlight =
    static_cast<int>((kWaitProbeTimeoutMs + kWaitProbeIntervalMs - 1) / kWaitProbeIntervalMs) + 1;

// The echo request's data: any will do; a text makes the wait's requests plain in a capture.
constexpr std::uint16_t kEchoPayloadSize = 32;
const std::uint8_t kEchoPayload[kEchoPayloadSize] = {
    'k', 'e', 's', 't', 'r', 'a', 'v', 'a', ' ', 'w', 'a', 'i', 't', 's', ' ', 'f',
    'o', 'r', ' ', 'i', 't', 's', ' ', 't', 'a', 'r', 'g', 'e', 't', ' ', ' ', ' '};

// The counter in milliseconds, split so that the product cannot overflow after long uptimes.
std::uint64_t now_ms() {
  const std::uint64_t counter = platform::performance_counter();
  const std::uint64_t frequency = platform::performance_frequency();
  if (frequency == 0) return 0;
  return counter / frequency * 1000 + counter % frequency * 1000 / frequency;
}

// Target i's first probe within the interval, so that a thousand targets spread over it.
std::uint64_t stagger_ms(const WaitRun& run, int index) {
  return kWaitProbeIntervalMs * static_cast<std::uint64_t>(index) / static_cast<std::uint64_t>(run.target_count);
}

bool settled(const TargetWatch& watch) { return watch.judgement.outcome != WaitOutcome::kPending; }

void settle(WaitRun* run, int index, const Judgement& judgement, std::uint64_t now) {
  TargetWatch& watch = run->targets[index];
  watch.judgement = judgement;
  watch.settled_ms = judgement.outcome == WaitOutcome::kAlreadyAwake || now < run->wake_ms ? 0 : now - run->wake_ms;
  run->settled_order[run->settled_count++] = index;
  --run->unsettled;
}

// One round: the ping and every port. A probe the service cannot start is left out of the
// round; the next round tries again.
void start_round(WaitRun* run, int index) {
  TargetWatch& watch = run->targets[index];
  const std::uint32_t base = static_cast<std::uint32_t>(index) * kProbesPerTarget;
  if (run->echo_available &&
      platform::probe_echo(run->probes, base + kEchoProbe, watch.target.address, kEchoPayload,
                           kEchoPayloadSize, kWaitProbeTimeoutMs)) {
    ++watch.in_flight;
  }
  for (int p = 0; p < run->settings.port_count; ++p) {
    if (platform::probe_connect(run->probes, base + 1 + static_cast<std::uint32_t>(p), watch.target.address,
                                run->settings.ports[p], kWaitProbeTimeoutMs)) {
      ++watch.in_flight;
    }
  }
}

// The next time after `due` on the target's beat; a step that came late does not make up
// the rounds it missed in a burst.
std::uint64_t next_beat(std::uint64_t due, std::uint64_t interval, std::uint64_t now) {
  const std::uint64_t next = due + interval;
  return next > now ? next : now + interval;
}

void start_due_rounds(WaitRun* run, std::uint64_t now) {
  int started = 0;
  for (int i = 0; i < run->target_count && started < kWaitRoundsPerStep; ++i) {
    TargetWatch& watch = run->targets[i];
    if (settled(watch) || watch.next_round_ms > now) continue;
    if (run->phase == WaitPhase::kProbingBeforeWake) {
      if (watch.round_started) continue;
      watch.round_started = true;
    }
    start_round(run, i);
    watch.next_round_ms = next_beat(watch.next_round_ms, kWaitProbeIntervalMs, now);
    ++started;
  }
}

void send_due_resends(WaitRun* run, std::uint64_t now) {
  if (run->settings.resend_seconds <= 0 || run->resend == nullptr) return;
  const std::uint64_t interval = static_cast<std::uint64_t>(run->settings.resend_seconds) * 1000;
  int sent = 0;
  for (int i = 0; i < run->target_count && sent < kWaitResendsPerStep; ++i) {
    TargetWatch& watch = run->targets[i];
    if (settled(watch) || watch.next_resend_ms > now) continue;
    if (run->resend(run->resend_context, i)) ++watch.wakes_sent;
    watch.next_resend_ms = next_beat(watch.next_resend_ms, interval, now);
    ++sent;
  }
}

// The earliest moment something is due, so that the step's wait ends there.
std::uint64_t next_due(const WaitRun& run) {
  std::uint64_t due = run.phase == WaitPhase::kWatching ? run.deadline_ms : UINT64_MAX;
  const bool resending = run.phase == WaitPhase::kWatching && run.settings.resend_seconds > 0 && run.resend != nullptr;
  for (int i = 0; i < run.target_count; ++i) {
    const TargetWatch& watch = run.targets[i];
    if (settled(watch)) continue;
    if (!(run.phase == WaitPhase::kProbingBeforeWake && watch.round_started) && watch.next_round_ms < due) {
      due = watch.next_round_ms;
    }
    if (resending && watch.next_resend_ms < due) due = watch.next_resend_ms;
  }
  return due;
}

ProbeFinding finding_of(const WaitRun& run, std::uint32_t probe, const platform::ProbeResult& result) {
  ProbeFinding finding{ProbeAnswer::kNone, 0, 0};
  if (probe != kEchoProbe) finding.port = run.settings.ports[probe - 1];
  switch (result.outcome) {
    case platform::ProbeOutcome::kEchoReply:
      finding.answer = ProbeAnswer::kPingReply;
      finding.from = result.from;
      break;
    case platform::ProbeOutcome::kAccepted: finding.answer = ProbeAnswer::kTcpAccepted; break;
    case platform::ProbeOutcome::kRefused: finding.answer = ProbeAnswer::kTcpRefused; break;
    case platform::ProbeOutcome::kEchoNoReply:
    case platform::ProbeOutcome::kNoAnswer: break;
  }
  return finding;
}

// The neighbour table as it is after the answer; read once per step, when a local target
// answers. A table that cannot be read holds no rows, so nothing is confirmed.
void read_rows(WaitRun* run, bool* fresh) {
  if (*fresh) return;
  const int total = platform::read_neighbour_table(run->rows, kWaitNeighbourRoom);
  run->row_count = total < 0 ? 0 : (total > kWaitNeighbourRoom ? kWaitNeighbourRoom : total);
  *fresh = true;
}

WaitStage stage_of(const WaitRun& run, std::uint64_t now) {
  if (run.phase == WaitPhase::kProbingBeforeWake) return WaitStage::kBeforeWake;
  return now >= run.deadline_ms ? WaitStage::kDeadlinePassed : WaitStage::kWatching;
}

// One probe's outcome for its target, judged unless the target is settled already.
void take_result(WaitRun* run, const platform::ProbeResult& result, std::uint64_t now, bool* rows_fresh) {
  const int index = static_cast<int>(result.token / kProbesPerTarget);
  if (index < 0 || index >= run->target_count) return;
  TargetWatch& watch = run->targets[index];
  if (watch.in_flight > 0) --watch.in_flight;
  if (settled(watch)) return;
  const ProbeFinding finding = finding_of(*run, result.token % kProbesPerTarget, result);
  if (finding.answer == ProbeAnswer::kNone) return;
  if (watch.target.local) read_rows(run, rows_fresh);
  WatchedHost host{watch.target.address, {}, watch.target.local};
  std::memcpy(host.mac, watch.target.mac, sizeof host.mac);
  const Judgement judgement = JudgeFinding(host, stage_of(*run, now), finding, run->rows, run->row_count);
  if (judgement.outcome == WaitOutcome::kPending) {
    // An answer from the address that no neighbour row could vouch for either way.
    const bool from_target = finding.answer != ProbeAnswer::kPingReply || finding.from == host.address;
    if (from_target && !judgement.identity_checked) watch.answered_unconfirmed = true;
    return;
  }
  settle(run, index, judgement, now);
}

void take_results(WaitRun* run, int count, std::uint64_t now) {
  bool rows_fresh = false;
  // Ping replies first: when a ping and a port answer in the same step, the line names the ping.
  for (int pass = 0; pass < 2; ++pass) {
    for (int r = 0; r < count; ++r) {
      const bool ping = run->results[r].outcome == platform::ProbeOutcome::kEchoReply;
      if (ping != (pass == 0)) continue;
      take_result(run, run->results[r], now, &rows_fresh);
    }
  }
}

void end_at_deadline(WaitRun* run, std::uint64_t now) {
  for (int i = 0; i < run->target_count; ++i) {
    TargetWatch& watch = run->targets[i];
    if (settled(watch)) continue;
    WatchedHost host{watch.target.address, {}, watch.target.local};
    settle(run, i, JudgeFinding(host, WaitStage::kDeadlinePassed, ProbeFinding{ProbeAnswer::kNone, 0, 0}, nullptr, 0), now);
  }
}

bool round_before_wake_done(const WaitRun& run) {
  for (int i = 0; i < run.target_count; ++i) {
    const TargetWatch& watch = run.targets[i];
    if (!settled(watch) && (!watch.round_started || watch.in_flight > 0)) return false;
  }
  return true;
}

// The probe service, opened once the targets are known, with room for their probes.
bool open_probes(WaitRun* run) {
  if (run->probes != nullptr) return true;
  const int room = (run->target_count > 0 ? run->target_count : 1) * (1 + run->settings.port_count) * kRoundsInFlight;
  run->probes = platform::probes_open(room);
  if (run->probes == nullptr) return false;
  run->echo_available = platform::probes_echo_available(run->probes, &run->echo_error);
  return true;
}

}  // namespace

void WaitBegin(WaitRun* run, const WaitSettings& settings, ResendWake resend, void* context) {
  std::memset(run, 0, sizeof *run);
  run->settings = settings;
  if (run->settings.port_count < 0) run->settings.port_count = 0;
  if (run->settings.port_count > kMaxProbePorts) run->settings.port_count = kMaxProbePorts;
  run->resend = resend;
  run->resend_context = context;
  run->phase = WaitPhase::kIdle;
}

int WaitAddTarget(WaitRun* run, const WaitTarget& target) {
  if (run->phase != WaitPhase::kIdle || run->target_count >= kMaxWaitTargets) return -1;
  const int index = run->target_count++;
  TargetWatch& watch = run->targets[index];
  std::memset(&watch, 0, sizeof watch);
  watch.target = target;
  watch.judgement.outcome = WaitOutcome::kPending;
  ++run->unsettled;
  return index;
}

bool WaitProbeBeforeWake(WaitRun* run) {
  if (run->phase != WaitPhase::kIdle) return false;
  if (!open_probes(run)) return false;
  const std::uint64_t now = now_ms();
  for (int i = 0; i < run->target_count; ++i) run->targets[i].next_round_ms = now + stagger_ms(*run, i);
  run->phase = WaitPhase::kProbingBeforeWake;
  return true;
}

void WaitCountWake(WaitRun* run, int index) {
  if (index >= 0 && index < run->target_count) ++run->targets[index].wakes_sent;
}

bool WaitStartWatching(WaitRun* run) {
  if (run->phase == WaitPhase::kWatching || run->phase == WaitPhase::kFinished) return false;
  if (!open_probes(run)) return false;
  const std::uint64_t now = now_ms();
  run->wake_ms = now;
  run->deadline_ms = now + static_cast<std::uint64_t>(run->settings.wait_seconds) * 1000;
  for (int i = 0; i < run->target_count; ++i) {
    TargetWatch& watch = run->targets[i];
    watch.next_round_ms = now + stagger_ms(*run, i);
    watch.next_resend_ms = now + static_cast<std::uint64_t>(run->settings.resend_seconds) * 1000;
  }
  run->phase = run->unsettled == 0 ? WaitPhase::kFinished : WaitPhase::kWatching;
  return true;
}

WaitPhase WaitStep(WaitRun* run, int max_block_ms) {
  if (run->phase != WaitPhase::kProbingBeforeWake && run->phase != WaitPhase::kWatching) return run->phase;
  std::uint64_t now = now_ms();
  if (run->phase == WaitPhase::kWatching) send_due_resends(run, now);
  start_due_rounds(run, now);

  const std::uint64_t due = next_due(*run);
  const std::uint64_t until = due > now ? due - now : 0;
  const int block = max_block_ms <= 0 ? 0 : (until < static_cast<std::uint64_t>(max_block_ms) ? static_cast<int>(until) : max_block_ms);
  const int count = platform::probes_wait(run->probes, block, run->results, kWaitResultsPerStep);
  now = now_ms();
  if (count > 0) take_results(run, count, now);

  if (run->phase == WaitPhase::kProbingBeforeWake) {
    if (round_before_wake_done(*run)) run->phase = WaitPhase::kReadyToWake;
  } else if (run->unsettled == 0) {
    run->phase = WaitPhase::kFinished;
  } else if (now >= run->deadline_ms) {
    end_at_deadline(run, now);
    run->phase = WaitPhase::kFinished;
  }
  return run->phase;
}

void WaitEnd(WaitRun* run) {
  platform::probes_close(run->probes);
  run->probes = nullptr;
}

bool WaitEchoAvailable(const WaitRun& run, unsigned long* error) {
  if (!run.echo_available && error != nullptr) *error = run.echo_error;
  return run.echo_available;
}

bool WaitAllAwake(const WaitRun& run) {
  for (int i = 0; i < run.target_count; ++i) {
    const WaitOutcome outcome = run.targets[i].judgement.outcome;
    if (outcome != WaitOutcome::kAwake && outcome != WaitOutcome::kAlreadyAwake) return false;
  }
  return true;
}

int WaitNextSettled(WaitRun* run) {
  if (run->phase != WaitPhase::kWatching && run->phase != WaitPhase::kFinished) return -1;
  if (run->reported_count >= run->settled_count) return -1;
  return run->settled_order[run->reported_count++];
}

std::uint64_t WaitElapsedMs(const WaitRun& run) {
  if (run.phase != WaitPhase::kWatching && run.phase != WaitPhase::kFinished) return 0;
  const std::uint64_t now = now_ms();
  return now > run.wake_ms ? now - run.wake_ms : 0;
}
