// Windows has no raw Ethernet frames for a user program: the service reports that it is missing.
#include "platform/ether.h"

namespace platform {

EtherOpen open_ether_socket(SOCKET* out) {
  *out = INVALID_SOCKET;
  return EtherOpen::kUnsupported;
}

bool send_ether_frame(SOCKET, unsigned, const std::uint8_t*, std::uint16_t, const std::uint8_t*,
                      std::size_t) {
  WSASetLastError(WSAEAFNOSUPPORT);
  return false;
}

}  // namespace platform
