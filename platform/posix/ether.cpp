// Linux raw Ethernet frames: a packet socket of the datagram kind, so the kernel writes the header.
#include "platform/ether.h"

#include <cerrno>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>

namespace platform {

EtherOpen open_ether_socket(SOCKET* out) {
  // Protocol 0: the socket is bound to no EtherType, so nothing received queues up on it; each
  // frame names its own type when it is sent.
  *out = socket(AF_PACKET, SOCK_DGRAM, 0);
  if (*out != INVALID_SOCKET) return EtherOpen::kOpened;
  if (errno == EPERM || errno == EACCES) return EtherOpen::kNoPermission;
  if (errno == EAFNOSUPPORT) return EtherOpen::kUnsupported;
  return EtherOpen::kFailed;
}

bool send_ether_frame(SOCKET s, unsigned interface_index, const std::uint8_t destination[6],
                      std::uint16_t ether_type, const std::uint8_t* payload, std::size_t length) {
  sockaddr_ll link;
  std::memset(&link, 0, sizeof link);
  link.sll_family = AF_PACKET;
  link.sll_protocol = htons(ether_type);
  link.sll_ifindex = static_cast<int>(interface_index);
  link.sll_halen = ETH_ALEN;
  std::memcpy(link.sll_addr, destination, ETH_ALEN);
  const ssize_t sent = sendto(s, payload, length, 0, reinterpret_cast<const sockaddr*>(&link), sizeof link);
  return sent >= 0 && static_cast<std::size_t>(sent) == length;
}

}  // namespace platform
