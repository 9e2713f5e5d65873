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

#include "platform/posix/icmp_packet.h"
#include "platform/posix/icmp_socket.h"
#include "platform/system.h"

namespace platform {

namespace {

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

// One request in flight: the packets that answer it, where they are read to, its time limit.
struct Exchange {
  int socket;
  EchoRequest request;
  std::uint8_t* buffer;        // the request as sent, then each packet read
  std::size_t room;
  std::uint64_t start_ns;
  std::uint64_t deadline_ns;
};

// How the wait for an answer ended.
struct Answer {
  bool replied;                // our echo reply came; else `status` tells what happened
  unsigned long status;        // kEchoTimedOut, an ICMP error's kEcho* status, or an errno
  std::uint32_t from;          // the replying address, network byte order
  std::uint64_t elapsed_ns;    // when the reply was read, from the send
  const std::uint8_t* data;    // the echoed data, inside the exchange's buffer
  std::size_t data_size;
};

std::uint64_t now_ns() { return icmp_clock_ns(); }

// Why a request is not sent at all: true with *error set to what echo_send reports.
bool refuse_request(const EchoService* service, std::uint32_t address, const void* payload,
                    std::uint16_t size, const void* reply, unsigned long reply_size,
                    unsigned long* error) {
  if (service == nullptr || (payload == nullptr && size > 0) || reply == nullptr) {
    *error = service == nullptr ? EBADF : EINVAL;
  } else if (address == 0) {
    // 0.0.0.0 names no host; Windows refuses it too rather than sending.
    *error = kEchoGeneralFailure;
  } else if (reply_size < sizeof(EchoReply) + size + 8) {
    *error = kEchoBufferTooSmall;
  } else if (service->socket < 0) {
    *error = static_cast<unsigned long>(service->open_error);
  } else {
    return false;
  }
  return true;
}

// Sends the request in the exchange's buffer; a send interrupted by a signal is retried
// until the deadline. False with *error set (errno) when it could not be sent.
bool send_request(const Exchange& exchange, std::uint32_t address, std::size_t length,
                  unsigned long* error) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  ssize_t sent;
  do {
    sent = sendto(exchange.socket, exchange.buffer, length, 0,
                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (sent < 0 && errno == EINTR && now_ns() < exchange.deadline_ns);
  if (sent < 0) {
    *error = static_cast<unsigned long>(errno);
    return false;
  }
  return true;
}

// One poll of the socket, at most until the deadline (rounded up to whole milliseconds).
// Returns poll's result, errno as poll left it.
int wait_readable(int socket, std::uint64_t deadline_ns, short* revents) {
  const std::uint64_t now = now_ns();
  const std::uint64_t remaining = now < deadline_ns ? deadline_ns - now : 0;
  const std::uint64_t wait_ms = (remaining + 999999ULL) / 1000000ULL;
  pollfd poller{socket, POLLIN, 0};
  const int ready = poll(&poller, 1, wait_ms > INT_MAX ? INT_MAX : static_cast<int>(wait_ms));
  *revents = poller.revents;
  return ready;
}

// One entry of a datagram socket's error queue: whether there was one, and what it means.
struct QueueEntry {
  bool present;
  IcmpOutcome outcome;
};

QueueEntry read_error_queue(const Exchange& exchange) {
  QueueEntry entry{false, IcmpOutcome{IcmpAnswer::kOther, 0, 0, 0}};
  std::uint8_t quoted[64];
  QueuedError queued{};
  const int read = read_queued_error(exchange.socket, quoted, sizeof quoted, &queued);
  if (read == kQueueEmpty) return entry;
  entry.present = true;
  if (read == kQueueEntry) entry.outcome = classify_queued_error(exchange.request, queued);
  return entry;
}

// A failed receive other than "nothing there": the socket's pending error. A datagram
// socket may have the error queue entry behind it; without one, the error itself is the
// answer rather than a reason to spin. True when the wait ends, with answer->status set.
bool take_pending_error(const Exchange& exchange, int error, Answer* answer) {
  QueueEntry entry{false, IcmpOutcome{IcmpAnswer::kOther, 0, 0, 0}};
  if (!exchange.request.raw) entry = read_error_queue(exchange);
  if (entry.outcome.answer == IcmpAnswer::kError) {
    answer->status = entry.outcome.status;
    return true;
  }
  if (!entry.present) {
    answer->status = static_cast<unsigned long>(error);
    return true;
  }
  return false;
}

// Reads one packet and classifies it. True when the wait ends: our reply or an ICMP error
// that answers the request.
bool take_packet(const Exchange& exchange, Answer* answer) {
  sockaddr_in from{};
  socklen_t from_size = sizeof from;
  ssize_t n = recvfrom(exchange.socket, exchange.buffer, exchange.room, MSG_DONTWAIT,
                       reinterpret_cast<sockaddr*>(&from), &from_size);
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return false;
    return take_pending_error(exchange, errno, answer);
  }
  const IcmpOutcome outcome =
      classify_packet(exchange.request, exchange.buffer, static_cast<std::size_t>(n));
  if (outcome.answer == IcmpAnswer::kReply) {
    answer->replied = true;
    answer->from = from.sin_addr.s_addr;
    answer->elapsed_ns = now_ns() - exchange.start_ns;
    answer->data = exchange.buffer + outcome.data_offset;
    answer->data_size = outcome.data_size;
    return true;
  }
  if (outcome.answer == IcmpAnswer::kError) {
    answer->status = outcome.status;
    return true;
  }
  return false;
}

// Handles what poll reported ready. True when the wait ends.
bool take_ready(const Exchange& exchange, short revents, Answer* answer) {
  // A datagram socket's errors wait on its error queue; another request's entry is skipped
  // and the packets behind it still read.
  if (!exchange.request.raw && (revents & POLLERR)) {
    const QueueEntry entry = read_error_queue(exchange);
    if (entry.outcome.answer == IcmpAnswer::kError) {
      answer->status = entry.outcome.status;
      return true;
    }
  }
  if (revents & (POLLIN | POLLERR)) return take_packet(exchange, answer);
  return false;
}

// Waits for the request's answer until the deadline; other packets, late answers to earlier
// requests and interrupted waits do not extend it.
Answer wait_for_answer(const Exchange& exchange) {
  Answer answer{false, kEchoTimedOut, 0, 0, nullptr, 0};
  for (;;) {
    short revents = 0;
    const int ready = wait_readable(exchange.socket, exchange.deadline_ns, &revents);
    if (ready < 0 && errno != EINTR) {
      answer.status = static_cast<unsigned long>(errno);
      return answer;
    }
    if (ready > 0 && take_ready(exchange, revents, &answer)) return answer;
    if (now_ns() >= exchange.deadline_ns) return answer;
  }
}

// Writes the reply record and as much of the echoed data as was sent into the caller's buffer.
void fill_reply(void* reply, const Answer& answer, std::uint16_t size) {
  const std::size_t data_size = answer.data_size > size ? size : answer.data_size;
  EchoReply record{};
  record.address = answer.from;
  record.status = 0;
  record.round_trip_ms = static_cast<std::uint32_t>(answer.elapsed_ns / 1000000ULL);
  record.data_size = static_cast<std::uint16_t>(data_size);
  std::memcpy(reply, &record, sizeof record);
  if (data_size > 0) {
    std::memcpy(static_cast<std::uint8_t*>(reply) + sizeof record, answer.data, data_size);
  }
}

}  // namespace

EchoHandle echo_open() {
  EchoService* service = static_cast<EchoService*>(std::malloc(sizeof(EchoService)));
  if (service == nullptr) {
    set_last_error(ENOMEM);
    return nullptr;
  }
  service->raw = false;
  service->open_error = 0;
  service->socket = open_icmp_socket(0, &service->raw, &service->open_error);
  service->identifier = icmp_identifier();
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
  EchoService* service = static_cast<EchoService*>(handle);
  unsigned long status = 0;
  if (refuse_request(service, address, payload, size, reply, reply_size, &status)) {
    set_last_error(status);
    return 0;
  }
  Exchange exchange{};
  exchange.room = kIcmpHeaderSize + size + kReceiveSlack;
  exchange.buffer = static_cast<std::uint8_t*>(std::malloc(exchange.room));
  if (exchange.buffer == nullptr) {
    set_last_error(ENOMEM);
    return 0;
  }
  service->sequence = static_cast<std::uint16_t>(service->sequence + 1);
  exchange.socket = service->socket;
  exchange.request = EchoRequest{service->raw, service->identifier, service->sequence};
  const std::size_t length = build_echo_request(exchange.buffer, service->identifier,
                                                service->sequence, payload, size);
  exchange.start_ns = now_ns();
  exchange.deadline_ns = exchange.start_ns + static_cast<std::uint64_t>(timeout_ms) * 1000000ULL;

  unsigned long result = 0;
  if (send_request(exchange, address, length, &status)) {
    const Answer answer = wait_for_answer(exchange);
    if (answer.replied) {
      fill_reply(reply, answer, size);
      result = 1;
    }
    status = answer.status;
  }
  std::free(exchange.buffer);
  if (result == 0) set_last_error(status);
  return result;
}

}  // namespace platform
