// Lab helper: receives UDP datagrams on a port for a while and prints each with its addresses and bytes.
// Usage: udp_capture PORT SECONDS [ipv6]. Prints "ready" once bound, then one line per datagram:
// "from ADDRESS to ADDRESS len N HEX", where "to" is the datagram's destination address; with
// "ipv6" it listens for IPv6 alone (multicast to ff02::1 included) and prints IPv6 addresses.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 4 && std::strcmp(argv[3], "ipv6") == 0)) {
    std::fprintf(stderr, "usage: udp_capture PORT SECONDS [ipv6]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int seconds = std::atoi(argv[2]);
  const bool ipv6 = argc == 4;
  if (port <= 0 || port > 65535 || seconds <= 0 || seconds > 60) {
    std::fprintf(stderr, "udp_capture: port 1-65535, seconds 1-60\n");
    return 2;
  }
  const int family = ipv6 ? AF_INET6 : AF_INET;
  int s = socket(family, SOCK_DGRAM, 0);
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_storage address{};
  socklen_t address_length;
  if (ipv6) {
    setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    setsockopt(s, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on);
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(static_cast<uint16_t>(port));
    in6->sin6_addr = in6addr_any;
    address_length = sizeof *in6;
  } else {
    setsockopt(s, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    auto* in = reinterpret_cast<sockaddr_in*>(&address);
    in->sin_family = AF_INET;
    in->sin_port = htons(static_cast<uint16_t>(port));
    in->sin_addr.s_addr = htonl(INADDR_ANY);
    address_length = sizeof *in;
  }
  if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&address), address_length) != 0) {
    std::perror("udp_capture: bind");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  const long long end = NowMs() + seconds * 1000LL;
  for (int received = 0; received < 1000;) {
    const long long left = end - NowMs();
    if (left <= 0) break;
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    unsigned char data[65536];
    char control[256];
    sockaddr_storage from{};
    iovec io{data, sizeof data};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(s, &message, 0);
    if (n < 0) break;
    ++received;
    char from_text[INET6_ADDRSTRLEN] = "?", to_text[INET6_ADDRSTRLEN] = "?";
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        inet_ntop(AF_INET, &info.ipi_addr, to_text, sizeof to_text);
      } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
        in6_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        inet_ntop(AF_INET6, &info.ipi6_addr, to_text, sizeof to_text);
      }
    }
    if (ipv6) {
      inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&from)->sin6_addr, from_text, sizeof from_text);
    } else {
      inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&from)->sin_addr, from_text, sizeof from_text);
    }
    std::printf("from %s to %s len %zd ", from_text, to_text, n);
    for (ssize_t i = 0; i < n; ++i) std::printf("%02x", data[i]);
    std::printf("\n");
    std::fflush(stdout);
  }
  close(s);
  return 0;
}
