// POSIX interface addresses: getifaddrs, with each interface's index from if_nametoindex.
#include "platform/interface_addresses.h"
#include "platform/socket_address.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace platform {

namespace {

int prefix_of(const sockaddr* mask) {
  if (mask == nullptr) return 0;
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
  sockaddr_in in;
  sockaddr_in6 in6;
  if (mask->sa_family == AF_INET) {
    std::memcpy(&in, mask, sizeof in);
    bytes = reinterpret_cast<const std::uint8_t*>(&in.sin_addr);
    size = 4;
  } else if (mask->sa_family == AF_INET6) {
    std::memcpy(&in6, mask, sizeof in6);
    bytes = in6.sin6_addr.s6_addr;
    size = 16;
  }
  int bits = 0;
  for (std::size_t i = 0; i < size; ++i) {
    for (int b = 7; b >= 0 && (bytes[i] >> b) & 1; --b) ++bits;
  }
  return bits;
}

}  // namespace

int query_interface_addresses(InterfaceAddress* records, int room) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return -1;
  int count = 0;
  for (const ifaddrs* entry = list; entry != nullptr && count < room; entry = entry->ifa_next) {
    const int family = entry->ifa_addr != nullptr ? entry->ifa_addr->sa_family : AF_UNSPEC;
    // Every interface has one AF_PACKET entry: it gives the record of its name.
    if (family != AF_INET && family != AF_INET6 && family != AF_PACKET) continue;
    InterfaceAddress& record = records[count];
    record = InterfaceAddress{};
    // An IPv4 address label ("eth0:1") names the interface before its colon.
    std::size_t length = std::strcspn(entry->ifa_name, ":");
    if (length >= sizeof record.name) length = sizeof record.name - 1;
    std::memcpy(record.name, entry->ifa_name, length);
    record.name[length] = '\0';
    record.index = if_nametoindex(record.name);
    if (record.index == 0) continue;  // gone since the list was read
    if (family == AF_INET) {
      sockaddr_in in;
      std::memcpy(&in, entry->ifa_addr, sizeof in);
      set_ipv4_address(&in.sin_addr, &record.address);
    } else if (family == AF_INET6) {
      sockaddr_in6 in6;
      std::memcpy(&in6, entry->ifa_addr, sizeof in6);
      set_ipv6_address(in6.sin6_addr, &record.address);
    }
    record.prefix_length = prefix_of(entry->ifa_netmask);
    ++count;
  }
  freeifaddrs(list);
  return count;
}

}  // namespace platform
