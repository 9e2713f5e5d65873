// Test helper: a UDP socket on a free loopback port that collects the datagrams sent to it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sockets.h"

class LoopbackReceiver {
 public:
  LoopbackReceiver() {
    platform::socket_startup(2, 0);  // counted: every start-up has its clean-up
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~LoopbackReceiver() {
    closesocket(socket_);
    platform::socket_cleanup();
  }
  int port() const { return port_; }  // 0 when the socket could not be bound

  // Every datagram already queued (loopback sends are delivered before sendto returns); a short
  // wait for the first one only, so that an empty queue is answered at once.
  std::vector<std::vector<std::uint8_t>> Take() {
    std::vector<std::vector<std::uint8_t>> datagrams;
    for (int i = 0; i < 16; ++i) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket_, &readable);
      timeval wait = {0, i == 0 ? 50000 : 0};
      if (select(static_cast<int>(socket_) + 1, &readable, nullptr, nullptr, &wait) != 1) break;
      char buffer[2048];
      auto n = recv(socket_, buffer, static_cast<int>(sizeof buffer), 0);
      if (n < 0) break;
      datagrams.emplace_back(buffer, buffer + n);
    }
    return datagrams;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  int port_ = 0;
};
