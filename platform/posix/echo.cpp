// POSIX ICMP echo service: an ICMP datagram ("ping") socket, or a raw ICMP socket where that is not allowed.
#include "platform/echo.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

// After <ctime>: it needs struct timespec.
#include <linux/errqueue.h>

#include "platform/system.h"

namespace platform {

namespace {

// ICMP message types and header layout (network byte order).
constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIcmpUnreachable = 3;
constexpr std::uint8_t kIcmpEchoRequest = 8;
constexpr std::uint8_t kIcmpTimeExceeded = 11;
constexpr std::uint8_t kIcmpParameterProblem = 12;
constexpr std::size_t kIcmpHeaderSize = 8;  // type, code, checksum, identifier, sequence
constexpr std::size_t kIcmpChecksumOffset = 2;
constexpr std::size_t kIcmpIdentifierOffset = 4;
constexpr std::size_t kIcmpSequenceOffset = 6;

// The raw socket option that drops ICMP types before they are queued (linux/icmp.h).
constexpr int kRawIcmpFilter = 1;
struct RawIcmpFilter {
  std::uint32_t blocked_types;
};

// Room for everything around the payload in anything received: the outer IP header, an
// ICMP header, and, in an ICMP error, the quoted IP header and echo header.
constexpr std::size_t kReceiveSlack = 60 + 8 + 60 + 8 + 64;

struct EchoService {
  int socket;         // -1 when no ICMP socket could be opened
  int open_error;     // errno of that failure
  bool raw;           // a raw socket: packets carry the IP header; identifier is ours
  std::uint16_t identifier;
  std::uint16_t sequence;
};

std::uint64_t now_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL +
         static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint16_t read16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void write16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value >> 8);
  p[1] = static_cast<std::uint8_t>(value & 0xFF);
}

// The Internet checksum (RFC 1071), as a value to store big-endian.
std::uint16_t internet_checksum(const std::uint8_t* data, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) sum += read16(data + i);
  if (length & 1) sum += static_cast<std::uint32_t>(data[length - 1]) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

// The echo service's status for an ICMP error message.
unsigned long status_for_icmp_error(std::uint8_t type, std::uint8_t code) {
  switch (type) {
    case kIcmpUnreachable:
      switch (code) {
        case 0: case 6: case 9: case 11: return kEchoNetUnreachable;
        case 2: return kEchoProtocolUnreachable;
        case 3: return kEchoPortUnreachable;
        default: return kEchoHostUnreachable;
      }
    case kIcmpTimeExceeded: return kEchoTtlExpired;
    case kIcmpParameterProblem: return kEchoParameterProblem;
    default: return kEchoGeneralFailure;
  }
}

bool is_icmp_error(std::uint8_t type) {
  return type == kIcmpUnreachable || type == kIcmpTimeExceeded || type == kIcmpParameterProblem;
}

// What one received packet means for the request that is waited for.
enum class Received { kOther, kReply, kError };

struct Outcome {
  Received kind;
  unsigned long status;            // for kError
  const std::uint8_t* data;        // for kReply: the echoed data
  std::size_t data_size;
};

// Does an echo header (quoted in an ICMP error, or a reply) belong to our request?
bool ours(const EchoService& service, const std::uint8_t* icmp) {
  if (read16(icmp + kIcmpSequenceOffset) != service.sequence) return false;
  // The kernel picks and checks the identifier of a datagram socket itself.
  return !service.raw || read16(icmp + kIcmpIdentifierOffset) == service.identifier;
}

