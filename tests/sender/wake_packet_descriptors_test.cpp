// Tests of the wake packet sender when its sockets cannot be opened (descriptors exhausted).
#include "sender/wake_packet.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/sockets.h"
#include "sender/message_box.h"

namespace {

const std::uint8_t kMac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

// With no descriptor left, neither socket opens: the option call and the send on the missing
// sockets fail and are reported (here on standard error), and the routine runs to its end.
void SendWithoutDescriptors() {
  SetMessageBoxHost(nullptr);
  const int lowest_free = dup(0);
  close(lowest_free);
  rlimit saved;
  getrlimit(RLIMIT_NOFILE, &saved);
  rlimit limit = saved;
  limit.rlim_cur = static_cast<rlim_t>(lowest_free);
  setrlimit(RLIMIT_NOFILE, &limit);
  SendWakePackets(2, htonl(0x7F000001), 0xFFFFFFFF, kMac);
  setrlimit(RLIMIT_NOFILE, &saved);  // the sanitizers' own checks need descriptors
  std::exit(7);
}

TEST(SendWakePacketsDeathTest, SocketsThatDidNotOpenAreReported) {
  EXPECT_EXIT(SendWithoutDescriptors(), ::testing::ExitedWithCode(7),
              "SOL_SOCKET err: At least one descriptor is not a socket\n"
              "SendUnsuspended err: At least one descriptor is not a socket\n");
}

}  // namespace
