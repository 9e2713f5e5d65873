// Winsock start-up, clean-up and the last socket error: the native calls.
#include "platform/sockets.h"

#include <ws2ipdef.h>

namespace platform {

bool socket_startup(int major, int minor) {
  WSADATA data;
  return WSAStartup(MAKEWORD(major, minor), &data) == 0;
}

void socket_cleanup() { WSACleanup(); }

bool pin_socket_to_interface(SOCKET s, int family, unsigned interface_index) {
  if (family == AF_INET6) {
    const DWORD index = interface_index;
    const char* value = reinterpret_cast<const char*>(&index);
    return setsockopt(s, IPPROTO_IPV6, IPV6_UNICAST_IF, value, sizeof index) == 0 &&
           setsockopt(s, IPPROTO_IPV6, IPV6_MULTICAST_IF, value, sizeof index) == 0;
  }
  // IPv4 takes the index in network byte order; as a multicast interface, an "address" whose
  // first byte is 0 is read as an index.
  const DWORD index = htonl(interface_index);
  const char* value = reinterpret_cast<const char*>(&index);
  return setsockopt(s, IPPROTO_IP, IP_UNICAST_IF, value, sizeof index) == 0 &&
         setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, value, sizeof index) == 0;
}

int last_socket_error() { return WSAGetLastError(); }

void set_last_socket_error(int code) { WSASetLastError(code); }

// SO_ERROR already speaks Winsock codes here.
int socket_error_code(int pending_error) { return pending_error; }

}  // namespace platform
