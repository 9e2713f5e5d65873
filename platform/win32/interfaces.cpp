// Windows interface list: WSAIoctl with SIO_GET_INTERFACE_LIST into a room of fixed size.
#include "platform/interfaces.h"

#include "platform/win32/interface_records.h"

namespace platform {

namespace {

// The room handed to Winsock: ten records of 76 bytes, 760 bytes, unless the caller has less.
constexpr int kInterfaceRoom = 10;
static_assert(sizeof(INTERFACE_INFO) == 76, "INTERFACE_INFO is 76 bytes");

std::uint32_t ipv4_of(const sockaddr_gen& address) {
  return address.AddressIn.sin_addr.s_addr;
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
  return interface_records_from_info(info, bytes_filled, records, records_asked);
}

}  // namespace platform
