// Socket compatibility: BSD sockets under their Winsock names, last error in Winsock numbering.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
typedef int SOCKET;
#ifndef INVALID_SOCKET
#define INVALID_SOCKET (-1)
#endif
#ifndef SOCKET_ERROR
#define SOCKET_ERROR (-1)
#endif
#ifndef SD_RECEIVE
#define SD_RECEIVE SHUT_RD
#endif
inline int closesocket(SOCKET s) { return ::close(s); }
#endif

namespace platform {

#ifndef _WIN32
// On POSIX a Winsock code set by the layer itself travels in errno (the one last-error store)
// at the top of the int range, above every errno value and every status code the layer sets,
// so that last_socket_error and last_error give it back unchanged.
constexpr int kWinsockCodeInErrno = 0x7FFF0000;
#endif

// Winsock start-up with the requested version; nothing to do on POSIX.
bool socket_startup(int major, int minor);
void socket_cleanup();

// The calling thread's last socket error, in Winsock numbering on every platform
// (WSAGetLastError; on POSIX errno mapped onto the Winsock codes).
int last_socket_error();
void set_last_socket_error(int code);

// Pins the way out of UDP socket `s` (AF_INET or AF_INET6, given in `family`) to the interface
// with index `interface_index`, for unicast, broadcast and multicast destinations alike, so that
// routing cannot pick another one (IP_UNICAST_IF and the multicast interface; unprivileged on
// both platforms). A limited broadcast then leaves there even on a host without a default
// route. False with the last socket error set when the system refuses it.
bool pin_socket_to_interface(SOCKET s, int family, unsigned interface_index);

// The Winsock code of a socket's pending error as SO_ERROR reports it: Winsock's own code on
// Windows; on POSIX an errno value, mapped as the last socket error is (values without a
// Winsock counterpart become 20000 + errno, which no Winsock code uses).
int socket_error_code(int pending_error);

}  // namespace platform
