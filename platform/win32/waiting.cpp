// Windows waiting: select in short slices, watching flags that the console control handler and a timer set; a blocked read or write of the main thread is cancelled.
#include "platform/waiting.h"

#include <windows.h>

namespace platform {

namespace {

volatile LONG g_stop_requested = 0;
volatile LONG g_time_up = 0;
HANDLE g_main_thread = nullptr;   // the thread whose blocking calls are cancelled
HANDLE g_timer = nullptr;

// How long one select waits before the flags are looked at again, and how often a blocked
// call of the main thread is cancelled once a stop came or the time is up: a cancel reaches
// only a call that is already blocked, so it is repeated for one that was about to start.
constexpr int kSliceMs = 100;
constexpr DWORD kTickMs = 20;
constexpr DWORD kLongestTimerMs = 0xFFFFFFFEu;

void CALLBACK cancel_main_io(PVOID, BOOLEAN) {
  if (g_stop_requested == 0) InterlockedExchange(&g_time_up, 1);
  if (g_main_thread != nullptr) CancelSynchronousIo(g_main_thread);
}

// Called on the main thread: the handle the cancels name.
void remember_main_thread() {
  if (g_main_thread != nullptr) return;
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_main_thread, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
}

// The first cancel in `first_ms`, then every tick, in place of any earlier timer.
void arm(DWORD first_ms) {
  HANDLE previous = reinterpret_cast<HANDLE>(InterlockedExchangePointer(reinterpret_cast<PVOID*>(&g_timer), nullptr));
  if (previous != nullptr) DeleteTimerQueueTimer(nullptr, previous, nullptr);
  HANDLE timer = nullptr;
  if (CreateTimerQueueTimer(&timer, nullptr, cancel_main_io, nullptr, first_ms, kTickMs, WT_EXECUTEDEFAULT)) {
    InterlockedExchangePointer(reinterpret_cast<PVOID*>(&g_timer), timer);
  }
}

// The console calls this on a thread of its own; returning TRUE keeps the process alive.
BOOL WINAPI record_stop(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
    InterlockedExchange(&g_stop_requested, 1);
    arm(0);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void catch_stop_requests() {
  remember_main_thread();
  SetConsoleCtrlHandler(record_stop, TRUE);
}

bool stop_requested() { return g_stop_requested != 0; }

// The exit code of a console process that Ctrl-C ends.
void end_as_stopped() { ExitProcess(STATUS_CONTROL_C_EXIT); }

void interrupt_blocking_calls_after(std::int64_t timeout_ms) {
  remember_main_thread();
  InterlockedExchange(&g_time_up, 0);
  // A timer reaches 49 days at most; a longer time is kept by the waits' own deadlines alone.
  if (timeout_ms >= static_cast<std::int64_t>(kLongestTimerMs)) return;
  arm(timeout_ms < 0 ? 0 : static_cast<DWORD>(timeout_ms));
}

bool time_is_up() { return g_time_up != 0; }

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
