// POSIX sockets under Winsock conventions: no start-up, errno mapped onto Winsock codes.
#include "platform/sockets.h"

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {

int winsock_code_from_errno(int error) {
  switch (error) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10038;       // a closed or never opened socket is "not a socket"
    case EACCES: return 10013;
    case EPERM: return 10013;       // sendto a broadcast address without SO_BROADCAST on some stacks
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case ENFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return 20000 + error;
  }
}

}  // namespace

bool socket_startup(int, int) { return true; }

bool pin_socket_to_interface(SOCKET s, int family, unsigned interface_index) {
  const int index = static_cast<int>(interface_index);
  if (family == AF_INET6) {
    return setsockopt(s, IPPROTO_IPV6, IPV6_UNICAST_IF, &index, sizeof index) == 0 &&
           setsockopt(s, IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof index) == 0;
  }
  // The IPv4 option takes the index in network byte order, as Windows' does.
  const std::uint32_t network_index = htonl(interface_index);
  ip_mreqn multicast{};
  multicast.imr_ifindex = index;
  return setsockopt(s, IPPROTO_IP, IP_UNICAST_IF, &network_index, sizeof network_index) == 0 &&
         setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &multicast, sizeof multicast) == 0;
}

void socket_cleanup() {}

int socket_error_code(int pending_error) { return winsock_code_from_errno(pending_error); }

int last_socket_error() {
  int error = errno;
  if (error >= kWinsockCodeInErrno) return error - kWinsockCodeInErrno;
  return winsock_code_from_errno(error);
}

void set_last_socket_error(int code) { errno = code == 0 ? 0 : kWinsockCodeInErrno + code; }

}  // namespace platform
