// Fake probe service: probes of simulated hosts settle on the fake clock, which each wait moves to the next outcome.
#include "tests/fakes/fake_probes.h"

#include <algorithm>

#include "platform/echo.h"
#include "platform/system.h"
#include "platform/time.h"
#include "tests/fakes/fake_clock.h"

namespace {

struct HostState {
  fake_probes::Host host;
  int wakes;
  bool woken;
  std::uint64_t awake_from_ms;
};

struct Pending {
  std::uint32_t token;
  std::uint64_t settles_ms;
  platform::ProbeResult result;
};

std::vector<HostState> g_hosts;
std::vector<Pending> g_pending;
std::vector<fake_probes::Started> g_started;
bool g_echo_unavailable = false;
unsigned long g_echo_error = 0;
int g_room = 0;
int g_most = 0;
int g_handle_storage = 0;

platform::ProbeHandle handle() { return reinterpret_cast<platform::ProbeHandle>(&g_handle_storage); }

void advance_to(std::uint64_t ms) {
  const std::uint64_t now = fake_probes::now_ms();
  if (ms > now) fake_clock::advance((ms - now) * fake_clock::frequency() / 1000);
}

HostState* find(std::uint32_t address) {
  for (HostState& state : g_hosts) {
    if (state.host.address == address) return &state;
  }
  return nullptr;
}

bool awake_at(const HostState* state, std::uint64_t ms) {
  return state != nullptr && (state->host.awake || (state->woken && state->awake_from_ms <= ms));
}

bool add(std::uint32_t token, std::uint64_t settles, platform::ProbeOutcome outcome, unsigned long status,
         std::uint32_t from) {
  if (static_cast<int>(g_pending.size()) >= g_room) {
    platform::set_last_error(105);
    return false;
  }
  g_pending.push_back(Pending{token, settles, platform::ProbeResult{token, outcome, status, from}});
  g_most = std::max(g_most, static_cast<int>(g_pending.size()));
  return true;
}

}  // namespace

namespace fake_probes {

void reset() {
  g_hosts.clear();
  g_pending.clear();
  g_started.clear();
  g_echo_unavailable = false;
  g_echo_error = 0;
  g_room = 0;
  g_most = 0;
}

void add_host(const Host& host) { g_hosts.push_back(HostState{host, 0, false, 0}); }

void wake_sent(std::uint32_t address) {
  HostState* state = find(address);
  if (state == nullptr || state->woken || ++state->wakes <= state->host.ignored_wakes) return;
  state->woken = true;
  state->awake_from_ms = now_ms() + state->host.wake_delay_ms;
}

void make_echo_unavailable(unsigned long error) {
  g_echo_unavailable = true;
  g_echo_error = error;
}

const std::vector<Started>& started() { return g_started; }

std::uint64_t now_ms() { return platform::performance_counter() * 1000 / fake_clock::frequency(); }

int room() { return g_room; }

int most_in_flight() { return g_most; }

}  // namespace fake_probes

namespace platform {

ProbeHandle probes_open(int room) {
  g_room = room;
  return handle();
}

void probes_close(ProbeHandle) { g_pending.clear(); }

bool probes_echo_available(ProbeHandle, unsigned long* error) {
  if (g_echo_unavailable && error != nullptr) *error = g_echo_error;
  return !g_echo_unavailable;
}

bool probe_echo(ProbeHandle, std::uint32_t token, std::uint32_t address, const void*, std::uint16_t,
                unsigned long timeout_ms) {
  if (g_echo_unavailable) {
    set_last_error(g_echo_error);
    return false;
  }
  const std::uint64_t now = fake_probes::now_ms();
  g_started.push_back(fake_probes::Started{address, true, 0, now});
  const HostState* state = find(address);
  if (awake_at(state, now) && state->host.answers_ping) {
    const std::uint32_t from = state->host.ping_from != 0 ? state->host.ping_from : address;
    return add(token, now + state->host.latency_ms, ProbeOutcome::kEchoReply, 0, from);
  }
  return add(token, now + timeout_ms, ProbeOutcome::kEchoNoReply, kEchoTimedOut, 0);
}

bool probe_connect(ProbeHandle, std::uint32_t token, std::uint32_t address, std::uint16_t port,
                   unsigned long timeout_ms) {
  const std::uint64_t now = fake_probes::now_ms();
  g_started.push_back(fake_probes::Started{address, false, port, now});
  const HostState* state = find(address);
  if (awake_at(state, now)) {
    for (const fake_probes::Port& p : state->host.ports) {
      if (p.port == port) {
        const unsigned long status = p.outcome == ProbeOutcome::kRefused ? 10061 : 0;
        return add(token, now + state->host.latency_ms, p.outcome, status, 0);
      }
    }
  }
  return add(token, now + timeout_ms, ProbeOutcome::kNoAnswer, kProbeConnectTimedOut, 0);
}

int probes_wait(ProbeHandle, int timeout_ms, ProbeResult* results, int room) {
  const std::uint64_t now = fake_probes::now_ms();
  const std::uint64_t limit = now + static_cast<std::uint64_t>(timeout_ms < 0 ? 0 : timeout_ms);
  std::uint64_t first = limit;
  for (const Pending& p : g_pending) first = std::min(first, p.settles_ms);
  advance_to(first);
  const std::uint64_t at = fake_probes::now_ms();
  int written = 0;
  for (auto it = g_pending.begin(); it != g_pending.end() && written < room;) {
    if (it->settles_ms <= at) {
      results[written++] = it->result;
      it = g_pending.erase(it);
    } else {
      ++it;
    }
  }
  return written;
}

int probes_in_flight(ProbeHandle) { return static_cast<int>(g_pending.size()); }

}  // namespace platform
