// Windows datagram receive on loopback: the sender's address, and an oversized datagram kept.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/datagram.h"
#include "platform/sockets.h"

namespace {

class Win32Datagram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::socket_startup(1, 1));
    receiver_ = socket(AF_INET, SOCK_DGRAM, 0);
    sender_ = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_NE(INVALID_SOCKET, receiver_);
    ASSERT_NE(INVALID_SOCKET, sender_);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(receiver_, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, bind(sender_, reinterpret_cast<sockaddr*>(&address), sizeof address));
    int length = sizeof to_;
    ASSERT_EQ(0, getsockname(receiver_, reinterpret_cast<sockaddr*>(&to_), &length));
    sockaddr_in from{};
    length = sizeof from;
    ASSERT_EQ(0, getsockname(sender_, reinterpret_cast<sockaddr*>(&from), &length));
    sender_port_ = ntohs(from.sin_port);
    // A receive that never comes must not hang the test run.
    DWORD timeout_ms = 5000;
    setsockopt(receiver_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms), sizeof timeout_ms);
  }
  void TearDown() override {
    closesocket(receiver_);
    closesocket(sender_);
    platform::socket_cleanup();
  }
  void Send(std::size_t length, unsigned char fill) {
    std::vector<char> data(length, static_cast<char>(fill));
    ASSERT_EQ(static_cast<int>(length),
              sendto(sender_, data.data(), static_cast<int>(length), 0, reinterpret_cast<sockaddr*>(&to_), sizeof to_));
  }

  SOCKET receiver_ = INVALID_SOCKET;
  SOCKET sender_ = INVALID_SOCKET;
  sockaddr_in to_{};
  unsigned short sender_port_ = 0;
};

TEST_F(Win32Datagram, OversizedDatagramComesBackTruncatedAndTheNextOneFollows) {
  Send(2000, 0x5A);
  Send(118, 0x11);
  unsigned char buffer[1500];
  platform::ReceivedDatagram info{};
  ASSERT_TRUE(platform::receive_datagram(receiver_, buffer, sizeof buffer, false, &info));
  EXPECT_TRUE(info.truncated);
  EXPECT_EQ(1500, info.stored);
  EXPECT_EQ(0x5A, buffer[1499]);
  const unsigned char loopback[4] = {127, 0, 0, 1};
  EXPECT_EQ(4, info.sender.family);
  EXPECT_EQ(0, std::memcmp(info.sender.bytes, loopback, 4));
  EXPECT_EQ(sender_port_, info.sender_port);

  ASSERT_TRUE(platform::receive_datagram(receiver_, buffer, sizeof buffer, false, &info));
  EXPECT_FALSE(info.truncated);
  EXPECT_EQ(118, info.stored);
  EXPECT_EQ(118, info.length);
  EXPECT_EQ(0x11, buffer[117]);
}

}  // namespace
