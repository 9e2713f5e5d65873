// The datagram receive call: a signal during the wait is not a failure.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/datagram.h"

namespace {

std::atomic<int> g_signals{0};
void CountSignal(int) { g_signals.fetch_add(1); }

TEST(ReceiveDatagram, SignalDuringTheWaitIsRetried) {
  // A handler without SA_RESTART makes a blocked recvfrom return EINTR.
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
  timeval limit{10, 0};   // bounds the test if the datagram never comes
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

  std::atomic<bool> done{false};
  bool received = false;
  platform::DatagramInfo info{};
  std::thread waiter([&] {
    char buffer[1500];
    received = platform::receive_datagram(s, buffer, sizeof buffer, &info);
    done = true;
  });
  for (int i = 0; i < 5 && !done; ++i) {
    usleep(50000);
    pthread_kill(waiter.native_handle(), SIGUSR1);
  }
  usleep(50000);
  EXPECT_FALSE(done) << "the receive ended before any datagram was sent";
  const char data[28] = {};
  sendto(s, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  waiter.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_GT(g_signals.load(), 0);
  EXPECT_TRUE(received);
  EXPECT_EQ(info.length, 28);
  EXPECT_EQ(info.sender_address, htonl(INADDR_LOOPBACK));
  closesocket(s);
}

}  // namespace
