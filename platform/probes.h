// Probes of other hosts, many in flight at once: ICMP echo requests and TCP connects sent now, their outcomes collected by one wait.
#pragma once

#include <cstdint>

namespace platform {

// An open probe service. nullptr is the invalid handle.
typedef struct ProbeService* ProbeHandle;

// What a probe came to.
enum class ProbeOutcome {
  kEchoReply,      // an echo reply to the request, from `from`
  kEchoNoReply,    // no echo reply: time-out, an ICMP error or a send failure (`status`)
  kAccepted,       // the connection was accepted (and is closed again at once)
  kRefused,        // the connection was refused: a reset came back
  kNoAnswer,       // no answer in time, or another failure (`status`)
};

// One settled probe.
struct ProbeResult {
  std::uint32_t token;     // the caller's, as given when the probe started
  ProbeOutcome outcome;
  unsigned long status;    // echo: kEchoTimedOut, another kEcho* status (platform/echo.h) or a
                           // system error code; connect: the Winsock code, 0 when accepted
  std::uint32_t from;      // kEchoReply: the address that answered, network byte order
};

// The Winsock code of a connect that got no answer in time (WSAETIMEDOUT).
constexpr unsigned long kProbeConnectTimedOut = 10060;

// Opens the service with room for `room` probes in flight or settled but not yet collected.
// Returns nullptr when it cannot be opened (last error set). A service whose echo requests
// cannot be sent still opens: probes_echo_available tells.
ProbeHandle probes_open(int room);

// Closes the service; probes still in flight are abandoned and their sockets closed.
void probes_close(ProbeHandle probes);

// Whether echo requests can be sent; false with the reason in *error (a system error code):
// on POSIX neither an ICMP datagram socket nor a raw one could be opened, on Windows the
// echo service could not be opened.
bool probes_echo_available(ProbeHandle probes, unsigned long* error);

// Sends an echo request with `size` bytes of `payload` to `address` (IPv4, network byte
// order) now. Its outcome comes from probes_wait, at the latest once `timeout_ms` has passed;
// a request that cannot even be sent settles at once as kEchoNoReply. False (last error set)
// when there is no room, the service cannot send echo requests or the address is 0.0.0.0:
// then no outcome comes.
bool probe_echo(ProbeHandle probes, std::uint32_t token, std::uint32_t address,
                const void* payload, std::uint16_t size, unsigned long timeout_ms);

// Starts a TCP connect to `address`:`port` (network byte order, host byte order). Its outcome
// comes from probes_wait, at the latest once `timeout_ms` has passed (kNoAnswer with
// kProbeConnectTimedOut). False (last error set) when there is no room or no socket could be
// made: then no outcome comes.
bool probe_connect(ProbeHandle probes, std::uint32_t token, std::uint32_t address,
                   std::uint16_t port, unsigned long timeout_ms);

// Waits at most `timeout_ms` (0: only looks) until probes settle and writes up to `room` of
// the settled ones to `results`, each once; the others stay for the next call. Returns how
// many were written, which may be 0 before the time is up; -1 when the wait itself failed
// (last error set).
int probes_wait(ProbeHandle probes, int timeout_ms, ProbeResult* results, int room);

// Probes started and not yet collected.
int probes_in_flight(ProbeHandle probes);

}  // namespace platform
