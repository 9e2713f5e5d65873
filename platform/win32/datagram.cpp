// Windows datagram receive: recvfrom, or WSARecvMsg with IP_PKTINFO / IPV6_PKTINFO for the arrival details; an oversized datagram (WSAEMSGSIZE) kept as a truncated one.
#include "platform/datagram.h"

#include <mswsock.h>

#include <cstring>

#include "platform/socket_address.h"

namespace platform {

namespace {

// WSARecvMsg is an extension function: its address comes from the socket's provider.
LPFN_WSARECVMSG recvmsg_function(SOCKET s) {
  static LPFN_WSARECVMSG function = nullptr;
  if (function == nullptr) {
    GUID id = WSAID_WSARECVMSG;
    DWORD bytes = 0;
    LPFN_WSARECVMSG found = nullptr;
    if (WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &found, sizeof found,
                 &bytes, nullptr, nullptr) == 0) {
      function = found;
    }
  }
  return function;
}

void read_control(WSAMSG* message, ReceivedDatagram* info) {
  for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(message); c != nullptr; c = WSA_CMSG_NXTHDR(message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      IN_PKTINFO pktinfo;
      std::memcpy(&pktinfo, WSA_CMSG_DATA(c), sizeof pktinfo);
      set_ipv4_address(&pktinfo.ipi_addr, &info->destination);
      info->interface_index = pktinfo.ipi_ifindex;
    } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
      IN6_PKTINFO pktinfo;
      std::memcpy(&pktinfo, WSA_CMSG_DATA(c), sizeof pktinfo);
      set_ipv6_address(pktinfo.ipi6_addr, &info->destination);
      info->interface_index = pktinfo.ipi6_ifindex;
    }
  }
}

// One datagram with WSARecvMsg and its control messages. Winsock has no drop counter.
bool receive_with_details(SOCKET s, void* buffer, int size, ReceivedDatagram* info) {
  LPFN_WSARECVMSG receive = recvmsg_function(s);
  if (receive == nullptr) {
    WSASetLastError(WSAEINVAL);
    return false;
  }
  sockaddr_storage from;
  std::memset(&from, 0, sizeof from);
  WSABUF part;
  part.buf = static_cast<char*>(buffer);
  part.len = static_cast<ULONG>(size);
  // Room for both packet-information messages.
  alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN6_PKTINFO)) + WSA_CMSG_SPACE(sizeof(IN_PKTINFO))];
  WSAMSG message;
  std::memset(&message, 0, sizeof message);
  message.name = reinterpret_cast<sockaddr*>(&from);
  message.namelen = sizeof from;
  message.lpBuffers = &part;
  message.dwBufferCount = 1;
  message.Control.buf = control;
  message.Control.len = sizeof control;
  DWORD received = 0;
  bool truncated = false;
  if (receive(s, &message, &received, nullptr, nullptr) == SOCKET_ERROR) {
    // As with recvfrom, a datagram too large for the buffer was received, cut to its size.
    if (WSAGetLastError() != WSAEMSGSIZE) return false;
    received = static_cast<DWORD>(size);
    truncated = true;
  }
  if (message.dwFlags & MSG_TRUNC) truncated = true;
  *info = ReceivedDatagram{};
  info->stored = static_cast<int>(received);
  // Winsock does not tell the real length of a datagram it cut.
  info->length = info->stored;
  info->truncated = truncated;
  set_sender(from, message.namelen, &info->sender, &info->sender_port);
  read_control(&message, info);
  return true;
}

}  // namespace

bool request_arrival_details(SOCKET s, int family, bool* drops_counted) {
  *drops_counted = false;  // Winsock has no counter of the datagrams it dropped
  const DWORD on = 1;
  const char* value = reinterpret_cast<const char*>(&on);
  if (recvmsg_function(s) == nullptr) return false;
  if (family == AF_INET6) {
    // IPv4 datagrams on a dual-stack socket report IP_PKTINFO, IPv6 ones IPV6_PKTINFO.
    if (setsockopt(s, IPPROTO_IPV6, IPV6_PKTINFO, value, sizeof on) == SOCKET_ERROR) return false;
  }
  return setsockopt(s, IPPROTO_IP, IP_PKTINFO, value, sizeof on) != SOCKET_ERROR;
}

bool receive_datagram(SOCKET s, void* buffer, int size, bool details, ReceivedDatagram* info) {
  if (buffer == nullptr || size < 0 || info == nullptr) {
    WSASetLastError(WSAEINVAL);
    return false;
  }
  // The plain listener runs on Winsock 1.1, which has no WSARecvMsg: recvfrom serves it.
  if (details) return receive_with_details(s, buffer, size, info);
  sockaddr_storage from;
  std::memset(&from, 0, sizeof from);
  int from_length = sizeof from;
  int n = recvfrom(s, static_cast<char*>(buffer), size, 0, reinterpret_cast<sockaddr*>(&from), &from_length);
  bool truncated = false;
  if (n == SOCKET_ERROR) {
    // Winsock fills the buffer with the first bytes of a datagram that is too large, drops
    // the rest and reports WSAEMSGSIZE; the datagram itself was received.
    if (WSAGetLastError() != WSAEMSGSIZE) return false;
    n = size;
    truncated = true;
  }
  *info = ReceivedDatagram{};
  info->stored = n;
  // Winsock does not tell the real length of a datagram it cut.
  info->length = n;
  info->truncated = truncated;
  set_sender(from, from_length, &info->sender, &info->sender_port);
  return true;
}

// Winsock keeps no count of the datagrams it dropped.
bool read_receive_drops(SOCKET, std::uint32_t*) { return false; }

int enlarge_receive_buffer(SOCKET s, int bytes) {
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
  int size = 0;
  int length = sizeof size;
  if (getsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length) != 0) return 0;
  return size;
}

}  // namespace platform
