// The datagram receive call: a signal during the wait is not a failure, the receive goes on.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "platform/datagram.h"

namespace {

std::atomic<int> g_signals{0};
void CountSignal(int) { g_signals.fetch_add(1); }

// Whether thread `tid` of this process sits blocked in the receive call now: the kernel names
// the system call a sleeping thread is in (its number first) in /proc/self/task/TID/syscall.
bool BlockedInReceive(pid_t tid) {
  std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  return static_cast<bool>(file >> number) && number == SYS_recvmsg;
}

// Polls `condition` for at most five seconds.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(ReceiveDatagram, SignalDuringTheWaitIsRetried) {
  // A handler without SA_RESTART makes a blocked receive return EINTR.
  struct sigaction action {}, previous{};
  action.sa_handler = CountSignal;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof to;
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  getsockname(s, reinterpret_cast<sockaddr*>(&to), &length);

  std::atomic<pid_t> waiter_tid{0};
  std::atomic<bool> done{false};
  bool received = false;
  platform::ReceivedDatagram info{};
  std::thread waiter([&] {
    waiter_tid = static_cast<pid_t>(syscall(SYS_gettid));
    char buffer[1500];
    received = platform::receive_datagram(s, buffer, sizeof buffer, false, &info);
    done = true;
  });
  // Each signal reaches the receive while it is seen blocked; the receive must be seen
  // blocked in the receive again afterwards, not ended.
  ASSERT_TRUE(Eventually([&] { return waiter_tid != 0; }));
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(Eventually([&] { return done || BlockedInReceive(waiter_tid); })) << "signal " << i;
    ASSERT_FALSE(done) << "the receive ended before signal " << i;
    pthread_kill(waiter.native_handle(), SIGUSR1);
    ASSERT_TRUE(Eventually([&] { return g_signals.load() >= i; }));
  }
  ASSERT_TRUE(Eventually([&] { return done || BlockedInReceive(waiter_tid); }));
  EXPECT_FALSE(done) << "the receive ended after a signal";
  const char data[28] = {};
  sendto(s, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  waiter.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_TRUE(received);
  EXPECT_EQ(info.length, 28);
  const unsigned char loopback[4] = {127, 0, 0, 1};
  EXPECT_EQ(info.sender.family, 4);
  EXPECT_EQ(std::memcmp(info.sender.bytes, loopback, 4), 0);
  closesocket(s);
}

}  // namespace
