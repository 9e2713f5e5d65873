// POSIX interface list: getifaddrs' IPv4 entries as neutral records with Winsock's flag bits and names.
#include "platform/interfaces.h"

#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>

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

void CopyName(const char* from, char (&to)[kInterfaceNameRoom]) {
  std::snprintf(to, sizeof to, "%s", from != nullptr ? from : "");
}

}  // namespace

int query_interface_list(SOCKET, InterfaceRecord* records, int room) {
  ifaddrs* list = nullptr;
  // On failure errno is left as getifaddrs set it: it is the last socket error.
  if (getifaddrs(&list) != 0) return -1;
  int count = 0;
  for (const ifaddrs* entry = list; entry != nullptr && count < room; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    InterfaceRecord& record = records[count++];
    record.flags = MapFlags(entry->ifa_flags);
    record.address = Ipv4Of(entry->ifa_addr);
    // getifaddrs keeps the broadcast and the point-to-point peer address in one field.
    record.broadcast = (entry->ifa_flags & IFF_BROADCAST) ? Ipv4Of(entry->ifa_broadaddr) : 0;
    record.netmask = Ipv4Of(entry->ifa_netmask);
    CopyName(entry->ifa_name, record.name);
    record.index = interface_index(record.name);
  }
  freeifaddrs(list);
  return count;
}

unsigned interface_index(const char* name) {
  if (name == nullptr || *name == '\0') return 0;
  // An address label such as "eth0:1" names its interface's second address; the index is the
  // interface's.
  char device[IF_NAMESIZE];
  std::size_t length = std::strcspn(name, ":");
  if (length >= sizeof device) return 0;
  std::memcpy(device, name, length);
  device[length] = '\0';
  return if_nametoindex(device);
}

}  // namespace platform
