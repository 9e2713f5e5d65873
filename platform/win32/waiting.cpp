// Windows waiting: select in short slices, watching a flag that the console control handler sets.
#include "platform/waiting.h"

#include <windows.h>

namespace platform {

namespace {

volatile LONG g_stop_requested = 0;

// The console calls this on a thread of its own; returning TRUE keeps the process alive.
BOOL WINAPI record_stop(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
    InterlockedExchange(&g_stop_requested, 1);
    return TRUE;
  }
  return FALSE;
}

// How long one select waits before the flag is looked at again.
constexpr int kSliceMs = 100;

}  // namespace

void catch_stop_requests() { SetConsoleCtrlHandler(record_stop, TRUE); }

// The exit code of a console process that Ctrl-C ends.
void end_as_stopped() { ExitProcess(STATUS_CONTROL_C_EXIT); }

int wait_readable(SOCKET s, int timeout_ms) {
  if (g_stop_requested != 0) return kWaitStopped;
  int slice = timeout_ms < 0 || timeout_ms > kSliceMs ? kSliceMs : timeout_ms;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval limit{slice / 1000, (slice % 1000) * 1000};
  int n = select(0, &readable, nullptr, nullptr, &limit);
  if (g_stop_requested != 0) return kWaitStopped;
  if (n > 0) return kWaitReady;
  if (n == 0) return kWaitTimedOut;
  return kWaitFailed;
}

}  // namespace platform
