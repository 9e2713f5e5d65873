// POSIX interface list: getifaddrs' entries as neutral records, with Winsock's flag bits and the kernel's indexes.
#include "platform/interfaces.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/socket_address.h"

namespace platform {

namespace {

// Only the five bits the Winsock list knows travel; RUNNING, NOARP, PROMISC and the rest are
// dropped, so an ordinary Ethernet interface reads 0x13 here as it does on Windows.
std::uint32_t MapFlags(unsigned int ifa_flags) {
  std::uint32_t flags = 0;
  if (ifa_flags & IFF_UP) flags |= kInterfaceUp;
  if (ifa_flags & IFF_BROADCAST) flags |= kInterfaceBroadcast;
  if (ifa_flags & IFF_LOOPBACK) flags |= kInterfaceLoopback;
  if (ifa_flags & IFF_POINTOPOINT) flags |= kInterfacePointToPoint;
  if (ifa_flags & IFF_MULTICAST) flags |= kInterfaceMulticast;
  return flags;
}

std::uint32_t Ipv4Of(const sockaddr* address) {
  if (address == nullptr || address->sa_family != AF_INET) return 0;
  sockaddr_in in;
  std::memcpy(&in, address, sizeof in);
  return in.sin_addr.s_addr;
}

int PrefixOf(const sockaddr* mask) {
  if (mask == nullptr) return 0;
  std::uint8_t bytes[16] = {};
  std::size_t size = 0;
  if (mask->sa_family == AF_INET) {
    sockaddr_in in;
    std::memcpy(&in, mask, sizeof in);
    std::memcpy(bytes, &in.sin_addr, 4);
    size = 4;
  } else if (mask->sa_family == AF_INET6) {
    sockaddr_in6 in6;
    std::memcpy(&in6, mask, sizeof in6);
    std::memcpy(bytes, in6.sin6_addr.s6_addr, 16);
    size = 16;
  }
  int bits = 0;
  for (std::size_t i = 0; i < size; ++i) {
    for (int b = 7; b >= 0 && (bytes[i] >> b) & 1; --b) ++bits;
  }
  return bits;
}

// The index of the interface an entry belongs to. Every interface has one AF_PACKET entry whose
// link address carries its index, so the list answers without a further call per address; an
// IPv4 address label ("eth0:1") names the interface before its colon.
unsigned IndexOf(const ifaddrs* list, const char* name) {
  const std::size_t length = std::strcspn(name, ":");
  for (const ifaddrs* e = list; e != nullptr; e = e->ifa_next) {
    if (e->ifa_addr == nullptr || e->ifa_addr->sa_family != AF_PACKET) continue;
    if (std::strlen(e->ifa_name) != length || std::strncmp(e->ifa_name, name, length) != 0) continue;
    sockaddr_ll link;
    std::memcpy(&link, e->ifa_addr, sizeof link);
    return static_cast<unsigned>(link.sll_ifindex);
  }
  char device[IF_NAMESIZE];
  if (length >= sizeof device) return 0;
  std::memcpy(device, name, length);
  device[length] = '\0';
  return if_nametoindex(device);
}

void Fill(const ifaddrs* list, const ifaddrs& entry, InterfaceRecord* record) {
  *record = InterfaceRecord{};
  std::snprintf(record->name, sizeof record->name, "%s", entry.ifa_name != nullptr ? entry.ifa_name : "");
  record->index = IndexOf(list, record->name);
  record->flags = MapFlags(entry.ifa_flags);
  const int family = entry.ifa_addr->sa_family;
  if (family == AF_INET) {
    sockaddr_in in;
    std::memcpy(&in, entry.ifa_addr, sizeof in);
    set_ipv4_address(&in.sin_addr, &record->address);
    record->netmask = Ipv4Of(entry.ifa_netmask);
    // getifaddrs keeps the broadcast and the point-to-point peer address in one field.
    record->broadcast = (entry.ifa_flags & IFF_BROADCAST) ? Ipv4Of(entry.ifa_broadaddr) : 0;
  } else if (family == AF_INET6) {
    sockaddr_in6 in6;
    std::memcpy(&in6, entry.ifa_addr, sizeof in6);
    set_ipv6_address(in6.sin6_addr, &record->address);
  }
  record->prefix_length = PrefixOf(entry.ifa_netmask);
}

}  // namespace

int query_interfaces(InterfaceRecord* records, int room) {
  ifaddrs* list = nullptr;
  // On failure errno is left as getifaddrs set it: it is the last socket error.
  if (getifaddrs(&list) != 0) return -1;
  int count = 0;
  for (const int family : {AF_INET, AF_INET6, AF_PACKET}) {
    for (const ifaddrs* e = list; e != nullptr && count < room; e = e->ifa_next) {
      if (e->ifa_addr == nullptr || e->ifa_addr->sa_family != family) continue;
      Fill(list, *e, &records[count++]);
    }
  }
  freeifaddrs(list);
  return count;
}

}  // namespace platform
