// The silent send: every wake the command line asks for, settled in full before the first one goes out.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/printf_format.h"
#include "common/wake_packet.h"
#include "platform/ether.h"
#include "platform/interfaces.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "sender/address.h"
#include "sender/error_text.h"
#include "sender/host_file.h"
#include "sender/message_box.h"
#include "sender/program.h"
#include "sender/send_options.h"
#include "sender/send_texts.h"
#include "sender/wake_packet.h"

namespace {

constexpr int kSocketsMajor = 2;
constexpr int kSocketsMinor = 0;
constexpr unsigned long kAfterSendPauseMs = 10;
constexpr int kMaxTargets = kMaxFileHosts + 1;  // the command line's own target and a file's
constexpr std::size_t kLineRoom = 512;
constexpr std::size_t kEndpointTextRoom = 128;  // an IPv6 text, '%' and an interface name

// Everything the sends need, settled before the first one.
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
};

// One line for whoever started the program: on standard error, or where there is none
// (Windows without redirection) in a message box.
void TIDEWAKE_PRINTF(1, 2) ReportLine(const char* format, ...) {
  char text[kLineRoom];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (platform::standard_error_present()) {
    std::fprintf(stderr, "%s: %s\n", send_texts::kProgramName, text);
    std::fflush(stderr);
  } else {
    ShowMessageBox(nullptr, text, send_texts::kProgramName,
                   platform::kMessageBoxOk | platform::kMessageBoxIconWarning);
  }
}

void ReportBadHostLine(void* context, int line_number, const char* reason, const char* field) {
  SendPlan* plan = static_cast<SendPlan*>(context);
  ++plan->failures;
  ReportLine(send_texts::kBadLineFormat, plan->file_path, line_number, reason, field);
}

// A send that failed, with the text of the socket error the failing call just left; the
// caption names the step and, for a hosts-file target, its line.
void ReportSendFailure(const SendPlan& plan, const WakeTarget& target, const char* caption) {
  const char* text = WinsockErrorText(0);
  char located[kLineRoom];
  if (target.line != 0) {
    std::snprintf(located, sizeof located, send_texts::kHostCaptionFormat, caption, plan.file_path, target.line);
    caption = located;
  }
  ShowMessageBox(nullptr, text, caption, platform::kMessageBoxOk);
}

const char* SendCaption(int kind) {
  switch (kind) {
    case wake::kSendShortUnsuspend: return kSendUnsuspendedErrCaption;
    case wake::kSendDirectMagic: return kSendDirectErrCaption;
    default: return kSendMagicErrCaption;
  }
}

const char* KindName(int kind) {
  switch (kind) {
    case wake::kSendShortUnsuspend: return send_texts::kKindShortUnsuspend;
    case wake::kSendDirectMagic: return send_texts::kKindDirectMagic;
    default: return send_texts::kKindBroadcastMagic;
  }
}

// Link-local unicast (fe80::/10) and multicast of interface or link scope (ffx1::, ffx2::)
// mean nothing without the interface they belong to.
bool NeedsScope(const std::uint8_t ipv6[16]) {
  return (ipv6[0] == 0xFE && (ipv6[1] & 0xC0) == 0x80) || (ipv6[0] == 0xFF && (ipv6[1] & 0x0F) <= 2);
}

// The interface an IPv6 address goes out on: the one its scope names (a number as it stands,
// else an interface name), else /Interface's when the address needs one. False when the scope
// names no interface.
bool ScopeOf(const WakeAddress& address, const SendPlan& plan, unsigned* index) {
  *index = 0;
  if (address.scope != nullptr) {
    *index = ScopeIndex(plan.interfaces, plan.interface_count, address.scope);
    return *index != 0;
  }
  if (plan.via >= 0 && NeedsScope(address.ipv6)) *index = plan.interfaces[plan.via].index;
  return true;
}

