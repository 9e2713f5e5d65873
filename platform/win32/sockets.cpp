// Winsock start-up, clean-up and the last socket error: the native calls.
#include "platform/sockets.h"

#include <cerrno>

namespace platform {

bool socket_startup(int major, int minor) {
  WSADATA data;
  return WSAStartup(MAKEWORD(major, minor), &data) == 0;
}

void socket_cleanup() { WSACleanup(); }

int last_socket_error() { return WSAGetLastError(); }

void set_last_socket_error(int code) { WSASetLastError(code); }

// Windows has no errno-numbered socket errors of its own; the table is shared with POSIX so
// that code handling C library errors maps them the same way on both.
int winsock_code_from_errno(int error) {
  switch (error) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10038;
    case EACCES: return 10013;
    case EPERM: return 10013;
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
    case EOPNOTSUPP: return 10045;
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
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return 20000 + error;
  }
}

}  // namespace platform
