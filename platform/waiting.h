// Waiting for input, bounded in time, and ended early by a stop request (Ctrl-C, SIGTERM) or by a time that is up, whatever call blocks.
#pragma once

#include <cstdint>

#include "platform/sockets.h"

namespace platform {

// From this call on, an interrupt or termination request (SIGINT, SIGTERM; the console's
// Ctrl-C, Ctrl-Break and close) no longer ends the process: it is recorded, and every call of
// the process that blocks (a wait below, a read, a write, the open of a FIFO) returns early,
// now and until the process ends, so that the program can end its own way.
void catch_stop_requests();

// Whether a stop request came (after catch_stop_requests).
bool stop_requested();

// Ends the process as the recorded stop request would have ended it had it not been caught
// (on POSIX the signal's default action, so that the parent sees the signal).
void end_as_stopped();

// Bounds the blocking calls from now on: `timeout_ms` milliseconds from now the time is up,
// and from then every blocking call of the process returns early (a read or a write with a
// failure; on Windows only reads and writes of files and pipes), again and again until the
// process ends. A later call sets a new time in place of this one.
void interrupt_blocking_calls_after(std::int64_t timeout_ms);

// Whether the time set by interrupt_blocking_calls_after is up.
bool time_is_up();

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