// The name of the IPv4 record with this address, or of the interface with this index; "?" when
// none has a name.
const char* InterfaceName(const SendPlan& plan, std::uint32_t address, unsigned index) {
  for (int i = 0; i < plan.interface_count; ++i) {
    const platform::InterfaceRecord& r = plan.interfaces[i];
    const bool match = index != 0 ? r.index == index && r.address.family == 0
                                  : r.address.family == 4 && platform::ipv4_of(r) == address;
    if (match && r.name[0] != '\0') return r.name;
  }
  return send_texts::kVerboseUnknown;
}

// "a.b.c.d", or an IPv6 text with "%scope" as given (or /Interface's name for a scope it gave).
void FormatEndpoint(const sockaddr_storage& endpoint, const WakeAddress* given, const SendPlan& plan,
                    char* text, std::size_t room) {
  char address[kEndpointTextRoom] = "?";
  unsigned scope = 0;
  if (endpoint.ss_family == AF_INET) {
    const auto& in = reinterpret_cast<const sockaddr_in&>(endpoint);
    FormatIpAddress(address, in.sin_addr.s_addr);
  } else {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(endpoint);
    inet_ntop(AF_INET6, &in6.sin6_addr, address, sizeof address);
    scope = in6.sin6_scope_id;
  }
  if (given != nullptr && given->scope != nullptr) {
    std::snprintf(text, room, "%s%%%s", address, given->scope);
  } else if (scope != 0 && NeedsScope(reinterpret_cast<const sockaddr_in6&>(endpoint).sin6_addr.s6_addr)) {
    std::snprintf(text, room, "%s%%%s", address, InterfaceName(plan, 0, scope));
  } else {
    std::snprintf(text, room, "%s", address);
  }
}

// Where one UDP datagram for `target` goes: /To's address; else a host's IPv6 address as it
// stands (IPv6 has no broadcast); else, for the broadcast magic packet, the subnet-directed
// broadcast of the target's address (a target without one: of the interface's own address)
// under the netmask (a hosts file's target on another of the host's subnets: that subnet's,
// unless /Interface names one); else the target's own address.
int DestinationOf(const SendOptions& options, const SendPlan& plan, const WakeTarget& target,
                  sockaddr_storage* destination, const WakeAddress** given) {
  std::memset(destination, 0, sizeof *destination);
  const std::uint16_t port = DestinationPort(g_program.sender.port);
  const WakeAddress* address = &target.address;
  unsigned scope = target.scope_index;
  if (options.to_token != nullptr) {
    address = &options.to;
    scope = plan.to_scope;
  }
  *given = address;
  if (address->family == AddressFamily::kIpv6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(destination);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = port;
    std::memcpy(&in6->sin6_addr, address->ipv6, sizeof address->ipv6);
    in6->sin6_scope_id = scope;
    return static_cast<int>(sizeof *in6);
  }
  auto* in = reinterpret_cast<sockaddr_in*>(destination);
  in->sin_family = AF_INET;
  in->sin_port = port;
  if (options.to_token != nullptr || options.kind != wake::kSendBroadcastMagic) {
    in->sin_addr.s_addr = address->ipv4;
  } else {
    const int own = plan.via >= 0 ? plan.via : plan.chosen;
    const std::uint32_t base = address->family == AddressFamily::kIpv4 ? address->ipv4
                               : own >= 0                               ? platform::ipv4_of(plan.interfaces[own])
                                                                        : 0;
    std::uint32_t mask = plan.mask;
    if (target.line != 0 && plan.via < 0 && address->family == AddressFamily::kIpv4) {
      const int subnet = InterfaceOfSubnet(plan.interfaces, plan.interface_count, address->ipv4);
      if (subnet >= 0) mask = plan.interfaces[subnet].netmask;
    }
    in->sin_addr.s_addr = BroadcastAddress(base, mask);
  }
  return static_cast<int>(sizeof *in);
}

