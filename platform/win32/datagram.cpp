// Windows datagram receive: recvfrom, an oversized datagram (WSAEMSGSIZE) kept as a truncated one; SO_RCVBUF.
#include "platform/datagram.h"

#include <cstring>

namespace platform {

bool receive_datagram(SOCKET s, void* buffer, int size, DatagramInfo* info) {
  sockaddr_in from;
  std::memset(&from, 0, sizeof from);
  int from_length = sizeof from;
  int n = recvfrom(s, static_cast<char*>(buffer), size, 0, reinterpret_cast<sockaddr*>(&from),
                   &from_length);
  bool truncated = false;
  if (n == SOCKET_ERROR) {
    // Winsock fills the buffer with the first bytes of a datagram that is too large, drops
    // the rest and reports WSAEMSGSIZE; the datagram itself was received.
    if (WSAGetLastError() != WSAEMSGSIZE) return false;
    n = size;
    truncated = true;
  }
  if (info != nullptr) {
    info->stored = n;
    // Winsock does not tell the real length of a datagram it cut.
    info->length = n;
    info->truncated = truncated;
    info->sender_address = from.sin_addr.s_addr;
    info->sender_port = ntohs(from.sin_port);
  }
  return true;
}

int enlarge_receive_buffer(SOCKET s, int bytes) {
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
  int size = 0;
  int length = sizeof size;
  if (getsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length) != 0) return 0;
  return size;
}

}  // namespace platform
