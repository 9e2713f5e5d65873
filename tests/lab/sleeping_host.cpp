// Lab helper: a machine that sleeps until a magic packet for its MAC arrives, then wakes after a delay.
//
// Usage: sleeping_host INTERFACE [--delay MS] [--ignore N] [--firewall] [--port PORT]
//                     [--awake] [--limit SECONDS]
// Run inside the target's namespace, on the interface the lab gave its address. Asleep, the
// interface keeps no IPv4 address: no ARP answer, no ping reply, no TCP reset, as a sleeping
// machine (dropping pings alone would leave the kernel resetting TCP probes). A packet socket
// watches for a magic packet for the interface's MAC, in a UDP datagram to any port or in an
// EtherType 0x0842 frame; the first N are ignored (--ignore), as a wake lost on the way. After
// --delay MS (default 0) it wakes: the address, its netmask and the default route come back,
// pings are answered (with --firewall they stay dropped: net.ipv4.icmp_echo_ignore_all=1),
// and with --port a TCP port listens, accepting and closing each connection. --awake starts
// it awake. It ends after --limit seconds (default 120, at most 3600), or at SIGTERM or SIGINT,
// and leaves the interface as it found it (address, route, pings answered), so that the next
// run of it in the same host starts from the lab's own set-up.
// Prints, each line with the milliseconds since its start: "asleep" (or "awake") once set up,
// "magic packet N ignored", "magic packet N: waking in MS ms", "awake", "magic packet N: already
// awake".
#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/printf_format.h"

