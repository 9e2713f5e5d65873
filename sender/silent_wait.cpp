// The silent send with /Wait: a probe round before the wakes, the wakes, then the watch, with one line (or JSON object) per target.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sender/error_text.h"
#include "sender/send_plan.h"
#include "sender/send_texts.h"
#include "sender/wait.h"
#include "sender/wait_report.h"

namespace {

// The longest a step of the watch blocks: the status line's seconds move on at least this often.
constexpr int kWatchStepMs = 250;
// The engine ends every phase by its own clock (the round before the wake within its probes'
// time-out, the watch at its deadline); these bounds only stop a loop that a clock gone wrong
// would keep going.
constexpr int kMaxRoundSteps = 100000;
constexpr std::uint64_t kPhaseMarginMs = 5000;

constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

struct SilentWait {
  WaitRun run;
  const SendOptions* options;
  SendPlan* plan;
  int plan_index[kMaxWaitTargets];   // the plan's target that each watched one is
  int watched_of[kMaxTargets];       // the watched target of each of the plan's, or -1
  WaitStatusLine status;
};

// An address that one machine answers on: not 0, not a broadcast of the limited kind or of
// one of this host's subnets, not multicast or reserved.
bool IsUnicast(const SendPlan& plan, std::uint32_t address) {
  const std::uint8_t first = static_cast<std::uint8_t>(ntohl(address) >> 24);
  if (address == 0 || address == kLimitedBroadcast || first >= 224) return false;
  for (int i = 0; i < plan.interface_count; ++i) {
    const platform::InterfaceRecord& record = plan.interfaces[i];
    if (record.address.family != 4 || record.netmask == 0 || record.netmask == kLimitedBroadcast) continue;
    if (address == (platform::ipv4_of(record) | ~record.netmask) || address == record.broadcast) return false;
  }
  return true;
}

// The IPv4 address a target is watched on, or 0 when it has none: the command line's target
// by IP=, else by /To= when that names one machine; a hosts-file host by its own address (a
// /To= only says where its wake goes).
std::uint32_t WatchedAddress(const SendOptions& options, const SendPlan& plan, const WakeTarget& target) {
  std::uint32_t address = 0;
  if (target.address.family == AddressFamily::kIpv4) {
    address = target.address.ipv4;
  } else if (target.line == 0 && options.to_token != nullptr && options.to.family == AddressFamily::kIpv4) {
    address = options.to.ipv4;
  }
  return IsUnicast(plan, address) ? address : 0;
}

// Adds every target that has an address to watch; returns how many.
int AddWatchedTargets(SilentWait* w) {
  const SendPlan& plan = *w->plan;
  for (int i = 0; i < plan.target_count; ++i) {
    w->watched_of[i] = -1;
    const WakeTarget& target = plan.targets[i];
    const std::uint32_t address = WatchedAddress(*w->options, plan, target);
    if (address == 0) continue;
    WaitTarget watched{address, {}, InterfaceOfSubnet(plan.interfaces, plan.interface_count, address) >= 0,
                       target.name};
    std::memcpy(watched.mac, target.mac, sizeof watched.mac);
    const int index = WaitAddTarget(&w->run, watched);
    if (index < 0) continue;
    w->plan_index[index] = i;
    w->watched_of[i] = index;
  }
  return w->run.target_count;
}

// A watched target's wake again, as its first ones went (through its relay when it has one); with /Count the header's sequence
// numbers go on from where the rounds ended.
bool Resend(void* context, int index) {
  SilentWait* w = static_cast<SilentWait*>(context);
  WaitStatusClear(&w->status);
  const WakeTarget& target = w->plan->targets[w->plan_index[index]];
  const SendOptions& options = *w->options;
  const std::uint32_t sequence =
      options.count > 1 ? static_cast<std::uint32_t>(w->run.targets[index].wakes_sent + 1) : 0;
  const bool sent = SendTargetWake(options, w->plan, target, sequence);
  if (!sent) ++w->plan->failures;
  return sent;
}

// The lines of the targets settled since the last call, on standard output.
void PrintSettled(SilentWait* w) {
  char text[kWaitReportRoom];
  for (int index = WaitNextSettled(&w->run); index >= 0; index = WaitNextSettled(&w->run)) {
    WaitStatusClear(&w->status);
    if (w->options->wait.json_token != nullptr) {
      FormatWaitJson(w->run, index, text, sizeof text);
    } else {
      FormatWaitLine(w->run, index, text, sizeof text);
    }
    std::printf("%s\n", text);
    std::fflush(stdout);
  }
}

void SayWhyNoPing(const WaitRun& run) {
  unsigned long error = 0;
  if (WaitEchoAvailable(run, &error)) return;
  char text[kWaitReportRoom];
  FormatEchoUnavailable(run, WinsockErrorText(static_cast<std::uint32_t>(error)), text, sizeof text);
  ReportLine("%s", text);
}

// Every target of the plan is watched and answered before its wake.
bool AllAlreadyAwake(const SilentWait& w) {
  return w.run.target_count == w.plan->target_count && WaitAllAwake(w.run);
}

SendOutcome Watch(SilentWait* w) {
  const WaitOptions& wait = w->options->wait;
  const std::uint64_t limit = static_cast<std::uint64_t>(wait.seconds) * 1000 + kPhaseMarginMs;
  char status[kWaitReportRoom];
  PrintSettled(w);
  while (w->run.phase == WaitPhase::kWatching && WaitElapsedMs(w->run) < limit) {
    WaitStep(&w->run, kWatchStepMs);
    PrintSettled(w);
    if (w->run.phase == WaitPhase::kWatching) {
      FormatWaitStatus(w->run, status, sizeof status);
      WaitStatusShow(&w->status, status);
    }
  }
  WaitStatusClear(&w->status);
  if (w->plan->failures > 0) return SendOutcome::kSomeFailed;
  return w->run.phase == WaitPhase::kFinished && WaitAllAwake(w->run) ? SendOutcome::kAllAwake
                                                                        : SendOutcome::kNotAllAwake;
}

}  // namespace