// Classifies a packet read from the socket: ICMP only (datagram socket) or IP + ICMP (raw).
Outcome classify(const EchoService& service, const std::uint8_t* packet, std::size_t length) {
  Outcome outcome{Received::kOther, 0, nullptr, 0};
  std::size_t offset = 0;
  if (service.raw) {
    if (length < 20) return outcome;
    offset = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
  }
  if (length < offset + kIcmpHeaderSize) return outcome;
  const std::uint8_t* icmp = packet + offset;
  if (icmp[0] == kIcmpEchoReply) {
    if (!ours(service, icmp)) return outcome;
    outcome.kind = Received::kReply;
    outcome.data = icmp + kIcmpHeaderSize;
    outcome.data_size = length - offset - kIcmpHeaderSize;
    return outcome;
  }
  // Only a raw socket sees ICMP errors as packets; they quote our IP header and echo header.
  if (service.raw && is_icmp_error(icmp[0])) {
    std::size_t quoted = offset + kIcmpHeaderSize;
    if (length < quoted + 20) return outcome;
    std::size_t quoted_icmp = quoted + static_cast<std::size_t>(packet[quoted] & 0x0F) * 4;
    if (length < quoted_icmp + kIcmpHeaderSize) return outcome;
    const std::uint8_t* request = packet + quoted_icmp;
    if (request[0] != kIcmpEchoRequest || !ours(service, request)) return outcome;
    outcome.kind = Received::kError;
    outcome.status = status_for_icmp_error(icmp[0], icmp[1]);
  }
  return outcome;
}

// Reads one entry of a datagram socket's error queue. Returns true with *status set when
// the entry answers our request; *any tells whether there was an entry at all.
bool read_error_queue(const EchoService& service, unsigned long* status, bool* any) {
  std::uint8_t quoted[64];
  char control[512];
  iovec io{quoted, sizeof quoted};
  msghdr message{};
  message.msg_iov = &io;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t n = recvmsg(service.socket, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
  *any = n >= 0;
  if (n < 0) return false;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
    sock_extended_err error;
    std::memcpy(&error, CMSG_DATA(c), sizeof error);
    // An entry that quotes another request of this socket is a late answer: skip it.
    if (static_cast<std::size_t>(n) >= kIcmpHeaderSize && quoted[0] == kIcmpEchoRequest &&
        read16(quoted + kIcmpSequenceOffset) != service.sequence) {
      return false;
    }
    if (error.ee_origin == SO_EE_ORIGIN_ICMP) {
      *status = status_for_icmp_error(error.ee_type, error.ee_code);
    } else {
      *status = error.ee_errno;
    }
    return true;
  }
  return false;
}