void PrintVerboseUdp(const SendPlan& plan, const sockaddr_storage& destination, const WakeAddress* given,
                     SOCKET s, int kind, std::size_t length, std::uint32_t sequence, const WakeTarget& target) {
  char to[kEndpointTextRoom];
  char from[kEndpointTextRoom] = "?";
  FormatEndpoint(destination, given, plan, to, sizeof to);
  sockaddr_storage source;
  socklen_t source_length = sizeof source;
  std::memset(&source, 0, sizeof source);
  const char* interface_name = send_texts::kVerboseUnknown;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&source), &source_length) == 0) {
    FormatEndpoint(source, nullptr, plan, from, sizeof from);
    if (source.ss_family == AF_INET) {
      interface_name = InterfaceName(plan, reinterpret_cast<const sockaddr_in&>(source).sin_addr.s_addr, 0);
    } else {
      interface_name = InterfaceName(plan, 0, reinterpret_cast<const sockaddr_in6&>(destination).sin6_scope_id);
    }
  }
  char sequence_text[16];
  std::snprintf(sequence_text, sizeof sequence_text, "%lu", static_cast<unsigned long>(sequence));
  const unsigned port = ntohs(DestinationPort(g_program.sender.port));
  std::printf(send_texts::kVerboseUdpFormat, to, port, KindName(kind), static_cast<unsigned>(length),
              sequence != 0 ? sequence_text : send_texts::kVerboseNoSequence, from, interface_name,
              target.name != nullptr ? send_texts::kVerboseHost : "", target.name != nullptr ? target.name : "");
  std::fflush(stdout);
}

// One UDP datagram to one target; true when it went out whole. A socket of its own each time:
// a connected socket keeps an ICMP error of one send and fails the next send with it.
bool SendDatagram(const SendOptions& options, const SendPlan& plan, const WakeTarget& target,
                  std::uint32_t sequence) {
  const int header_length = g_program.sender.header_length != 0 ? static_cast<int>(wake::kHeaderLength) : 0;
  const WakeExtras extras{sequence, options.password_length != 0 ? options.password : nullptr,
                          options.password_length};
  std::uint8_t datagram[wake::kMaxDatagramLength];
  const std::size_t length = ComposeWakePacket(options.kind, header_length, target.mac, extras, datagram);
  sockaddr_storage destination;
  const WakeAddress* given = nullptr;
  const int destination_length = DestinationOf(options, plan, target, &destination, &given);

  // Every IPv4 socket may broadcast: /To and a hosts file may name a broadcast address for any
  // kind. A socket that did not open fails the option call and the send, and both are said.
  SOCKET s = socket(destination.ss_family, SOCK_DGRAM, IPPROTO_UDP);
  if (destination.ss_family == AF_INET) {
    const int on = 1;
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
      ShowMessageBox(nullptr, WinsockErrorText(0), kSolSocketErrCaption, platform::kMessageBoxOk);
    }
  }
  bool sent = true;
  if (plan.via >= 0 && destination.ss_family == AF_INET) {
    sockaddr_in source;
    std::memset(&source, 0, sizeof source);
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = platform::ipv4_of(plan.interfaces[plan.via]);
    sent = bind(s, reinterpret_cast<const sockaddr*>(&source), sizeof source) == 0;
  }
  // Connected, so that the address it leaves from can be told (/Verbose).
  sent = sent && connect(s, reinterpret_cast<const sockaddr*>(&destination), destination_length) == 0;
  if (sent) {
    auto n = send(s, reinterpret_cast<const char*>(datagram), static_cast<int>(length), 0);
    sent = n == static_cast<decltype(n)>(length);
  }
  if (!sent) {
    ReportSendFailure(plan, target, SendCaption(options.kind));
  } else if (options.verbose) {
    PrintVerboseUdp(plan, destination, given, s, options.kind, length, sequence, target);
  }
  if (s != INVALID_SOCKET) closesocket(s);
  return sent;
}

