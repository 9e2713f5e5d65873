// /Verbose: one line per datagram or frame sent, on standard output.
#include <cstdio>
#include <cstring>

#include "common/address_text.h"
#include "common/interface_names.h"
#include "sender/send_plan.h"
#include "sender/send_texts.h"
#include "sender/wake_packet.h"

namespace {

constexpr std::size_t kEndpointTextRoom = 128;  // an IPv6 text, '%' and an interface name

const char* KindName(int kind) {
  switch (kind) {
    case wake::kSendShortUnsuspend: return send_texts::kKindShortUnsuspend;
    case wake::kSendDirectMagic: return send_texts::kKindDirectMagic;
    default: return send_texts::kKindBroadcastMagic;
  }
}

// The name of the IPv4 record with this address, or of the interface with this index; "?" when
// none has a name.
const char* InterfaceName(const SendPlan& plan, std::uint32_t address, unsigned index) {
  const char* name = index != 0 ? wake::InterfaceNameOf(plan.interfaces, plan.interface_count, index)
                                : wake::Ipv4InterfaceName(plan.interfaces, plan.interface_count, address);
  return name != nullptr ? name : send_texts::kVerboseUnknown;
}

// "a.b.c.d", or an IPv6 text with "%scope" as given (or /Interface's name for a scope it gave).
void FormatEndpoint(const sockaddr_storage& endpoint, const WakeAddress* given, const SendPlan& plan, char* text,
                    std::size_t room) {
  platform::IpAddress ip{};
  unsigned scope = 0;
  if (endpoint.ss_family == AF_INET) {
    ip = wake::Ipv4Address(reinterpret_cast<const sockaddr_in&>(endpoint).sin_addr.s_addr);
  } else {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(endpoint);
    ip.family = 6;
    std::memcpy(ip.bytes, &in6.sin6_addr, 16);
    scope = in6.sin6_scope_id;
  }
  char address[wake::kIpTextRoom];
  wake::FormatIpText(ip, address, sizeof address);
  if (given != nullptr && given->scope != nullptr) {
    std::snprintf(text, room, "%s%%%s", address, given->scope);
  } else if (scope != 0 && ip.family == 6 && Ipv6NeedsScope(ip.bytes)) {
    std::snprintf(text, room, "%s%%%s", address, InterfaceName(plan, 0, scope));
  } else {
    std::snprintf(text, room, "%s", address);
  }
}

const char* HostPart(const WakeTarget& target) { return target.name != nullptr ? send_texts::kVerboseHost : ""; }
const char* HostName(const WakeTarget& target) { return target.name != nullptr ? target.name : ""; }

}  // namespace

void PrintVerboseDatagram(const SendPlan& plan, const wake::WakeDatagram& datagram, const wake::SendResult& result,
                          const WakeAddress* given, const WakeTarget& target) {
  sockaddr_storage destination;
  const int destination_length = wake::DestinationAddress(datagram, &destination);
  char to[kEndpointTextRoom];
  char from[kEndpointTextRoom] = "?";
  FormatEndpoint(destination, given, plan, to, sizeof to);
  const char* interface_name = send_texts::kVerboseUnknown;
  sockaddr_storage source;
  if (wake::ChannelSource(*result.channel, destination, destination_length, &source)) {
    FormatEndpoint(source, nullptr, plan, from, sizeof from);
    if (source.ss_family == AF_INET) {
      interface_name = InterfaceName(plan, reinterpret_cast<const sockaddr_in&>(source).sin_addr.s_addr, 0);
    } else {
      interface_name = InterfaceName(plan, 0, reinterpret_cast<const sockaddr_in6&>(destination).sin6_scope_id);
    }
  }
  char sequence_text[16];
  std::snprintf(sequence_text, sizeof sequence_text, "%lu", static_cast<unsigned long>(datagram.extras.sequence));
  char mac[wake::kMacTextRoom];
  wake::FormatMacText(target.mac, mac);
  std::printf(send_texts::kVerboseUdpFormat, to, static_cast<unsigned>(datagram.port), KindName(datagram.kind),
              static_cast<unsigned>(result.length),
              datagram.extras.sequence != 0 ? sequence_text : send_texts::kVerboseNoSequence, from, interface_name,
              mac, HostPart(target), HostName(target));
  std::fflush(stdout);
}

void PrintVerboseFrame(const platform::InterfaceRecord& interface, std::size_t length, const WakeTarget& target) {
  char mac[wake::kMacTextRoom];
  wake::FormatMacText(target.mac, mac);
  std::printf(send_texts::kVerboseEtherFormat, static_cast<unsigned>(wake::kWakeEtherType), send_texts::kKindEtherFrame,
              static_cast<unsigned>(length), interface.name[0] != '\0' ? interface.name : send_texts::kVerboseUnknown,
              mac, HostPart(target), HostName(target));
  std::fflush(stdout);
}
