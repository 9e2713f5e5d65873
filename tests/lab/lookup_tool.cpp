// Lab helper: runs the MAC lookup, the quick ping or one raw echo request and prints the outcome.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/echo.h"
#include "platform/neighbours.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "sender/log/log.h"
#include "sender/target_resolution.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: lookup_tool lookup ADDRESS\n"
               "       lookup_tool ping NAME TRIES [TIMEOUT_MS [LENGTH [FLAGS]]]\n"
               "       lookup_tool echo ADDRESS [TIMEOUT_MS]\n"
               "       lookup_tool table ROOM\n");
  return 2;
}

long number(const char* text) { return std::strtol(text, nullptr, 0); }

// SIGUSR1 interrupts waits without ending the tool, to show that waits survive signals.
extern "C" void ignore_signal(int) {}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  // Log lines go to standard output only.
  log_set_path("-");
  if (std::strcmp(argv[1], "lookup") == 0) {
    char mac[20] = "";
    std::int32_t rtt = LookupMacAddress(argv[2], mac);
    std::printf("rtt=%d mac=%s\n", static_cast<int>(rtt), mac);
    return 0;
  }
  if (std::strcmp(argv[1], "ping") == 0 && argc >= 4) {
    std::uint32_t timeout = argc > 4 ? static_cast<std::uint32_t>(number(argv[4])) : 1000;
    std::int32_t length = argc > 5 ? static_cast<std::int32_t>(number(argv[5])) : 32;
    std::uint32_t flags = argc > 6 ? static_cast<std::uint32_t>(number(argv[6])) : 0;
    std::int32_t rtt = QuickPing(argv[2], timeout, static_cast<std::int32_t>(number(argv[3])),
                                 length, flags);
    std::printf("rtt=%d\n", static_cast<int>(rtt));
    return 0;
  }
  if (std::strcmp(argv[1], "echo") == 0) {
    unsigned long timeout = argc > 3 ? static_cast<unsigned long>(number(argv[3])) : 1000;
    struct sigaction action {};
    action.sa_handler = ignore_signal;
    sigaction(SIGUSR1, &action, nullptr);
    platform::EchoHandle echo = platform::echo_open();
    if (echo == nullptr) {
      std::printf("open failed error=%lu\n", platform::last_error());
      return 1;
    }
    unsigned char payload[32] = "lookup_tool";
    unsigned char reply[sizeof payload + 100];
    unsigned long replies = platform::echo_send(echo, inet_addr(argv[2]), payload, sizeof payload,
                                                reply, sizeof reply, timeout);
    unsigned long error = replies == 0 ? platform::last_error() : 0;
    platform::echo_close(echo);
    std::printf("replies=%lu error=%lu\n", replies, error);
    return 0;
  }
  if (std::strcmp(argv[1], "table") == 0) {
    int room = static_cast<int>(number(argv[2]));
    if (room < 0 || room > 4096) return usage();
    static platform::NeighbourRow rows[4096];
    int total = platform::read_neighbour_table(rows, room);
    std::printf("total=%d\n", total);
    for (int i = 0; i < total && i < room; ++i) {
      const unsigned char* a = reinterpret_cast<const unsigned char*>(&rows[i].address);
      const unsigned char* m = rows[i].physical;
      std::printf("%u.%u.%u.%u %02x:%02x:%02x:%02x:%02x:%02x len=%u type=%u\n", a[0], a[1], a[2],
                  a[3], m[0], m[1], m[2], m[3], m[4], m[5], static_cast<unsigned>(rows[i].physical_length),
                  static_cast<unsigned>(rows[i].type));
    }
    return 0;
  }
  return usage();
}
