// POSIX waiting: stop signals and a timer caught without SA_RESTART, so that a blocking call returns EINTR; after a stop or the time, the timer repeats, so that none slips past.
#include "platform/waiting.h"

#include <poll.h>
#include <signal.h>
#include <time.h>

#include <cerrno>

namespace platform {

namespace {

volatile sig_atomic_t g_stop_signal = 0;
volatile sig_atomic_t g_time_up = 0;
bool g_timer_made = false;
timer_t g_timer;

// How often the timer interrupts once a stop came or the time is up. A signal interrupts only
// a call that is already blocked; one that a request just missed (it came between the check of
// the flag and the call) is interrupted by the next tick.
constexpr long kTickNs = 20L * 1000 * 1000;

// Neither handler asks for SA_RESTART: the call the signal interrupts fails with EINTR instead
// of blocking again.
void install(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(signal_number, &action, nullptr);
}

// The first expiry in `first_ns`, then every tick. timer_settime may be called from a signal
// handler.
void arm(long long first_ns) {
  if (!g_timer_made) return;
  if (first_ns <= 0) first_ns = 1;
  itimerspec value{};
  value.it_interval.tv_nsec = kTickNs;
  value.it_value.tv_sec = static_cast<time_t>(first_ns / 1000000000LL);
  value.it_value.tv_nsec = static_cast<long>(first_ns % 1000000000LL);
  timer_settime(g_timer, 0, &value, nullptr);
}

void record_stop(int signal_number) {
  g_stop_signal = signal_number;
  arm(kTickNs);
}

// After a stop request the ticks only interrupt: the time is not up.
void record_tick(int) {
  if (g_stop_signal == 0) g_time_up = 1;
}

// A timer of the monotonic clock that raises SIGALRM, made once.
void make_timer() {
  if (g_timer_made) return;
  install(SIGALRM, record_tick);
  sigevent event{};
  event.sigev_notify = SIGEV_SIGNAL;
  event.sigev_signo = SIGALRM;
  g_timer_made = timer_create(CLOCK_MONOTONIC, &event, &g_timer) == 0;
}

}  // namespace

void catch_stop_requests() {
  make_timer();
  install(SIGINT, record_stop);
  install(SIGTERM, record_stop);
}

bool stop_requested() { return g_stop_signal != 0; }

void end_as_stopped() {
  int signal_number = g_stop_signal != 0 ? static_cast<int>(g_stop_signal) : SIGTERM;
  signal(signal_number, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal_number);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal_number);
}

void interrupt_blocking_calls_after(std::int64_t timeout_ms) {
  make_timer();
  g_time_up = 0;
  arm(static_cast<long long>(timeout_ms) * 1000000LL);
}

bool time_is_up() { return g_time_up != 0; }

int wait_readable(SOCKET s, int timeout_ms) {
  if (g_stop_signal != 0) return kWaitStopped;
  pollfd entry{s, POLLIN, 0};
  int n = poll(&entry, 1, timeout_ms < 0 ? -1 : timeout_ms);
  if (g_stop_signal != 0) return kWaitStopped;
  if (n > 0) return kWaitReady;
  if (n == 0 || errno == EINTR) return kWaitTimedOut;
  return kWaitFailed;
}

}  // namespace platform