namespace {

// Ethernet header: destination, source, EtherType (big-endian).
constexpr std::size_t kEtherTypeOffset = 12;
constexpr std::size_t kEtherHeaderSize = 14;
constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
constexpr std::uint16_t kEtherTypeWake = 0x0842;
// IPv4: IHL in the low nibble of byte 0 (32-bit words), protocol at byte 9; UDP header 8 bytes.
constexpr std::size_t kIpv4ProtocolOffset = 9;
constexpr std::uint8_t kProtocolUdp = 17;
constexpr std::size_t kUdpHeaderSize = 8;
// A magic packet: six 0xFF bytes, then the MAC 16 times.
constexpr std::size_t kSyncSize = 6;
constexpr std::size_t kMacCopies = 16;
constexpr std::size_t kMagicSize = kSyncSize + kMacCopies * 6;

struct Options {
  const char* interface;
  long delay_ms;
  long ignore;
  bool firewall;
  int port;          // 0: none
  bool awake;
  long limit_s;
};

// What the interface had from the lab: restored on waking.
struct Address {
  in_addr address;
  in_addr netmask;
  in_addr gateway;   // 0.0.0.0: no default route through this interface
};

long long g_start_ms = 0;
volatile sig_atomic_t g_stop = 0;

void OnStop(int) { g_stop = 1; }

// The stop signals are held back except while the loop waits in ppoll, so that one that comes
// between the loop's check and the wait still ends that wait at once. Returns the mask to wait with.
sigset_t CatchStopSignals() {
  sigset_t stops, others;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  sigprocmask(SIG_BLOCK, &stops, &others);
  struct sigaction action{};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigdelset(&others, SIGTERM);
  sigdelset(&others, SIGINT);
  return others;
}

long long NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void TIDEWAKE_PRINTF(1, 2) Say(const char* format, ...) {
  std::printf("%lld ", NowMs() - g_start_ms);
  va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
  std::printf("\n");
  std::fflush(stdout);
}

bool ReadNumber(const char* text, long low, long high, long* out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
  *out = value;
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  if (argc < 2) return false;
  *options = Options{argv[1], 0, 0, false, 0, false, 120};
  for (int i = 2; i < argc; ++i) {
    const char* option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long number = 0;
    if (std::strcmp(option, "--firewall") == 0) {
      options->firewall = true;
    } else if (std::strcmp(option, "--awake") == 0) {
      options->awake = true;
    } else if (value == nullptr) {
      return false;
    } else if (std::strcmp(option, "--delay") == 0 && ReadNumber(value, 0, 600000, &number)) {
      options->delay_ms = number;
      ++i;
    } else if (std::strcmp(option, "--ignore") == 0 && ReadNumber(value, 0, 1000, &number)) {
      options->ignore = number;
      ++i;
    } else if (std::strcmp(option, "--port") == 0 && ReadNumber(value, 1, 65535, &number)) {
      options->port = static_cast<int>(number);
      ++i;
    } else if (std::strcmp(option, "--limit") == 0 && ReadNumber(value, 1, 3600, &number)) {
      options->limit_s = number;
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

bool InterfaceRequest(int s, unsigned long request, const char* name, ifreq* out) {
  std::memset(out, 0, sizeof *out);
  std::snprintf(out->ifr_name, IFNAMSIZ, "%s", name);
  return ioctl(s, request, out) == 0;
}

in_addr AddressOf(const ifreq& request) {
  return reinterpret_cast<const sockaddr_in*>(&request.ifr_addr)->sin_addr;
}

// The default route's gateway through the interface, from /proc/net/route (hexadecimal
// fields in the kernel's byte order, as in memory).
in_addr DefaultGateway(const char* interface) {
  in_addr gateway{};
  FILE* routes = std::fopen("/proc/net/route", "r");
  if (routes == nullptr) return gateway;
  char line[256];
  while (std::fgets(line, sizeof line, routes) != nullptr) {
    char name[IFNAMSIZ + 1];
    unsigned destination = 0, via = 0, mask = 0;
    if (std::sscanf(line, "%16s %x %x %*s %*s %*s %*s %x", name, &destination, &via, &mask) != 4) continue;
    if (std::strcmp(name, interface) == 0 && destination == 0 && mask == 0) gateway.s_addr = via;
  }
  std::fclose(routes);
  return gateway;
}

bool SetInterfaceAddress(int s, const char* interface, unsigned long request, in_addr value) {
  ifreq ifr{};
  std::snprintf(ifr.ifr_name, IFNAMSIZ, "%s", interface);
  sockaddr_in* in = reinterpret_cast<sockaddr_in*>(&ifr.ifr_addr);
  in->sin_family = AF_INET;
  in->sin_addr = value;
  return ioctl(s, request, &ifr) == 0;
}

// Asleep: 0.0.0.0 removes the interface's address, and with it its routes.
bool Sleep(int s, const char* interface) { return SetInterfaceAddress(s, interface, SIOCSIFADDR, in_addr{}); }

bool Wake(int s, const char* interface, const Address& address) {
  if (!SetInterfaceAddress(s, interface, SIOCSIFADDR, address.address) ||
      !SetInterfaceAddress(s, interface, SIOCSIFNETMASK, address.netmask)) {
    return false;
  }
  if (address.gateway.s_addr == 0) return true;
  rtentry route{};
  auto* destination = reinterpret_cast<sockaddr_in*>(&route.rt_dst);
  auto* gateway = reinterpret_cast<sockaddr_in*>(&route.rt_gateway);
  auto* mask = reinterpret_cast<sockaddr_in*>(&route.rt_genmask);
  destination->sin_family = gateway->sin_family = mask->sin_family = AF_INET;
  gateway->sin_addr = address.gateway;
  route.rt_flags = RTF_UP | RTF_GATEWAY;
  char device[IFNAMSIZ];
  std::snprintf(device, sizeof device, "%s", interface);
  route.rt_dev = device;
  return ioctl(s, SIOCADDRT, &route) == 0 || errno == EEXIST;
}

// Pings answered or dropped in this namespace.
bool SetEchoIgnored(bool ignored) {
  FILE* setting = std::fopen("/proc/sys/net/ipv4/icmp_echo_ignore_all", "w");
  if (setting == nullptr) return false;
  const bool written = std::fputs(ignored ? "1\n" : "0\n", setting) >= 0;
  return std::fclose(setting) == 0 && written;
}

int Listen(int port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 64) != 0) {
    if (s >= 0) close(s);
    return -1;
  }
  return s;
}

bool HoldsMagic(const std::uint8_t* data, std::size_t length, const std::uint8_t mac[6]) {
  for (std::size_t at = 0; at + kMagicSize <= length; ++at) {
    bool match = true;
    for (std::size_t i = 0; i < kSyncSize && match; ++i) match = data[at + i] == 0xFF;
    for (std::size_t copy = 0; copy < kMacCopies && match; ++copy) {
      match = std::memcmp(data + at + kSyncSize + copy * 6, mac, 6) == 0;
    }
    if (match) return true;
  }
  return false;
}

// A magic packet for `mac` in a wake frame or in any UDP datagram of the frame.
bool IsWake(const std::uint8_t* frame, std::size_t length, const std::uint8_t mac[6]) {
  if (length < kEtherHeaderSize) return false;
  const std::uint16_t type = static_cast<std::uint16_t>((frame[kEtherTypeOffset] << 8) | frame[kEtherTypeOffset + 1]);
  const std::uint8_t* payload = frame + kEtherHeaderSize;
  const std::size_t size = length - kEtherHeaderSize;
  if (type == kEtherTypeWake) return HoldsMagic(payload, size, mac);
  if (type != kEtherTypeIpv4 || size < 20) return false;
  const std::size_t header = static_cast<std::size_t>(payload[0] & 0x0F) * 4;
  if (header < 20 || payload[kIpv4ProtocolOffset] != kProtocolUdp || size < header + kUdpHeaderSize) return false;
  return HoldsMagic(payload + header + kUdpHeaderSize, size - header - kUdpHeaderSize, mac);
}

}  // namespace

int main(int argc, char** argv) {
  Options options{};
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: sleeping_host INTERFACE [--delay MS] [--ignore N] [--firewall] [--port PORT] "
                 "[--awake] [--limit SECONDS]\n");
    return 2;
  }
  g_start_ms = NowMs();
  const sigset_t wait_mask = CatchStopSignals();
  const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  if (control < 0 || !InterfaceRequest(control, SIOCGIFHWADDR, options.interface, &request)) {
    std::perror("sleeping_host: the interface's MAC");
    return 1;
  }
  std::uint8_t mac[6];
  std::memcpy(mac, request.ifr_hwaddr.sa_data, 6);
  Address address{};
  if (!InterfaceRequest(control, SIOCGIFADDR, options.interface, &request)) {
    std::perror("sleeping_host: the interface's address");
    return 1;
  }
  address.address = AddressOf(request);
  InterfaceRequest(control, SIOCGIFNETMASK, options.interface, &request);
  address.netmask = AddressOf(request);
  address.gateway = DefaultGateway(options.interface);
  const int index = static_cast<int>(if_nametoindex(options.interface));

  const int frames = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL));
  sockaddr_ll link{};
  link.sll_family = AF_PACKET;
  link.sll_protocol = htons(ETH_P_ALL);
  link.sll_ifindex = index;
  if (frames < 0 || bind(frames, reinterpret_cast<sockaddr*>(&link), sizeof link) != 0) {
    std::perror("sleeping_host: the packet socket");
    return 1;
  }
  if (!SetEchoIgnored(options.firewall)) {
    std::perror("sleeping_host: net.ipv4.icmp_echo_ignore_all");
    return 1;
  }

  bool awake = options.awake;
  int listener = -1;
  if (awake) {
    if (options.port != 0 && (listener = Listen(options.port)) < 0) {
      std::perror("sleeping_host: the TCP port");
      return 1;
    }
    Say("awake");
  } else {
    if (!Sleep(control, options.interface)) {
      std::perror("sleeping_host: removing the address");
      return 1;
    }
    Say("asleep");
  }

  const long long end_ms = g_start_ms + options.limit_s * 1000;
  long long wake_at_ms = -1;
  long magic_packets = 0;
  std::uint8_t frame[2048];
  for (long long now = NowMs(); now < end_ms && g_stop == 0; now = NowMs()) {
    long long until = end_ms;
    if (wake_at_ms >= 0 && wake_at_ms < until) until = wake_at_ms;
    pollfd waiting[2] = {{frames, POLLIN, 0}, {listener, POLLIN, 0}};
    const long long wait_ms = until > now ? until - now : 0;
    const timespec timeout{static_cast<time_t>(wait_ms / 1000), static_cast<long>(wait_ms % 1000) * 1000000L};
    if (ppoll(waiting, listener >= 0 ? 2 : 1, &timeout, &wait_mask) < 0) continue;

    if (waiting[0].revents & POLLIN) {
      sockaddr_ll from{};
      socklen_t from_size = sizeof from;
      const ssize_t n = recvfrom(frames, frame, sizeof frame, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &from_size);
      // The packet socket sees this host's own frames too; only what arrives can wake it.
      if (n > 0 && from.sll_pkttype != PACKET_OUTGOING && IsWake(frame, static_cast<std::size_t>(n), mac)) {
        ++magic_packets;
        if (awake) {
          Say("magic packet %ld: already awake", magic_packets);
        } else if (wake_at_ms < 0) {
          if (magic_packets <= options.ignore) {
            Say("magic packet %ld ignored", magic_packets);
          } else {
            Say("magic packet %ld: waking in %ld ms", magic_packets, options.delay_ms);
            wake_at_ms = NowMs() + options.delay_ms;
          }
        }
      }
    }
    if (listener >= 0 && (waiting[1].revents & POLLIN)) {
      const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0) close(connection);
    }
    if (!awake && wake_at_ms >= 0 && NowMs() >= wake_at_ms) {
      if (!Wake(control, options.interface, address)) {
        std::perror("sleeping_host: restoring the address");
        return 1;
      }
      if (options.port != 0 && (listener = Listen(options.port)) < 0) {
        std::perror("sleeping_host: the TCP port");
        return 1;
      }
      awake = true;
      Say("awake");
    }
  }
  if (!awake && !Wake(control, options.interface, address)) {
    std::perror("sleeping_host: restoring the address at the end");
    return 1;
  }
  SetEchoIgnored(false);
  return 0;
}
