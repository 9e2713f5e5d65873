// POSIX waiting: ppoll with SIGINT and SIGTERM blocked except inside the wait, so no request slips past.
#include "platform/waiting.h"

#include <poll.h>
#include <signal.h>

#include <cerrno>
#include <ctime>

namespace platform {

namespace {

volatile sig_atomic_t g_stop_signal = 0;
bool g_catching = false;
sigset_t g_wait_mask;   // the mask in force inside the wait: the stop signals let through

void record_stop(int signal_number) { g_stop_signal = signal_number; }

}  // namespace

void catch_stop_requests() {
  // Blocked everywhere but in ppoll: a request that comes while a datagram is being
  // handled waits for the next ppoll, which then returns at once.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_BLOCK, &stops, &g_wait_mask);
  sigdelset(&g_wait_mask, SIGINT);
  sigdelset(&g_wait_mask, SIGTERM);
  struct sigaction action {};
  action.sa_handler = record_stop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  g_catching = true;
}

void end_as_stopped() {
  int signal_number = g_stop_signal != 0 ? static_cast<int>(g_stop_signal) : SIGTERM;
  signal(signal_number, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal_number);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal_number);
}

int wait_readable(SOCKET s, int timeout_ms) {
  if (g_stop_signal != 0) return kWaitStopped;
  pollfd entry{s, POLLIN, 0};
  timespec limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
  int n = ppoll(&entry, 1, timeout_ms < 0 ? nullptr : &limit, g_catching ? &g_wait_mask : nullptr);
  if (g_stop_signal != 0) return kWaitStopped;
  if (n > 0) return kWaitReady;
  if (n == 0 || errno == EINTR) return kWaitTimedOut;
  return kWaitFailed;
}

}  // namespace platform
