// Texts for people from Winsock error codes and system error codes.
//
// GetSocketError and SocketErrorText have no caller in the programs; they belong to the
// module's interface all the same and are kept and tested.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sockets.h"

// Room of the unknown-code buffer and of the system text buffer (terminator included).
constexpr std::size_t kUnknownWinsockTextRoom = 20;
constexpr std::size_t kSystemTextRoom = 1024;

// GetSocketError's answer when no socket is given.
constexpr int kNoSocketGiven = -2;

// The buffers of the texts: one each, which every call that writes it overwrites. Kept in the
// program record.
struct ErrorTexts {
  char unknown_winsock[kUnknownWinsockTextRoom];  // "WSAerr=%d"
  char system[kSystemTextRoom];                   // SystemErrorText's result
};

// The fixed text of a Winsock code; for a code without one, "WSAerr=%d" in one static buffer
// that every such call overwrites. Code 0 stands for the calling thread's last socket error.
const char* WinsockErrorText(std::uint32_t code);

// The pending error (SO_ERROR) of a socket in Winsock numbering, read after a pause of 20 ms;
// 0 when it has none or the read fails; -2 at once when no socket (0) is given.
int GetSocketError(SOCKET s);

// WinsockErrorText of the socket's pending error; of the last socket error when the socket is
// 0 or has no pending error.
const char* SocketErrorText(SOCKET s);

// The system's message text of a code on one line, in one static buffer that every call
// overwrites; "Error 0x%08lx" when the system has none. Code 0 stands for the last error.
const char* SystemErrorText(std::uint32_t code);

// The clean-up of a system text (the platform gives it without its final line end): every CR
// and LF left out, so that the lines are joined with nothing between them, at most room - 1
// characters kept and a terminator written. Returns `out`.
char* CleanSystemText(const char* text, char* out, std::size_t room);
