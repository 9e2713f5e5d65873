// Windows host-name lookup: gethostbyname, first IPv4 address.
#include "platform/host.h"

#include <cstring>

#include "platform/sockets.h"

namespace platform {

bool lookup_host_ipv4(const char* name, std::uint32_t* address) {
  if (name == nullptr || address == nullptr) return false;
  hostent* host = gethostbyname(name);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 ||
      host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr) {
    return false;
  }
  std::memcpy(address, host->h_addr_list[0], 4);
  return true;
}

}  // namespace platform
