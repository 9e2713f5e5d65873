// The silent send's plan: everything settled before the first datagram leaves, and where each wake goes.
#pragma once

#include <cstdint>

#include "common/printf_format.h"
#include "common/relay_key.h"
#include "common/wake_send.h"
#include "platform/interfaces.h"
#include "platform/sockets.h"
#include "sender/address.h"
#include "sender/host_file.h"
#include "sender/program.h"
#include "sender/send_options.h"

constexpr int kMaxTargets = kMaxFileHosts + 1;  // the command line's own target and a file's

struct SendPlan {
  platform::InterfaceRecord interfaces[kSendInterfaceRoom];
  int interface_count;
  int via;             // the /Interface record, or -1
  int chosen;          // the record whose netmask the broadcast uses without /Interface, or -1
  std::uint32_t mask;  // the netmask of the subnet-directed broadcast, network byte order
  unsigned to_scope;   // the interface index /To's IPv6 address goes out on, 0 for none
  WakeTarget targets[kMaxTargets];
  int target_count;
  int failures;        // hosts-file lines and datagrams that did not go out
  const char* file_path;
  char* file_text;     // the hosts file, which the targets refer into (owned)
  SOCKET ether_socket;
  wake::SendChannels channels;  // the sockets of the UDP sends, opened as they are needed
  wake::RelayKeyRing relay_keys;  // /Key's keys, read when a target goes through a relay
};

// Settles everything before the first send (send_plan.cpp): the hosts file, the interfaces,
// /Interface, /To's scope, the targets, the raw-frame socket. kAllSent when the sends may
// start; kRefused (exit status 2) for a value that names nothing usable; kSomeFailed when
// nothing can be sent.
SendOutcome PrepareSend(const CommandLine& line, SendPlan* plan);

// The datagram of one round for one target: its contents, its destination, and its way out
// (send_plan.cpp). *given is the address it was sent to as the user gave it (/To's or the
// host's), whose scope /Verbose shows.
void PlanDatagram(const SendOptions& options, const SendPlan& plan, const WakeTarget& target,
                  std::uint32_t sequence, wake::WakeDatagram* datagram, const WakeAddress** given);

// The interface a raw frame for the target goes through (send_plan.cpp): /Interface, else the
// one whose subnet holds the target's address, else the one whose netmask the broadcast uses;
// -1 when there is none.
int FrameInterface(const SendPlan& plan, const WakeTarget& target);

// One UDP datagram, or one raw frame, for one target; true when it went out whole (udp_send.cpp,
// frame_send.cpp). A failure is reported with its step and, for a hosts-file target, its line.
bool SendTargetDatagram(const SendOptions& options, SendPlan* plan, const WakeTarget& target, std::uint32_t sequence);
bool SendTargetFrame(const SendOptions& options, const SendPlan& plan, const WakeTarget& target);

// One target's wake, the way the options and the target ask for it: through the target's
// relay, as a raw frame with /Ether, else the UDP datagrams (silent_send.cpp).
bool SendTargetWake(const SendOptions& options, SendPlan* plan, const WakeTarget& target, std::uint32_t sequence);

// /Count rounds, /Interval apart, each sending to every target once (silent_send.cpp); with
// `wakes` (one per target) each target's wakes that went out are counted there.
void SendRounds(const SendOptions& options, SendPlan* plan, int* wakes);

// The silent send with /Wait (silent_wait.cpp), after PrepareSend: the targets with an address
// probed, the wakes (none with /SkipAwake when every target is up), the watch and its lines.
// kAllAwake or kNotAllAwake; kSomeFailed when a send failed; kRefused when nothing can be watched.
SendOutcome SendAndWait(const SendOptions& options, SendPlan* plan);

// One target's wake through its relay (relay_send.cpp): the signed request, sent up to 3
// times, each try waiting up to 2 s for the relay's signed acknowledgement of it. True when
// one came; /Verbose prints where the relay sent the wake. A missing or invalid answer is
// reported in one line. Each call is a request of its own (new nonce, new time), so it may be
// repeated for the same target.
bool SendTargetRelayed(const SendOptions& options, const SendPlan& plan, const WakeTarget& target);

// The /Verbose lines on standard output (verbose.cpp).
void PrintVerboseDatagram(const SendPlan& plan, const wake::WakeDatagram& datagram, const wake::SendResult& result,
                          const WakeAddress* given, const WakeTarget& target);
void PrintVerboseFrame(const platform::InterfaceRecord& interface, std::size_t length, const WakeTarget& target);

// One line for whoever started the program (silent_send.cpp): on standard error, or where
// there is none (Windows without redirection) in a message box.
void ReportLine(const char* format, ...) TIDEWAKE_PRINTF(1, 2);

// A send that failed, with the text of the Winsock error of its step (0: the last one); the
// caption names the step and, for a hosts-file target, its line.
void ReportSendFailure(const SendPlan& plan, const WakeTarget& target, const char* caption, int error);
