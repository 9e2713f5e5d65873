// The silent send's plan: the hosts file, the interfaces and scopes, the targets, and each datagram's destination and way out.
#include "sender/send_plan.h"

#include <cstring>

#include "common/address_text.h"
#include "common/relay_key_file.h"
#include "common/relay_request.h"
#include "platform/ether.h"
#include "sender/error_text.h"
#include "sender/message_box.h"
#include "sender/send_texts.h"
#include "sender/wake_packet.h"

namespace {

constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

void ReportBadHostLine(void* context, int line_number, const char* reason, const char* field) {
  SendPlan* plan = static_cast<SendPlan*>(context);
  ++plan->failures;
  ReportLine(send_texts::kBadLineFormat, plan->file_path, line_number, reason, field);
}

// The interface an IPv6 address goes out on: the one its scope names (an interface's index or
// name), else /Interface's when the address needs one. False when the scope names no interface.
bool ScopeOf(const WakeAddress& address, const SendPlan& plan, unsigned* index) {
  *index = 0;
  if (address.scope != nullptr) {
    *index = ScopeIndex(plan.interfaces, plan.interface_count, address.scope);
    return *index != 0;
  }
  if (plan.via >= 0 && Ipv6NeedsScope(address.ipv6)) *index = plan.interfaces[plan.via].index;
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
    } else if (target.address.family == AddressFamily::kIpv6 && target.scope_index == 0 &&
               Ipv6NeedsScope(target.address.ipv6)) {
      platform::IpAddress ip{6, {}};
      std::memcpy(ip.bytes, target.address.ipv6, sizeof ip.bytes);
      char text[wake::kIpTextRoom];
      wake::FormatIpText(ip, text, sizeof text);
      ReportBadHostLine(plan, target.line, send_texts::kNeedsScope, text);
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

SendOutcome OpenEtherSocket(SendPlan* plan) {
  switch (platform::open_ether_socket(&plan->ether_socket)) {
    case platform::EtherOpen::kOpened:
      return SendOutcome::kAllSent;
    case platform::EtherOpen::kNoPermission:
      ReportLine("%s", send_texts::kEtherNeedsCapNetRaw);
      break;
    case platform::EtherOpen::kUnsupported:
      ReportLine("%s", send_texts::kEtherNeedsLinux);
      break;
    case platform::EtherOpen::kFailed:
      ShowMessageBox(nullptr, WinsockErrorText(0), send_texts::kSendEtherErrCaption, platform::kMessageBoxOk);
      break;
  }
  return SendOutcome::kSomeFailed;
}

// The interface whose subnet holds the target's IPv4 address, else the one the netmask rule
// chose; -1 when there is none.
int OwnInterface(const SendPlan& plan, const WakeAddress& address) {
  if (address.family == AddressFamily::kIpv4) {
    const int subnet = InterfaceOfSubnet(plan.interfaces, plan.interface_count, address.ipv4);
    if (subnet >= 0) return subnet;
  }
  return plan.chosen;
}

}  // namespace

SendOutcome PrepareSend(const CommandLine& line, SendPlan* plan) {
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
  if (options.to_token != nullptr && options.to.family == AddressFamily::kIpv6) {
    if (!ScopeOf(options.to, *plan, &plan->to_scope)) {
      ReportLine(send_texts::kRefusedFormat, options.to_token, send_texts::kUnknownScope);
      return SendOutcome::kRefused;
    }
    // Without its interface the system refuses the send only when it is tried.
    if (plan->to_scope == 0 && Ipv6NeedsScope(options.to.ipv6)) {
      ReportLine(send_texts::kRefusedFormat, options.to_token, send_texts::kNeedsScope);
      return SendOutcome::kRefused;
    }
  }

  if (HasCommandLineTarget(line)) {
    WakeTarget& target = plan->targets[plan->target_count++];
    target = WakeTarget{{}, {AddressFamily::kNone, 0, {}, nullptr}, 0, nullptr, 0, options.relay_text};
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
  bool direct = false;
  bool relayed = false;
  for (int i = 0; i < plan->target_count; ++i) {
    (plan->targets[i].relay != nullptr ? relayed : direct) = true;
  }
  if (relayed) {
    if (options.key_path == nullptr) {
      ReportLine(send_texts::kRefusedFormat, options.file_token, send_texts::kFileRelaysNeedKey);
      return SendOutcome::kRefused;
    }
    // The relay sends the copies, at most 16 a request.
    if (options.count > wake::kRelayMaxCopies) {
      ReportLine(send_texts::kRefusedFormat, options.count_token, send_texts::kRelayBadCount);
      return SendOutcome::kRefused;
    }
    // A key file that others may reach is refused before anything is sent.
    if (!wake::OpenRelayCrypto(send_texts::kProgramName, stderr) ||
        !wake::LoadRelayKeys(options.key_path, send_texts::kProgramName, &plan->relay_keys, stderr)) {
      return SendOutcome::kRefused;
    }
  }
  return options.ether && direct ? OpenEtherSocket(plan) : SendOutcome::kAllSent;
}

// Where one datagram goes: /To's address; else a host's IPv6 address as it stands (IPv6 has no
// broadcast); else, for the broadcast magic packet, the subnet-directed broadcast of the
// target's address (a target without one: of the interface's own address) under the netmask
// (a hosts file's target on another of the host's subnets: that subnet's, unless /Interface
// names one); else the target's own address. How it leaves: /Interface pins the way out and
// the source for every destination; without it a limited broadcast, which no route leads to,
// leaves through the interface whose subnet holds the target's address, else the one the
// netmask rule chose; everything else as routing says.
void PlanDatagram(const SendOptions& options, const SendPlan& plan, const WakeTarget& target,
                  std::uint32_t sequence, wake::WakeDatagram* d, const WakeAddress** given) {
  *d = wake::WakeDatagram{};
  d->kind = options.kind;
  d->header_length = SettingsHeaderLength(g_program.sender);
  d->mac = target.mac;
  d->extras = wake::WakeExtras{sequence, options.password_length != 0 ? options.password : nullptr,
                               options.password_length};
  d->port = ntohs(DestinationPort(g_program.sender.port));
  const WakeAddress* address = options.to_token != nullptr ? &options.to : &target.address;
  *given = address;
  if (address->family == AddressFamily::kIpv6) {
    d->destination.family = 6;
    std::memcpy(d->destination.bytes, address->ipv6, sizeof address->ipv6);
    d->scope = options.to_token != nullptr ? plan.to_scope : target.scope_index;
    if (plan.via >= 0) d->interface_index = plan.interfaces[plan.via].index;
    return;
  }
  std::uint32_t to;
  if (options.to_token != nullptr || options.kind != wake::kSendBroadcastMagic) {
    to = address->ipv4;
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
    to = BroadcastAddress(base, mask);
  }
  d->destination = wake::Ipv4Address(to);
  // Every IPv4 datagram may broadcast: /To and a hosts file may name a broadcast address for any kind.
  d->broadcast = true;
  if (plan.via >= 0) {
    d->interface_index = plan.interfaces[plan.via].index;
    d->source = platform::ipv4_of(plan.interfaces[plan.via]);
  } else if (to == kLimitedBroadcast) {
    const int out = OwnInterface(plan, target.address);
    if (out >= 0) d->interface_index = plan.interfaces[out].index;
  }
}

int FrameInterface(const SendPlan& plan, const WakeTarget& target) {
  return plan.via >= 0 ? plan.via : OwnInterface(plan, target.address);
}
