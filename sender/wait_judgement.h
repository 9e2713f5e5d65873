// The judgement of a watched target: what one probe's answer and the neighbour table say about whether it woke.
#pragma once

#include <cstdint>

#include "platform/neighbours.h"

// Where a watched target stands.
enum class WaitOutcome {
  kPending,       // nothing that counts yet
  kAwake,         // it answered after the wake
  kAlreadyAwake,  // it answered before the first wake
  kTimeout,       // the wait ended without an answer that counts
  kWrongMac,      // another machine answers on its address
};

// What a probe found.
enum class ProbeAnswer {
  kNone,          // no answer (time-out, ICMP error, a connect that got nothing)
  kPingReply,
  kTcpAccepted,
  kTcpRefused,    // a reset: the machine's system runs, as with an accepted connection
};

struct ProbeFinding {
  ProbeAnswer answer;
  std::uint16_t port;    // the TCP answers: the port probed
  std::uint32_t from;    // kPingReply: who replied, network byte order
};

// The target as the judgement needs it.
struct WatchedHost {
  std::uint32_t address;   // IPv4, network byte order
  std::uint8_t mac[6];     // the MAC its wake was sent for
  bool local;              // on a subnet of this host: its neighbour row tells who answered
};

// When the finding was made.
enum class WaitStage {
  kBeforeWake,      // the probe round before the first wake
  kWatching,        // after the wake, within the wait
  kDeadlinePassed,  // the wait's time is up
};

struct Judgement {
  WaitOutcome outcome;
  ProbeAnswer answer;          // the answer judged; kNone when there was none that counts
  std::uint16_t port;
  bool identity_checked;       // a neighbour row confirmed or refuted the MAC (also when a
                               // refuting row leaves a target pending before its wake)
  std::uint8_t answered_mac[6];  // the MAC that row holds
};

// Judges one finding. An answer counts only from the target's own address; on the local
// subnet only when a complete neighbour row for the address holds the woken MAC. A row with
// another MAC (and none with the woken one) means another machine answers: kWrongMac after the
// wake; before it the target is merely not yet awake, since its wake is still to go out. No
// usable row, or no answer, leaves it pending, until the deadline, which makes it a time-out.
// Behind a router any answer from the address counts, unchecked.
Judgement JudgeFinding(const WatchedHost& host, WaitStage stage, const ProbeFinding& finding,
                       const platform::NeighbourRow* rows, int row_count);
