// POSIX datagram receive: recvmsg with MSG_TRUNC for the real length, IP_PKTINFO / IPV6_PKTINFO, the SO_RXQ_OVFL drop counter and SO_MEMINFO's total.
#include "platform/datagram.h"

#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/socket_address.h"

namespace platform {

namespace {

// The control messages the socket options asked for.
void read_control(msghdr* message, ReceivedDatagram* info) {
  for (cmsghdr* c = CMSG_FIRSTHDR(message); c != nullptr; c = CMSG_NXTHDR(message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      in_pktinfo pktinfo;
      std::memcpy(&pktinfo, CMSG_DATA(c), sizeof pktinfo);
      // ipi_addr is the header's destination; ipi_spec_dst the local address a reply would use.
      set_ipv4_address(&pktinfo.ipi_addr, &info->destination);
      info->interface_index = static_cast<unsigned>(pktinfo.ipi_ifindex);
    } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
      in6_pktinfo pktinfo;
      std::memcpy(&pktinfo, CMSG_DATA(c), sizeof pktinfo);
      set_ipv6_address(pktinfo.ipi6_addr, &info->destination);
      info->interface_index = pktinfo.ipi6_ifindex;
    } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
      // Sent only once the count is not zero, and only with a datagram that was delivered.
      std::memcpy(&info->drops, CMSG_DATA(c), sizeof info->drops);
    }
  }
}

}  // namespace

bool request_arrival_details(SOCKET s, int family, bool* drops_counted) {
  const int on = 1;
  // The drop counter is an extra; a kernel without it leaves the count "not known".
  *drops_counted = setsockopt(s, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) == 0;
  if (family == AF_INET6) {
    // IPv4 datagrams on a dual-stack socket report IP_PKTINFO, IPv6 ones IPV6_PKTINFO.
    if (setsockopt(s, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) != 0) return false;
  }
  return setsockopt(s, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0;
}

bool receive_datagram(SOCKET s, void* buffer, int size, bool details, ReceivedDatagram* info) {
  if (buffer == nullptr || size < 0 || info == nullptr) {
    errno = EINVAL;
    return false;
  }
  for (;;) {
    sockaddr_storage from{};
    iovec part{buffer, static_cast<std::size_t>(size)};
    // Room for both packet-information messages and the drop counter.
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in6_pktinfo)) + CMSG_SPACE(sizeof(in_pktinfo)) +
                                           CMSG_SPACE(sizeof(std::uint32_t))];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (details) {
      message.msg_control = control;
      message.msg_controllen = sizeof control;
    }
    // With MSG_TRUNC a datagram socket returns the real length even when it exceeds `size`.
    ssize_t n = recvmsg(s, &message, MSG_TRUNC);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    *info = ReceivedDatagram{};
    info->length = n > INT_MAX ? INT_MAX : static_cast<int>(n);
    info->truncated = n > size;
    info->stored = info->truncated ? size : static_cast<int>(n);
    set_sender(from, static_cast<long>(message.msg_namelen), &info->sender, &info->sender_port);
    if (details) read_control(&message, info);
    return true;
  }
}

bool read_receive_drops(SOCKET s, std::uint32_t* drops) {
  // The socket's memory counters; the drop count is the one /proc/net/udp shows.
  std::uint32_t counters[SK_MEMINFO_VARS] = {};
  socklen_t length = sizeof counters;
  if (getsockopt(s, SOL_SOCKET, SO_MEMINFO, counters, &length) != 0 ||
      length < (SK_MEMINFO_DROPS + 1) * sizeof counters[0]) {
    return false;
  }
  *drops = counters[SK_MEMINFO_DROPS];
  return true;
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
