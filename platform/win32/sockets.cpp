// Winsock start-up, clean-up and the last socket error: the native calls.
#include "platform/sockets.h"

namespace platform {

bool socket_startup(int major, int minor) {
  WSADATA data;
  return WSAStartup(MAKEWORD(major, minor), &data) == 0;
}

void socket_cleanup() { WSACleanup(); }

int last_socket_error() { return WSAGetLastError(); }

void set_last_socket_error(int code) { WSASetLastError(code); }

// SO_ERROR already speaks Winsock codes here.
int socket_error_code(int pending_error) { return pending_error; }

}  // namespace platform
