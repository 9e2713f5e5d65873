// Waiting for input, bounded in time and ended early by a stop request (Ctrl-C, SIGTERM) the program catches.
#pragma once

#include "platform/sockets.h"

namespace platform {

// From this call on, an interrupt or termination request (SIGINT, SIGTERM; the console's
// Ctrl-C, Ctrl-Break and close) no longer ends the process: it is recorded, and the wait
// below returns kWaitStopped, so that the program can end its own way.
void catch_stop_requests();

// Ends the process as the recorded stop request would have ended it had it not been caught
// (on POSIX the signal's default action, so that the parent sees the signal).
void end_as_stopped();

// Results of wait_readable.
constexpr int kWaitReady = 1;
constexpr int kWaitTimedOut = 0;
constexpr int kWaitStopped = -1;
constexpr int kWaitFailed = -2;   // last socket error set

// Waits until `s` (a socket, or on POSIX any file descriptor) has input, at most
// `timeout_ms` milliseconds (negative: without limit). A wait may also end early with
// kWaitTimedOut; the caller keeps its own deadline.
int wait_readable(SOCKET s, int timeout_ms);

}  // namespace platform