int open_icmp_socket(bool* raw, int* error) {
  // A datagram socket needs no privilege where net.ipv4.ping_group_range admits our group.
  int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (s >= 0) {
    int on = 1;
    // ICMP errors that answer our requests arrive on the error queue.
    setsockopt(s, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    *raw = false;
    return s;
  }
  int first_error = errno;
  s = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
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

void fill_reply(void* reply, std::uint32_t from, std::uint64_t elapsed_ns,
                const std::uint8_t* data, std::size_t data_size, std::uint16_t size) {
  if (data_size > size) data_size = size;
  EchoReply record{};
  record.address = from;
  record.status = 0;
  record.round_trip_ms = static_cast<std::uint32_t>(elapsed_ns / 1000000ULL);
  record.data_size = static_cast<std::uint16_t>(data_size);
  std::memcpy(reply, &record, sizeof record);
  if (data_size > 0) std::memcpy(static_cast<std::uint8_t*>(reply) + sizeof record, data, data_size);
}

}  // namespace

EchoHandle echo_open() {
  EchoService* service = static_cast<EchoService*>(std::malloc(sizeof(EchoService)));
  if (service == nullptr) {
    set_last_error(ENOMEM);
    return nullptr;
  }
  static std::uint16_t opened = 0;
  service->raw = false;
  service->open_error = 0;
  service->socket = open_icmp_socket(&service->raw, &service->open_error);
  // Raw sockets of several processes see each other's replies: the identifier tells them apart.
  service->identifier = static_cast<std::uint16_t>((getpid() & 0xFFFF) ^ (opened++ << 11));
  service->sequence = 0;
  return service;
}

bool echo_close(EchoHandle handle) {
  if (handle == nullptr) {
    set_last_error(EBADF);
    return false;
  }
  EchoService* service = static_cast<EchoService*>(handle);
  if (service->socket >= 0) close(service->socket);
  std::free(service);
  return true;
}

unsigned long echo_send(EchoHandle handle, std::uint32_t address, const void* payload,
                        std::uint16_t size, void* reply, unsigned long reply_size,
                        unsigned long timeout_ms) {
  if (handle == nullptr || (payload == nullptr && size > 0) || reply == nullptr) {
    set_last_error(handle == nullptr ? EBADF : EINVAL);
    return 0;
  }
  EchoService& service = *static_cast<EchoService*>(handle);
  if (address == 0) {
    // 0.0.0.0 names no host; Windows refuses it too rather than sending.
    set_last_error(kEchoGeneralFailure);
    return 0;
  }
  if (reply_size < sizeof(EchoReply) + size + 8) {
    set_last_error(kEchoBufferTooSmall);
    return 0;
  }
  if (service.socket < 0) {
    set_last_error(static_cast<unsigned long>(service.open_error));
    return 0;
  }

  std::size_t room = kIcmpHeaderSize + size + kReceiveSlack;
  std::uint8_t* buffer = static_cast<std::uint8_t*>(std::malloc(room));
  if (buffer == nullptr) {
    set_last_error(ENOMEM);
    return 0;
  }
  service.sequence = static_cast<std::uint16_t>(service.sequence + 1);
  std::memset(buffer, 0, kIcmpHeaderSize);
  buffer[0] = kIcmpEchoRequest;
  write16(buffer + kIcmpIdentifierOffset, service.identifier);
  write16(buffer + kIcmpSequenceOffset, service.sequence);
  if (size > 0) std::memcpy(buffer + kIcmpHeaderSize, payload, size);
  write16(buffer + kIcmpChecksumOffset, internet_checksum(buffer, kIcmpHeaderSize + size));

  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  const std::uint64_t start = now_ns();
  const std::uint64_t deadline = start + static_cast<std::uint64_t>(timeout_ms) * 1000000ULL;
  ssize_t sent;
  do {
    sent = sendto(service.socket, buffer, kIcmpHeaderSize + size, 0,
                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (sent < 0 && errno == EINTR && now_ns() < deadline);
  if (sent < 0) {
    set_last_error(static_cast<unsigned long>(errno));
    std::free(buffer);
    return 0;
  }

  // Wait for our reply until the deadline; other packets, late replies to earlier requests
  // and interrupted waits do not extend it.
  unsigned long result = 0;
  unsigned long status = kEchoTimedOut;
  for (;;) {
    std::uint64_t now = now_ns();
    std::uint64_t remaining = now < deadline ? deadline - now : 0;
    std::uint64_t wait_ms = (remaining + 999999ULL) / 1000000ULL;
    pollfd poller{service.socket, POLLIN, 0};
    int ready = poll(&poller, 1, wait_ms > INT_MAX ? INT_MAX : static_cast<int>(wait_ms));
    if (ready < 0 && errno != EINTR) {
      status = static_cast<unsigned long>(errno);
      break;
    }
    if (ready > 0 && !service.raw && (poller.revents & POLLERR)) {
      bool any = false;
      if (read_error_queue(service, &status, &any)) break;
      status = kEchoTimedOut;
    }
    if (ready > 0 && (poller.revents & (POLLIN | POLLERR))) {
      sockaddr_in from{};
      socklen_t from_size = sizeof from;
      ssize_t n = recvfrom(service.socket, buffer, room, MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&from), &from_size);
      if (n >= 0) {
        Outcome outcome = classify(service, buffer, static_cast<std::size_t>(n));
        if (outcome.kind == Received::kReply) {
          fill_reply(reply, from.sin_addr.s_addr, now_ns() - start, outcome.data,
                     outcome.data_size, size);
          result = 1;
          break;
        }
        if (outcome.kind == Received::kError) {
          status = outcome.status;
          break;
        }
      } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        // A pending socket error without a queued entry: report it rather than spin on it.
        bool any = false;
        int error = errno;
        if (!service.raw && read_error_queue(service, &status, &any)) break;
        if (!any) {
          status = static_cast<unsigned long>(error);
          break;
        }
        status = kEchoTimedOut;
      }
    }
    if (now_ns() >= deadline) break;
  }
  std::free(buffer);
  if (result == 0) set_last_error(status);
  return result;
}

}  // namespace platform
