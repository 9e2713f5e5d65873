// Windows interface list: the IPv4 records of WSAIoctl's SIO_GET_INTERFACE_LIST, named and completed from the adapter list (GetAdaptersAddresses).
#include "platform/interfaces.h"
#include "platform/sockets.h"  // Winsock before the IP helper's headers

#include <cstdlib>
#include <cstring>

#include <iphlpapi.h>

#include "platform/socket_address.h"
#include "platform/win32/interface_records.h"

namespace platform {

namespace {

// The room handed to Winsock: records of 76 bytes, as many as the caller may take.
constexpr int kWinsockRoom = 64;
static_assert(sizeof(INTERFACE_INFO) == 76, "INTERFACE_INFO is 76 bytes");

// The adapter list is asked for with a first room of this size and, when the system says
// that it needs more, once or twice again with the size it names.
constexpr ULONG kAdapterListRoom = 16 * 1024;
constexpr int kAdapterListTries = 3;

std::uint32_t ipv4_of(const sockaddr_gen& address) {
  return address.AddressIn.sin_addr.s_addr;
}

int prefix_of(std::uint32_t netmask) {
  int bits = 0;
  for (std::uint32_t m = ntohl(netmask); m & 0x80000000u; m <<= 1) ++bits;
  return bits;
}

// The adapters of every family, or nullptr (error code in *result); free with std::free.
IP_ADAPTER_ADDRESSES* adapter_list(ULONG* result) {
  const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
  ULONG size = kAdapterListRoom;
  for (int attempt = 0; attempt < kAdapterListTries; ++attempt) {
    auto* list = static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size));
    if (list == nullptr) {
      *result = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    *result = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, list, &size);
    if (*result == NO_ERROR) return list;
    std::free(list);
    if (*result != ERROR_BUFFER_OVERFLOW) return nullptr;
  }
  return nullptr;
}

// The friendly name as UTF-8, cut back to its last whole character when it is longer than the room.
void copy_name(const IP_ADAPTER_ADDRESSES* adapter, char (&name)[kInterfaceNameRoom]) {
  char full[4 * 256];
  if (adapter->FriendlyName == nullptr ||
      WideCharToMultiByte(CP_UTF8, 0, adapter->FriendlyName, -1, full, sizeof full, nullptr, nullptr) == 0) {
    full[0] = '\0';
  }
  std::size_t length = std::strlen(full);
  if (length >= sizeof name) {
    length = sizeof name - 1;
    while (length > 0 && (static_cast<unsigned char>(full[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(name, full, length);
  name[length] = '\0';
}

// The flags of an adapter as the Winsock list would give them.
std::uint32_t adapter_flags(const IP_ADAPTER_ADDRESSES* adapter) {
  std::uint32_t flags = 0;
  if (adapter->OperStatus == IfOperStatusUp) flags |= kInterfaceUp;
  if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
    flags |= kInterfaceLoopback;
  } else if (adapter->IfType == IF_TYPE_PPP || adapter->IfType == IF_TYPE_TUNNEL) {
    flags |= kInterfacePointToPoint;
  } else {
    flags |= kInterfaceBroadcast;
  }
  if ((adapter->Flags & IP_ADAPTER_NO_MULTICAST) == 0) flags |= kInterfaceMulticast;
  return flags;
}

bool has_ipv4_address(const IP_ADAPTER_ADDRESSES* adapter, std::uint32_t address) {
  for (const IP_ADAPTER_UNICAST_ADDRESS* u = adapter->FirstUnicastAddress; u != nullptr; u = u->Next) {
    const sockaddr* a = u->Address.lpSockaddr;
    if (a != nullptr && a->sa_family == AF_INET &&
        reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr == address) {
      return true;
    }
  }
  return false;
}

InterfaceRecord* add_record(const IP_ADAPTER_ADDRESSES* adapter, unsigned index, InterfaceRecord* records,
                            int room, int* count) {
  if (*count >= room) return nullptr;
  InterfaceRecord* record = &records[(*count)++];
  *record = InterfaceRecord{};
  record->index = index;
  copy_name(adapter, record->name);
  record->flags = adapter_flags(adapter);
  return record;
}

}  // namespace

int interface_records_from_info(const INTERFACE_INFO* info, unsigned long bytes_filled,
                                InterfaceRecord* records, int room) {
  if (info == nullptr || records == nullptr || room <= 0) return 0;
  unsigned long count = bytes_filled / sizeof(INTERFACE_INFO);
  if (count > static_cast<unsigned long>(room)) count = static_cast<unsigned long>(room);
  for (unsigned long i = 0; i < count; ++i) {
    records[i] = InterfaceRecord{};
    records[i].flags = static_cast<std::uint32_t>(info[i].iiFlags);
    const std::uint32_t address = ipv4_of(info[i].iiAddress);
    set_ipv4_address(&address, &records[i].address);
    records[i].broadcast = ipv4_of(info[i].iiBroadcastAddress);
    records[i].netmask = ipv4_of(info[i].iiNetmask);
    records[i].prefix_length = prefix_of(records[i].netmask);
  }
  return static_cast<int>(count);
}

int query_interfaces(InterfaceRecord* records, int room) {
  if (records == nullptr || room <= 0) return 0;
  // The IPv4 records come from Winsock's own list, in its order and with its flags and masks.
  SOCKET query_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  INTERFACE_INFO info[kWinsockRoom];
  const int asked = room < kWinsockRoom ? room : kWinsockRoom;
  DWORD bytes_filled = 0;
  const int listed = WSAIoctl(query_socket, SIO_GET_INTERFACE_LIST, nullptr, 0, info,
                              static_cast<DWORD>(asked * sizeof(INTERFACE_INFO)), &bytes_filled, nullptr, nullptr);
  const int error = WSAGetLastError();
  if (query_socket != INVALID_SOCKET) closesocket(query_socket);
  if (listed == SOCKET_ERROR) {
    WSASetLastError(error);
    return -1;
  }
  int count = interface_records_from_info(info, bytes_filled, records, asked);

  ULONG result = NO_ERROR;
  IP_ADAPTER_ADDRESSES* adapters = adapter_list(&result);
  // Each IPv4 record is named after the adapter that holds its address; a record of no
  // adapter keeps an empty name and index 0.
  for (int i = 0; i < count; ++i) {
    const std::uint32_t address = ipv4_of(records[i]);
    for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next) {
      if (!has_ipv4_address(a, address)) continue;
      copy_name(a, records[i].name);
      records[i].index = a->IfIndex;
      break;
    }
  }
  // Then the IPv6 addresses, and one record per adapter under each of its indexes.
  for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next) {
    for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      const sockaddr* address = u->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET6) continue;
      InterfaceRecord* record = add_record(a, a->Ipv6IfIndex, records, room, &count);
      if (record == nullptr) break;
      sockaddr_in6 in6;
      std::memcpy(&in6, address, sizeof in6);
      set_ipv6_address(in6.sin6_addr, &record->address);
      record->prefix_length = u->OnLinkPrefixLength;
    }
  }
  for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next) {
    add_record(a, a->IfIndex, records, room, &count);
    if (a->Ipv6IfIndex != 0 && a->Ipv6IfIndex != a->IfIndex) add_record(a, a->Ipv6IfIndex, records, room, &count);
  }
  std::free(adapters);
  return count;
}

}  // namespace platform