SendOutcome SendAndWait(const SendOptions& options, SendPlan* plan) {
  SilentWait* w = static_cast<SilentWait*>(std::calloc(1, sizeof(SilentWait)));
  if (w == nullptr) return SendOutcome::kSomeFailed;
  w->options = &options;
  w->plan = plan;
  WaitSettings settings{};
  settings.wait_seconds = options.wait.seconds;
  for (int p = 0; p < options.wait.port_count; ++p) settings.ports[settings.port_count++] = options.wait.ports[p];
  settings.resend_seconds = options.wait.resend_seconds;
  WaitBegin(&w->run, settings, Resend, w);
  WaitStatusOpen(&w->status);

  SendOutcome outcome;
  if (AddWatchedTargets(w) == 0) {
    ReportLine(send_texts::kRefusedFormat, options.wait.wait_token, send_texts::kNothingToWatch);
    outcome = SendOutcome::kRefused;
  } else if (!WaitProbeBeforeWake(&w->run)) {
    // The wakes are what was asked for first: they go out, and the run fails for the wait.
    ReportLine(send_texts::kCannotWatchFormat, WinsockErrorText(0));
    SendRounds(options, plan, nullptr);
    outcome = SendOutcome::kSomeFailed;
  } else {
    SayWhyNoPing(w->run);
    for (int steps = 0; w->run.phase == WaitPhase::kProbingBeforeWake && steps < kMaxRoundSteps; ++steps) {
      WaitStep(&w->run, kWatchStepMs);
    }
    if (!(options.wait.skip_awake_token != nullptr && AllAlreadyAwake(*w))) {
      int wakes[kMaxTargets] = {};
      SendRounds(options, plan, wakes);
      for (int i = 0; i < plan->target_count; ++i) {
        for (int n = 0; w->watched_of[i] >= 0 && n < wakes[i]; ++n) WaitCountWake(&w->run, w->watched_of[i]);
      }
    }
    outcome = WaitStartWatching(&w->run) ? Watch(w) : SendOutcome::kSomeFailed;
  }
  WaitEnd(&w->run);
  std::free(w);
  return outcome;
}
