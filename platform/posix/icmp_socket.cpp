// ICMP sockets of the POSIX echo services: the datagram-then-raw fallback and the error queue.
#include "platform/posix/icmp_socket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

// After <ctime>: it needs struct timespec.
#include <linux/errqueue.h>

namespace platform {

namespace {

// The raw socket option that drops ICMP types before they are queued (linux/icmp.h).
constexpr int kRawIcmpFilter = 1;
struct RawIcmpFilter {
  std::uint32_t blocked_types;
};

}  // namespace

std::uint64_t icmp_clock_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL +
         static_cast<std::uint64_t>(now.tv_nsec);
}

int open_icmp_socket(int flags, bool* raw, int* error) {
  // A datagram socket needs no privilege where net.ipv4.ping_group_range admits our group.
  int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | flags, IPPROTO_ICMP);
  if (s >= 0) {
    int on = 1;
    // ICMP errors that answer our requests arrive on the error queue.
    setsockopt(s, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    *raw = false;
    return s;
  }
  int first_error = errno;
  s = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC | flags, IPPROTO_ICMP);
  if (s >= 0) {
    // A raw socket sees every ICMP packet of the host: keep only the types we read.
    RawIcmpFilter filter{~((1U << kIcmpEchoReply) | (1U << kIcmpUnreachable) |
                           (1U << kIcmpTimeExceeded) | (1U << kIcmpParameterProblem))};
    setsockopt(s, SOL_RAW, kRawIcmpFilter, &filter, sizeof filter);
    *raw = true;
    return s;
  }
  // Report why the unprivileged socket failed when the raw one is refused for lack of rights.
  *error = (errno == EPERM || errno == EACCES) ? first_error : errno;
  return -1;
}

std::uint16_t icmp_identifier() {
  return static_cast<std::uint16_t>(
      (static_cast<std::uint64_t>(getpid()) ^ (icmp_clock_ns() >> 12)) & 0xFFFF);
}

int read_queued_error(int socket, std::uint8_t* quoted, std::size_t quoted_room, QueuedError* entry) {
  char control[512];
  iovec io{quoted, quoted_room};
  msghdr message{};
  message.msg_iov = &io;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = recvmsg(socket, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
  if (n < 0) return kQueueEmpty;
  *entry = QueuedError{false, 0, 0, 0, quoted, static_cast<std::size_t>(n)};
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
    sock_extended_err error;
    std::memcpy(&error, CMSG_DATA(c), sizeof error);
    entry->from_icmp = error.ee_origin == SO_EE_ORIGIN_ICMP;
    entry->type = error.ee_type;
    entry->code = error.ee_code;
    entry->error_number = error.ee_errno;
    return kQueueEntry;
  }
  return kQueueUndescribed;
}

}  // namespace platform
