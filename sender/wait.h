// The wait after a wake: every watched target probed once a second, staggered, from one loop, until it answers or the time is up.
//
// A run goes through its phases by the caller's calls and WaitStep:
//   WaitBegin, WaitAddTarget...          kIdle
//   WaitProbeBeforeWake, WaitStep...     kProbingBeforeWake, then kReadyToWake
//   (the caller sends the wakes, counting each with WaitCountWake)
//   WaitStartWatching, WaitStep...       kWatching, then kFinished
//   WaitEnd
// The probe round before the wake is optional: a run may start watching straight from kIdle.
// WaitStep does a bounded amount of work and blocks for at most the time it is given, so a
// command-line caller runs it in a loop and a dialog from a timer with 0. The engine knows
// nothing of how a wake is sent: a repeated wake goes through the caller's callback.
#pragma once

#include <cstdint>

#include "platform/neighbours.h"
#include "platform/probes.h"
#include "sender/host_file.h"
#include "sender/wait_judgement.h"

constexpr int kMaxWaitTargets = kMaxFileHosts + 1;  // the command line's target and a file's
constexpr int kMaxProbePorts = 16;
constexpr int kDefaultWaitSeconds = 120;
constexpr int kMinWaitSeconds = 1;
constexpr int kMaxWaitSeconds = 3600;

// Each target is probed this often; each probe gets this long for its answer (Windows
// repeats a refused connect for about a second before it reports the reset).
constexpr std::uint64_t kWaitProbeIntervalMs = 1000;
constexpr unsigned long kWaitProbeTimeoutMs = 2000;

// What one WaitStep does at most, so that a dialog's timer stays short.
constexpr int kWaitRoundsPerStep = 256;
constexpr int kWaitResendsPerStep = 64;
constexpr int kWaitResultsPerStep = 256;
// Neighbour rows read for the identity check: a LAN of every watched target and then some.
constexpr int kWaitNeighbourRoom = 2 * kMaxWaitTargets + 64;

struct WaitSettings {
  int wait_seconds;                       // kMinWaitSeconds to kMaxWaitSeconds
  std::uint16_t ports[kMaxProbePorts];    // TCP ports probed besides the ping
  int port_count;
  int resend_seconds;                     // the wake again every this many seconds; 0: never
};

// A target to watch; the caller keeps `name` alive for the run.
struct WaitTarget {
  std::uint32_t address;   // IPv4, network byte order; never 0
  std::uint8_t mac[6];     // the MAC its wake is sent for
  bool local;              // on a subnet of this host, so that the MAC can be checked
  const char* name;        // nullptr or the host's name
};

// Sends target `target`'s wake again (the index WaitAddTarget gave); true when it went out.
typedef bool (*ResendWake)(void* context, int target);

enum class WaitPhase { kIdle, kProbingBeforeWake, kReadyToWake, kWatching, kFinished };

struct TargetWatch {
  WaitTarget target;
  Judgement judgement;          // kPending until settled
  std::uint64_t settled_ms;     // when, from the first wake (0 for kAlreadyAwake)
  int wakes_sent;
  std::uint64_t next_round_ms;  // the run's clock
  std::uint64_t next_resend_ms;
  int in_flight;                // its probes not yet settled
  bool round_started;           // the round before the wake went out
  bool answered_unconfirmed;    // it answered, but the neighbour table never named a MAC
};

struct WaitRun {
  WaitSettings settings;
  WaitPhase phase;
  TargetWatch targets[kMaxWaitTargets];
  int target_count;
  int unsettled;
  int settled_order[kMaxWaitTargets];   // targets in the order they settled
  int settled_count;
  int reported_count;                   // how many of them WaitNextSettled handed out
  platform::ProbeHandle probes;
  bool echo_available;
  unsigned long echo_error;             // why not, a system error code
  ResendWake resend;
  void* resend_context;
  std::uint64_t wake_ms;                // the first wake, on the run's clock
  std::uint64_t deadline_ms;
  platform::NeighbourRow rows[kWaitNeighbourRoom];
  int row_count;
  platform::ProbeResult results[kWaitResultsPerStep];
};

// Sets up `run` (a large record: keep one, do not put it on a small stack).
void WaitBegin(WaitRun* run, const WaitSettings& settings, ResendWake resend, void* context);
// Adds a target while the run is idle; returns its index, -1 when full or too late.
int WaitAddTarget(WaitRun* run, const WaitTarget& target);
// Starts the one probe round before the first wake. The first of this and WaitStartWatching
// opens the probe service for the targets added; false (last error set) when it cannot be
// opened, or when the run is past this phase.
bool WaitProbeBeforeWake(WaitRun* run);
// Counts a wake the caller sent to target `index` (the first ones, before watching).
void WaitCountWake(WaitRun* run, int index);
// The first wakes went out now: the wait's time starts. False as WaitProbeBeforeWake.
bool WaitStartWatching(WaitRun* run);
// Does the work that is due and waits for probe outcomes at most `max_block_ms` (0: does not
// wait). Returns the phase the run is in afterwards.
WaitPhase WaitStep(WaitRun* run, int max_block_ms);
// Closes the probe service; the targets' outcomes stay readable.
void WaitEnd(WaitRun* run);

// Whether ping can be used; false with the reason (a system error code).
bool WaitEchoAvailable(const WaitRun& run, unsigned long* error);
// Every target settled as awake or already awake.
bool WaitAllAwake(const WaitRun& run);
// The next target that settled and has not been handed out yet, or -1. Targets found awake
// before the wake are handed out from WaitStartWatching on, when their wakes are counted.
int WaitNextSettled(WaitRun* run);
// Milliseconds since the first wake on the run's clock (0 before it).
std::uint64_t WaitElapsedMs(const WaitRun& run);
