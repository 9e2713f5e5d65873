// Test control of the fake probe service: simulated hosts that sleep until woken, and the probes they were sent.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/probes.h"

namespace fake_probes {

// What a TCP port of an awake host does with a connect.
struct Port {
  std::uint16_t port;
  platform::ProbeOutcome outcome;   // kAccepted or kRefused; a port not listed never answers
};

// A host: silent while asleep; awake it answers after `latency_ms`.
struct Host {
  std::uint32_t address;
  bool awake;                  // from the start
  std::uint64_t wake_delay_ms; // from a wake that counts until it is awake
  int ignored_wakes;           // the first wakes that do nothing
  bool answers_ping;
  std::uint32_t ping_from;     // the reply's source; 0: its own address
  std::vector<Port> ports;
  std::uint64_t latency_ms;
};

// One probe as the service saw it, on the fake clock.
struct Started {
  std::uint32_t address;
  bool echo;
  std::uint16_t port;          // connects
  std::uint64_t at_ms;
};

// No hosts, no probes, echo available.
void reset();
void add_host(const Host& host);
// A wake reached the host at `address` now.
void wake_sent(std::uint32_t address);
// Echo requests cannot be sent, with this reason.
void make_echo_unavailable(unsigned long error);

const std::vector<Started>& started();
// The fake clock in milliseconds.
std::uint64_t now_ms();
// The room the service was opened with; the most probes in flight at once.
int room();
int most_in_flight();

}  // namespace fake_probes
