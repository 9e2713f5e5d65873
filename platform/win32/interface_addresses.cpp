// Windows interface addresses: GetAdaptersAddresses, friendly names as UTF-8, on-link prefix lengths.
#include "platform/interface_addresses.h"
#include "platform/socket_address.h"

#include <iphlpapi.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// One record of `adapter` with `index`, without an address yet; nullptr when there is no room.
InterfaceAddress* add_record(const IP_ADAPTER_ADDRESSES* adapter, unsigned index,
                             InterfaceAddress* records, int room, int* count) {
  if (*count >= room) return nullptr;
  InterfaceAddress* record = &records[(*count)++];
  *record = InterfaceAddress{};
  record->index = index;
  char full[4 * 256];
  if (WideCharToMultiByte(CP_UTF8, 0, adapter->FriendlyName, -1, full, sizeof full, nullptr, nullptr) == 0) {
    full[0] = '\0';
  }
  // A name longer than the room is cut back to its last whole character.
  std::size_t length = std::strlen(full);
  if (length >= sizeof record->name) {
    length = sizeof record->name - 1;
    while (length > 0 && (static_cast<unsigned char>(full[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(record->name, full, length);
  record->name[length] = '\0';
  return record;
}

}  // namespace

int query_interface_addresses(InterfaceAddress* records, int room) {
  ULONG size = 16 * 1024;
  IP_ADAPTER_ADDRESSES* adapters = nullptr;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  // The list may grow between the two calls: a few tries with the size asked for.
  for (int tries = 0; tries < 3 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
    std::free(adapters);
    adapters = static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size));
    if (adapters == nullptr) return -1;
    result = GetAdaptersAddresses(AF_UNSPEC,
                                  GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                  nullptr, adapters, &size);
  }
  if (result != NO_ERROR) {
    std::free(adapters);
    SetLastError(result);
    return -1;
  }
  int count = 0;
  for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next) {
    add_record(a, a->IfIndex, records, room, &count);
    if (a->Ipv6IfIndex != 0 && a->Ipv6IfIndex != a->IfIndex) add_record(a, a->Ipv6IfIndex, records, room, &count);
    for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      const sockaddr* address = u->Address.lpSockaddr;
      if (address == nullptr) continue;
      if (address->sa_family == AF_INET) {
        InterfaceAddress* record = add_record(a, a->IfIndex, records, room, &count);
        if (record == nullptr) break;
        sockaddr_in in;
        std::memcpy(&in, address, sizeof in);
        set_ipv4_address(&in.sin_addr, &record->address);
        record->prefix_length = u->OnLinkPrefixLength;
      } else if (address->sa_family == AF_INET6) {
        InterfaceAddress* record = add_record(a, a->Ipv6IfIndex, records, room, &count);
        if (record == nullptr) break;
        sockaddr_in6 in6;
        std::memcpy(&in6, address, sizeof in6);
        set_ipv6_address(in6.sin6_addr, &record->address);
        record->prefix_length = u->OnLinkPrefixLength;
      }
    }
  }
  std::free(adapters);
  return count;
}

}  // namespace platform
