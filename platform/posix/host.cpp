// POSIX host-name lookup: getaddrinfo for IPv4, the first address it gives.
#include "platform/host.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/sockets.h"

namespace platform {

namespace {

// getaddrinfo's failures under the Winsock codes gethostbyname reports.
int winsock_code_from_eai(int error) {
  switch (error) {
    case EAI_NONAME: return 11001;  // WSAHOST_NOT_FOUND
    case EAI_AGAIN: return 11002;   // WSATRY_AGAIN
    case EAI_FAIL: return 11003;    // WSANO_RECOVERY
    case EAI_MEMORY: return 10055;  // WSAENOBUFS
    default: return 11004;          // WSANO_DATA: no IPv4 address for the name
  }
}

}  // namespace

bool lookup_host_ipv4(const char* name, std::uint32_t* address) {
  if (name == nullptr || address == nullptr) {
    errno = EINVAL;  // reported as WSAEINVAL
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  // One socket type, so that every address is listed once.
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  int rc = getaddrinfo(name, nullptr, &hints, &list);
  if (rc != 0 || list == nullptr) {
    set_last_socket_error(winsock_code_from_eai(rc));
    return false;
  }
  bool found = false;
  for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr != nullptr &&
        a->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in in;
      std::memcpy(&in, a->ai_addr, sizeof in);
      *address = in.sin_addr.s_addr;
      found = true;
      break;
    }
  }
  freeaddrinfo(list);
  if (!found) set_last_socket_error(11004);
  return found;
}

}  // namespace platform
