// Texts for people from Winsock error codes and system error codes.
#include "sender/error_text.h"

#include <cstdio>
#include <cstring>

#include "platform/system.h"
#include "sender/program.h"

namespace {

struct WinsockText {
  std::uint32_t code;
  const char* text;
};

// Ascending by code; the wording is the product's own and is kept exactly as it stands.
constexpr WinsockText kWinsockTexts[] = {
    {10004, "The (blocking) call was canceled via WSACancelBlockingCall"},
    {10009, "Bad file handle"},
    {10013, "The requested address is a broadcast address, but the appropriate flag was not set"},
    {10014, "WSAEFAULT"},
    {10022, "WSAEINVAL"},
    {10024, "No more file descriptors available"},
    {10035, "Socket is marked as non-blocking and no connections are present or the receive operation would block"},
    {10036, "A blocking Windows Sockets operation is in progress"},
    {10037, "The asynchronous routine being canceled has already completed"},
    {10038, "At least one descriptor is not a socket"},
    {10039, "A destination address is required"},
    {10040, "The datagram was too large to fit into the specified buffer and was truncated"},
    {10041, "The specified protocol is the wrong type for this socket"},
    {10042, "The option is unknown or unsupported"},
    {10043, "The specified protocol is not supported"},
    {10044, "The specified socket type is not supported by this address family"},
    {10045, "The referenced socket is not a type that supports that operation"},
    {10046, "BSD: Protocol family not supported"},
    {10047, "The specified address family is not supported"},
    {10048, "The specified address is already in use"},
    {10049, "The specified address is not available from the local machine"},
    {10050, "The Windows Sockets implementation has detected that the network subsystem has failed"},
    {10051, "The network can't be reached from this hos at this time"},
    {10052, "The connection must be reset because the Windows Sockets implementation dropped it"},
    {10053, "The virtual circuit was aborted due to timeout or other failure"},
    {10054, "The virtual circuit was reset by the remote side"},
    {10055, "No buffer space is available or a buffer deadlock has occured. The socket cannot be created"},
    {10056, "The socket is already connected"},
    {10057, "The socket is not connected"},
    {10058, "The socket has been shutdown"},
    {10059, "BSD: Too many references"},
    {10060, "Attempt to connect timed out without establishing a connection"},
    {10061, "The attempt to connect was forcefully rejected"},
    {10062, "WSAELOOP"},
    {10063, "WSAENAMETTOLONG"},
    {10064, "WSAEHOSTDOWN"},
    {10065, "No route to host"},
    {10066, "WSAENOTEMPTY"},
    {10067, "WSAEPROCLIM"},
    {10068, "WSAEUSERS"},
    {10069, "WSAEDQOUT"},
    {10070, "WSAESTALE"},
    {10071, "WSAEREMOTE"},
    {10091, "Underlying network subsytem is not ready for network communication"},
    {10092, "The version of WinSock API support requested is not provided in this implementation"},
    {10093, "WinSock subsystem not properly initialized"},
    {10101, "Virtual circuit has gracefully terminated connection"},
    {11005, "One or more RESV message has arrived"},
    {11006, "One or more PATH message has arrived"},
    {11007, "There are no senders"},
    {11008, "WSA_QOS_NO_RECEIVERS  There are no receivers"},
    {11009, "Reservation has been confirmed"},
    {11010, "Error due to lack of resources"},
    {11011, "Rejected for administrative reasons"},
    {11012, "Unknown or conflicting style"},
    {11013, "Problem with some part of the FLOWSPEC"},
    {11014, "Problem with some part of the filter specification"},
    {11015, "WSA_QOS_GENERIC_ERROR General error"},
};

constexpr char kUnknownWinsockFormat[] = "WSAerr=%d";
constexpr char kNoSystemTextFormat[] = "Error 0x%08lx";
constexpr unsigned long kSocketErrorPauseMs = 20;

}  // namespace

const char* WinsockErrorText(std::uint32_t code) {
  if (code == 0) code = static_cast<std::uint32_t>(platform::last_socket_error());
  for (const WinsockText& row : kWinsockTexts) {
    if (row.code == code) return row.text;
  }
  char* text = g_program.error_texts.unknown_winsock;
  std::snprintf(text, kUnknownWinsockTextRoom, kUnknownWinsockFormat,
                static_cast<int>(static_cast<std::int32_t>(code)));
  return text;
}

int GetSocketError(SOCKET s) {
  if (s == 0) return kNoSocketGiven;
  platform::sleep_ms(kSocketErrorPauseMs);
  int pending = 0;
  socklen_t length = sizeof pending;
  getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length);
  return platform::socket_error_code(pending);
}

const char* SocketErrorText(SOCKET s) {
  int code = s != 0 ? GetSocketError(s) : 0;
  return WinsockErrorText(static_cast<std::uint32_t>(code));
}

char* CleanSystemText(const char* text, char* out, std::size_t room) {
  if (room == 0) return out;
  std::size_t copied = 0;
  for (std::size_t i = 0; text[i] != '\0' && copied + 1 < room; ++i) {
    if (text[i] == '\r' || text[i] == '\n') continue;
    out[copied++] = text[i];
  }
  out[copied] = '\0';
  return out;
}

const char* SystemErrorText(std::uint32_t code) {
  if (code == 0) code = static_cast<std::uint32_t>(platform::last_error());
  char* result = g_program.error_texts.system;
  char* text = platform::system_message_alloc(code);
  if (text == nullptr) {
    std::snprintf(result, kSystemTextRoom, kNoSystemTextFormat, static_cast<unsigned long>(code));
    return result;
  }
  CleanSystemText(text, result, kSystemTextRoom);
  platform::free_system_message(text);
  return result;
}