// One raw Ethernet wake frame for one target, through /Interface, else the interface whose
// subnet holds the target's address, else the one whose netmask the broadcast uses.
bool SendFrame(const SendOptions& options, const SendPlan& plan, const WakeTarget& target) {
  int through = plan.via;
  if (through < 0 && target.address.family == AddressFamily::kIpv4) {
    through = InterfaceOfSubnet(plan.interfaces, plan.interface_count, target.address.ipv4);
  }
  if (through < 0) through = plan.chosen;
  if (through < 0 || plan.interfaces[through].index == 0) {
    ReportLine("%s", send_texts::kEtherNoInterface);
    return false;
  }
  const platform::InterfaceRecord& interface = plan.interfaces[through];
  const WakeExtras extras{0, options.password_length != 0 ? options.password : nullptr, options.password_length};
  std::uint8_t payload[wake::kMaxDatagramLength];
  const std::size_t length = ComposeWakePacket(wake::kSendBroadcastMagic, 0, target.mac, extras, payload);
  if (!platform::send_ether_frame(plan.ether_socket, interface.index, wake::kEthernetBroadcast, wake::kWakeEtherType,
                                  payload, length)) {
    ReportSendFailure(plan, target, send_texts::kSendEtherErrCaption);
    return false;
  }
  if (options.verbose) {
    std::printf(send_texts::kVerboseEtherFormat, static_cast<unsigned>(wake::kWakeEtherType),
                send_texts::kKindEtherFrame, static_cast<unsigned>(length),
                interface.name[0] != '\0' ? interface.name : send_texts::kVerboseUnknown,
                target.name != nullptr ? send_texts::kVerboseHost : "", target.name != nullptr ? target.name : "");
    std::fflush(stdout);
  }
  return true;
}

// Reads the hosts file into targets after the command line's own; its bad lines are counted
// as failures. A hosts file that names no host at all is refused.
SendOutcome AddFileTargets(const SendOptions& options, SendPlan* plan) {
  const int first = plan->target_count;
  const int failures_before = plan->failures;
  const int count = ParseHostText(plan->file_text, plan->targets + first, kMaxFileHosts, ReportBadHostLine, plan);
  if (count == 0 && plan->failures == failures_before) {
    ReportLine(send_texts::kRefusedFormat, options.file_token, send_texts::kFileNamesNoHost);
    return SendOutcome::kRefused;
  }
  int kept = first;
  for (int i = first; i < first + count; ++i) {
    WakeTarget& target = plan->targets[i];
    if (target.address.family == AddressFamily::kIpv6 && !ScopeOf(target.address, *plan, &target.scope_index)) {
      ReportBadHostLine(plan, target.line, send_texts::kUnknownScope, target.address.scope);
    } else if (target.address.family == AddressFamily::kNone && options.kind != wake::kSendBroadcastMagic &&
               options.to_token == nullptr) {
      ReportBadHostLine(plan, target.line, send_texts::kLineNeedsAddress, FormatMacAddress(nullptr, target.mac));
    } else {
      plan->targets[kept++] = target;
    }
  }
  plan->target_count = kept;
  return SendOutcome::kAllSent;
}

