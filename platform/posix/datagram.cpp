// POSIX datagram receive: recvfrom with MSG_TRUNC for the real length; a receive queue enlarged past rmem_max where allowed.
#include "platform/datagram.h"

#include <cerrno>
#include <cstring>

namespace platform {

bool receive_datagram(SOCKET s, void* buffer, int size, DatagramInfo* info) {
  if (buffer == nullptr || size < 0 || info == nullptr) {
    errno = EINVAL;
    return false;
  }
  for (;;) {
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    // With MSG_TRUNC a datagram socket returns the real length even when it exceeds `size`.
    ssize_t n = recvfrom(s, buffer, static_cast<std::size_t>(size), MSG_TRUNC,
                         reinterpret_cast<sockaddr*>(&from), &from_length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    info->length = n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
    info->truncated = n > size;
    info->stored = info->truncated ? size : static_cast<int>(n);
    if (from.sin_family == AF_INET && from_length >= sizeof from) {
      info->sender_address = from.sin_addr.s_addr;
      info->sender_port = ntohs(from.sin_port);
    } else {
      info->sender_address = 0;
      info->sender_port = 0;
    }
    return true;
  }
}

int enlarge_receive_buffer(SOCKET s, int bytes) {
  // SO_RCVBUFFORCE passes over net.core.rmem_max where the process may (CAP_NET_ADMIN);
  // otherwise SO_RCVBUF gives as much as that limit allows.
  if (setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  }
  int size = 0;
  socklen_t length = sizeof size;
  if (getsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, &length) != 0) return 0;
  return size;
}

}  // namespace platform
