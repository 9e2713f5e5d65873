// The ICMP echo service: one echo request and its answer (IcmpCreateFile, IcmpSendEcho, IcmpCloseHandle).
#pragma once

#include <cstdint>

namespace platform {

// An open echo service. nullptr is the invalid handle.
typedef void* EchoHandle;

// Status codes the echo service reports as the last error (platform::last_error()) when a
// request gets no echo reply; Windows' IP_* numbering. Failures of the platform's own calls
// are reported with the platform's system error code instead.
constexpr unsigned long kEchoBufferTooSmall = 11001;        // IP_BUF_TOO_SMALL
constexpr unsigned long kEchoNetUnreachable = 11002;        // IP_DEST_NET_UNREACHABLE
constexpr unsigned long kEchoHostUnreachable = 11003;       // IP_DEST_HOST_UNREACHABLE
constexpr unsigned long kEchoProtocolUnreachable = 11004;   // IP_DEST_PROT_UNREACHABLE
constexpr unsigned long kEchoPortUnreachable = 11005;       // IP_DEST_PORT_UNREACHABLE
constexpr unsigned long kEchoTimedOut = 11010;              // IP_REQ_TIMED_OUT
constexpr unsigned long kEchoBadRequest = 11011;            // IP_BAD_REQ
constexpr unsigned long kEchoTtlExpired = 11013;            // IP_TTL_EXPIRED_TRANSIT
constexpr unsigned long kEchoParameterProblem = 11015;      // IP_PARAM_PROBLEM
constexpr unsigned long kEchoGeneralFailure = 11050;        // IP_GENERAL_FAILURE

// Opens the echo service. Returns nullptr when it cannot be opened (last error set).
// On POSIX a handle is returned even when no ICMP socket can be opened; every request on
// it then fails with the reason (EPERM or EACCES, say), so that the failure is visible
// where the requests are logged.
EchoHandle echo_open();

// Sends one echo request carrying `size` bytes of `payload` to `address` (IPv4, network
// byte order) and waits at most `timeout_ms` for its reply. The reply buffer receives the
// platform's reply record followed by the echoed data; callers do not read it, but it must
// have room for the record, the data and 8 more bytes (size + 100 is always enough).
// Returns the number of echo replies stored (1), or 0 with the last error set: kEchoTimedOut
// when nothing answered in time, another kEcho* status when an ICMP error (unreachable,
// time exceeded) answered the request, a system error code when the request could not be
// sent. Only a real echo reply counts as a reply: an answer whose status is not success is
// reported as 0 with that status, so callers need not look into the reply. A request to
// 0.0.0.0 is not sent and fails with kEchoGeneralFailure.
unsigned long echo_send(EchoHandle handle, std::uint32_t address, const void* payload,
                        std::uint16_t size, void* reply, unsigned long reply_size,
                        unsigned long timeout_ms);

// Closes the echo service; false when the handle was not open.
bool echo_close(EchoHandle handle);

// What the POSIX echo service writes at the start of the reply buffer (Windows writes its
// ICMP_ECHO_REPLY there instead). Addresses in network byte order.
struct EchoReply {
  std::uint32_t address;        // who answered
  std::uint32_t status;         // 0: an echo reply
  std::uint32_t round_trip_ms;  // as measured by the service
  std::uint16_t data_size;      // echoed bytes following the record
  std::uint16_t reserved;
};

}  // namespace platform