// Settles everything before the first send: the hosts file, the interfaces, /Interface, /To's
// scope, the targets, the raw-frame socket. kAllSent when the sends may start; kRefused (exit
// status 2) for a value that names nothing usable; kSomeFailed when nothing can be sent.
SendOutcome Prepare(const CommandLine& line, SendPlan* plan) {
  const SendOptions& options = line.send;
  plan->file_path = options.file_path;
  if (options.file_path != nullptr) {
    const char* reason = nullptr;
    plan->file_text = ReadHostFile(options.file_path, &reason);
    if (plan->file_text == nullptr) {
      ReportLine(send_texts::kRefusedFormat, options.file_token, reason);
      return SendOutcome::kRefused;
    }
  }

  plan->interface_count = QueryInterfaces(plan->interfaces, kSendInterfaceRoom);
  if (plan->interface_count < 0) {
    // Without the interface list the subnet is unknown: a guess would wake nothing, or send to
    // the limited broadcast and look like success.
    ShowMessageBox(nullptr, WinsockErrorText(0), kInterfaceListErrCaption, platform::kMessageBoxOk);
    return SendOutcome::kSomeFailed;
  }
  plan->chosen = ChooseInterface(plan->interfaces, plan->interface_count);
  plan->via = -1;
  if (options.interface_name != nullptr) {
    plan->via = FindInterface(plan->interfaces, plan->interface_count, options.interface_name);
    if (plan->via < 0) {
      ReportLine(send_texts::kRefusedFormat, options.interface_token, send_texts::kUnknownInterface);
      return SendOutcome::kRefused;
    }
  }
  const int own = plan->via >= 0 ? plan->via : plan->chosen;
  plan->mask = own >= 0 ? plan->interfaces[own].netmask : 0;
  if (options.to_token != nullptr && options.to.family == AddressFamily::kIpv6 &&
      !ScopeOf(options.to, *plan, &plan->to_scope)) {
    ReportLine(send_texts::kRefusedFormat, options.to_token, send_texts::kUnknownScope);
    return SendOutcome::kRefused;
  }

  if (HasCommandLineTarget(line)) {
    WakeTarget& target = plan->targets[plan->target_count++];
    target = WakeTarget{{}, {AddressFamily::kNone, 0, {}, nullptr}, 0, nullptr, 0};
    ParseMacAddress(line.target_mac_text, target.mac);
    if (line.target_ip_text != nullptr) {
      target.address.family = AddressFamily::kIpv4;
      target.address.ipv4 = ParseIpAddress(line.target_ip_text);
    }
  }
  if (plan->file_text != nullptr) {
    const SendOutcome file = AddFileTargets(options, plan);
    if (file != SendOutcome::kAllSent) return file;
  }

  if (options.ether) {
    switch (platform::open_ether_socket(&plan->ether_socket)) {
      case platform::EtherOpen::kOpened:
        break;
      case platform::EtherOpen::kNoPermission:
        ReportLine("%s", send_texts::kEtherNeedsCapNetRaw);
        return SendOutcome::kSomeFailed;
      case platform::EtherOpen::kUnsupported:
        ReportLine("%s", send_texts::kEtherNeedsLinux);
        return SendOutcome::kSomeFailed;
      case platform::EtherOpen::kFailed:
        ShowMessageBox(nullptr, WinsockErrorText(0), send_texts::kSendEtherErrCaption, platform::kMessageBoxOk);
        return SendOutcome::kSomeFailed;
    }
  }
  return SendOutcome::kAllSent;
}

// /Count rounds, /Interval apart; each round sends to every target once. With more than one
// round every datagram carries its round as the header's sequence number.
void SendRounds(const SendOptions& options, SendPlan* plan) {
  for (int round = 1; round <= options.count; ++round) {
    if (round > 1) platform::sleep_ms(static_cast<unsigned long>(options.interval_ms));
    const std::uint32_t sequence = options.count > 1 ? static_cast<std::uint32_t>(round) : 0;
    for (int i = 0; i < plan->target_count; ++i) {
      const WakeTarget& target = plan->targets[i];
      const bool sent = options.ether ? SendFrame(options, *plan, target)
                                      : SendDatagram(options, *plan, target, sequence);
      if (!sent) ++plan->failures;
    }
  }
}

}  // namespace

SendOutcome SilentSend(const CommandLine& line) {
  platform::socket_startup(kSocketsMajor, kSocketsMinor);
  SendOutcome outcome = SendOutcome::kSomeFailed;
  SendPlan* plan = static_cast<SendPlan*>(std::calloc(1, sizeof(SendPlan)));
  if (plan != nullptr) {
    plan->ether_socket = INVALID_SOCKET;
    outcome = Prepare(line, plan);
    if (outcome == SendOutcome::kAllSent) {
      SendRounds(line.send, plan);
      outcome = plan->failures == 0 ? SendOutcome::kAllSent : SendOutcome::kSomeFailed;
    }
    if (plan->ether_socket != INVALID_SOCKET) closesocket(plan->ether_socket);
    std::free(plan->file_text);
    std::free(plan);
  }
  platform::socket_cleanup();
  platform::sleep_ms(kAfterSendPauseMs);
  return outcome;
}

void ReportRefusedOption(const CommandLine& line) {
  ReportLine(send_texts::kRefusedFormat, line.bad_token, line.bad_reason);
}
