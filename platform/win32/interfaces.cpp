// Windows interface list: WSAIoctl with SIO_GET_INTERFACE_LIST into a room of fixed size, named
// from the adapter list (GetAdaptersAddresses).
#include "platform/interfaces.h"

#include <cstdlib>
#include <cwchar>

#include <iphlpapi.h>

#include "platform/win32/interface_records.h"

namespace platform {

namespace {

// The room handed to Winsock: ten records of 76 bytes, 760 bytes, unless the caller has less.
constexpr int kInterfaceRoom = 10;
static_assert(sizeof(INTERFACE_INFO) == 76, "INTERFACE_INFO is 76 bytes");

// The adapter list is asked for with a first room of this size and, when the system says
// that it needs more, once or twice again with the size it names.
constexpr ULONG kAdapterListRoom = 16 * 1024;
constexpr int kAdapterListTries = 3;

std::uint32_t ipv4_of(const sockaddr_gen& address) {
  return address.AddressIn.sin_addr.s_addr;
}

// The adapters of `family` (AF_INET, AF_UNSPEC), or nullptr; free with std::free.
IP_ADAPTER_ADDRESSES* adapter_list(ULONG family) {
  const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
  ULONG size = kAdapterListRoom;
  for (int attempt = 0; attempt < kAdapterListTries; ++attempt) {
    auto* list = static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size));
    if (list == nullptr) return nullptr;
    const ULONG result = GetAdaptersAddresses(family, flags, nullptr, list, &size);
    if (result == NO_ERROR) return list;
    std::free(list);
    if (result != ERROR_BUFFER_OVERFLOW) return nullptr;
  }
  return nullptr;
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

// Names each record after the adapter that holds its address; records of no adapter keep an
// empty name and index 0.
void name_records(InterfaceRecord* records, int count) {
  IP_ADAPTER_ADDRESSES* list = adapter_list(AF_INET);
  for (int i = 0; i < count; ++i) {
    records[i].name[0] = '\0';
    records[i].index = 0;
    for (const IP_ADAPTER_ADDRESSES* a = list; a != nullptr; a = a->Next) {
      if (!has_ipv4_address(a, records[i].address)) continue;
      if (a->FriendlyName == nullptr ||
          WideCharToMultiByte(CP_UTF8, 0, a->FriendlyName, -1, records[i].name, kInterfaceNameRoom,
                              nullptr, nullptr) == 0) {
        records[i].name[0] = '\0';  // a name too long for the room is left out, not cut mid-character
      }
      records[i].index = a->IfIndex;
      break;
    }
  }
  std::free(list);
}

}  // namespace

int interface_records_from_info(const INTERFACE_INFO* info, unsigned long bytes_filled,
                                InterfaceRecord* records, int room) {
  if (info == nullptr || records == nullptr || room <= 0) return 0;
  unsigned long count = bytes_filled / sizeof(INTERFACE_INFO);
  if (count > static_cast<unsigned long>(room)) count = static_cast<unsigned long>(room);
  for (unsigned long i = 0; i < count; ++i) {
    records[i].flags = static_cast<std::uint32_t>(info[i].iiFlags);
    records[i].address = ipv4_of(info[i].iiAddress);
    records[i].broadcast = ipv4_of(info[i].iiBroadcastAddress);
    records[i].netmask = ipv4_of(info[i].iiNetmask);
    records[i].name[0] = '\0';
    records[i].index = 0;
  }
  return static_cast<int>(count);
}

int query_interface_list(SOCKET query_socket, InterfaceRecord* records, int room) {
  if (records == nullptr || room <= 0) return 0;
  INTERFACE_INFO info[kInterfaceRoom];
  int records_asked = room < kInterfaceRoom ? room : kInterfaceRoom;
  DWORD bytes_filled = 0;
  if (WSAIoctl(query_socket, SIO_GET_INTERFACE_LIST, nullptr, 0, info,
               static_cast<DWORD>(records_asked * sizeof(INTERFACE_INFO)), &bytes_filled, nullptr,
               nullptr) == SOCKET_ERROR) {
    return -1;
  }
  const int count = interface_records_from_info(info, bytes_filled, records, records_asked);
  name_records(records, count);
  return count;
}

unsigned interface_index(const char* name) {
  if (name == nullptr || *name == '\0') return 0;
  wchar_t wide[kInterfaceNameRoom];
  if (MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, kInterfaceNameRoom) == 0) return 0;
  IP_ADAPTER_ADDRESSES* list = adapter_list(AF_UNSPEC);
  unsigned index = 0;
  for (const IP_ADAPTER_ADDRESSES* a = list; a != nullptr && index == 0; a = a->Next) {
    // Friendly names ignore case, as Windows' own tools compare them.
    if (a->FriendlyName != nullptr && _wcsicmp(a->FriendlyName, wide) == 0) {
      index = a->Ipv6IfIndex != 0 ? a->Ipv6IfIndex : a->IfIndex;
    }
  }
  std::free(list);
  return index;
}

}  // namespace platform
