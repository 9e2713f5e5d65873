// POSIX probe service: one ICMP socket for every echo request, a non-blocking socket per TCP connect, poll over all of them.
#include "platform/probes.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/echo.h"
#include "platform/posix/icmp_packet.h"
#include "platform/posix/icmp_socket.h"
#include "platform/probe_slots.h"
#include "platform/sockets.h"
#include "platform/system.h"

namespace platform {

namespace {

enum class SlotKind : std::uint8_t { kEcho, kConnect };

// What a probe in flight needs besides the shared bookkeeping.
struct Slot {
  SlotKind kind;
  std::uint16_t sequence;   // echo: the request's sequence number
  int socket;               // connect: its own socket
};

// Sequence numbers are 16 bits wide: one table maps each to the echo slot waiting for it.
constexpr int kSequenceCount = 65536;
// Room for what one read of the ICMP socket takes: the replies are only classified, and a
// longer packet is classified by its headers all the same.
constexpr std::size_t kPacketRoom = 2048;
// Room for the quote of an error queue entry: the echo header is all that is read.
constexpr std::size_t kQuotedRoom = 64;
// Bounds of one wait's reading, so that a flood of packets cannot hold the caller.
constexpr int kPacketsPerWait = 512;
// File descriptors kept free beyond the probes' own, for the program's other files.
constexpr rlim_t kSpareDescriptors = 64;

}  // namespace

struct ProbeService {
  int echo_socket;          // -1 when no ICMP socket could be opened
  int echo_error;           // errno of that failure
  bool raw;                 // a raw socket: packets carry the IP header; the identifier is ours
  std::uint16_t identifier;
  std::uint16_t next_sequence;
  int echoes_in_flight;
  ProbeSlots table;
  Slot* slots;
  std::int32_t* slot_of_sequence;  // -1: no echo waits for it
  pollfd* fds;              // room + 1: the ICMP socket and every connect
  int* fd_slot;
  std::uint8_t* packet;
};

namespace {

std::uint64_t now_ms() { return icmp_clock_ns() / 1000000ULL; }

std::uint64_t deadline_after(unsigned long timeout_ms) { return now_ms() + timeout_ms; }

// Every connect needs a descriptor of its own; raise the soft limit towards the hard one
// when the default (often 1024) would not hold them.
void make_room_for_descriptors(int room) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = static_cast<rlim_t>(room) + kSpareDescriptors;
  if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted) return;
  limit.rlim_cur = (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > wanted) ? wanted : limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

void settle(ProbeService* service, int index, ProbeOutcome outcome, unsigned long status,
            std::uint32_t from) {
  Slot& slot = service->slots[index];
  if (slot.kind == SlotKind::kEcho) {
    service->slot_of_sequence[slot.sequence] = -1;
    --service->echoes_in_flight;
  } else if (slot.socket >= 0) {
    if (outcome == ProbeOutcome::kAccepted) {
      // An abortive close: the peer's listener sees a reset rather than a half-open session,
      // and no TIME_WAIT state piles up here when thousands of probes are made.
      linger abortive{1, 0};
      setsockopt(slot.socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    close(slot.socket);
    slot.socket = -1;
  }
  probe_slot_settle(&service->table, index, outcome, status, from);
}

// A connect's outcome from its pending error.
void settle_connect(ProbeService* service, int index, int error) {
  if (error == 0) {
    settle(service, index, ProbeOutcome::kAccepted, 0, 0);
  } else if (error == ECONNREFUSED) {
    settle(service, index, ProbeOutcome::kRefused, static_cast<unsigned long>(socket_error_code(error)), 0);
  } else {
    settle(service, index, ProbeOutcome::kNoAnswer, static_cast<unsigned long>(socket_error_code(error)), 0);
  }
}

// The echo slot that waits for this sequence number, or -1.
int echo_slot(const ProbeService* service, const IcmpMatch& match) {
  if (!match.sequence_known) return -1;
  const int index = service->slot_of_sequence[match.sequence];
  if (index < 0 || !probe_slot_in_flight(service->table, index)) return -1;
  return index;
}

void take_match(ProbeService* service, const IcmpMatch& match, std::uint32_t from) {
  const int index = echo_slot(service, match);
  if (index < 0) return;  // late, or another service's
  if (match.outcome.answer == IcmpAnswer::kReply) {
    settle(service, index, ProbeOutcome::kEchoReply, 0, from);
  } else if (match.outcome.answer == IcmpAnswer::kError) {
    settle(service, index, ProbeOutcome::kEchoNoReply, match.outcome.status, 0);
  }
}

// Reads what the ICMP socket holds: on a datagram socket first its error queue, where the
// kernel puts the ICMP errors answering our requests (poll reports POLLERR for as long as the
// queue holds an entry, so it is emptied each time), then the replies.
void read_echo_socket(ProbeService* service) {
  for (int i = 0; !service->raw && i < kPacketsPerWait; ++i) {
    std::uint8_t quoted[kQuotedRoom];
    QueuedError entry{};
    const int read = read_queued_error(service->echo_socket, quoted, sizeof quoted, &entry);
    if (read == kQueueEmpty) break;
    if (read == kQueueEntry) take_match(service, match_queued_error(entry), 0);
  }
  for (int i = 0; i < kPacketsPerWait; ++i) {
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t n = recvfrom(service->echo_socket, service->packet, kPacketRoom, MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &from_size);
    if (n < 0) {
      // A pending error is reported once by a failed receive; the packets behind it remain.
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || service->raw) break;
      continue;
    }
    const IcmpMatch match = match_packet(service->raw, service->identifier, service->packet,
                                         static_cast<std::size_t>(n));
    take_match(service, match, from.sin_addr.s_addr);
  }
}

// Probes whose time is up settle as unanswered.
void expire(ProbeService* service) {
  const std::uint64_t now = now_ms();
  for (int i = 0; i < service->table.room; ++i) {
    if (!probe_slot_overdue(service->table, i, now)) continue;
    if (service->slots[i].kind == SlotKind::kEcho) {
      settle(service, i, ProbeOutcome::kEchoNoReply, kEchoTimedOut, 0);
    } else {
      settle(service, i, ProbeOutcome::kNoAnswer, kProbeConnectTimedOut, 0);
    }
  }
}

void free_service(ProbeService* service) {
  probe_slots_release_memory(&service->table);
  std::free(service->slots);
  std::free(service->slot_of_sequence);
  std::free(service->fds);
  std::free(service->fd_slot);
  std::free(service->packet);
  std::free(service);
}

}  // namespace

ProbeHandle probes_open(int room) {
  if (room <= 0) {
    set_last_error(EINVAL);
    return nullptr;
  }
  ProbeService* service = static_cast<ProbeService*>(std::calloc(1, sizeof(ProbeService)));
  if (service == nullptr) {
    set_last_error(ENOMEM);
    return nullptr;
  }
  const std::size_t count = static_cast<std::size_t>(room);
  const bool table = probe_slots_open(&service->table, room);
  service->slots = static_cast<Slot*>(std::calloc(count, sizeof(Slot)));
  service->slot_of_sequence = static_cast<std::int32_t*>(std::malloc(kSequenceCount * sizeof(std::int32_t)));
  service->fds = static_cast<pollfd*>(std::calloc(count + 1, sizeof(pollfd)));
  service->fd_slot = static_cast<int*>(std::calloc(count + 1, sizeof(int)));
  service->packet = static_cast<std::uint8_t*>(std::malloc(kPacketRoom));
  if (!table || service->slots == nullptr || service->slot_of_sequence == nullptr || service->fds == nullptr ||
      service->fd_slot == nullptr || service->packet == nullptr) {
    free_service(service);
    set_last_error(ENOMEM);
    return nullptr;
  }
  for (int i = 0; i < room; ++i) service->slots[i].socket = -1;
  for (int i = 0; i < kSequenceCount; ++i) service->slot_of_sequence[i] = -1;
  service->echo_socket = open_icmp_socket(SOCK_NONBLOCK, &service->raw, &service->echo_error);
  service->identifier = icmp_identifier();
  make_room_for_descriptors(room);
  return service;
}

void probes_close(ProbeHandle probes) {
  if (probes == nullptr) return;
  for (int i = 0; i < probes->table.room; ++i) {
    if (probes->slots[i].socket >= 0) close(probes->slots[i].socket);
  }
  if (probes->echo_socket >= 0) close(probes->echo_socket);
  free_service(probes);
}

bool probes_echo_available(ProbeHandle probes, unsigned long* error) {
  if (probes == nullptr) {
    if (error != nullptr) *error = EBADF;
    return false;
  }
  if (probes->echo_socket >= 0) return true;
  if (error != nullptr) *error = static_cast<unsigned long>(probes->echo_error);
  return false;
}

bool probe_echo(ProbeHandle probes, std::uint32_t token, std::uint32_t address,
                const void* payload, std::uint16_t size, unsigned long timeout_ms) {
  if (probes == nullptr || (payload == nullptr && size > 0)) {
    set_last_error(probes == nullptr ? EBADF : EINVAL);
    return false;
  }
  if (probes->echo_socket < 0) {
    set_last_error(static_cast<unsigned long>(probes->echo_error));
    return false;
  }
  if (address == 0) {
    // 0.0.0.0 names no host; the echo service refuses it too.
    set_last_error(kEchoGeneralFailure);
    return false;
  }
  if (probes->echoes_in_flight >= kSequenceCount) {
    set_last_error(ENOBUFS);
    return false;
  }
  const int index = probe_slot_take(&probes->table, token, deadline_after(timeout_ms));
  if (index < 0) {
    set_last_error(ENOBUFS);
    return false;
  }
  // The next sequence number no request in flight still waits for.
  std::uint16_t sequence = probes->next_sequence;
  while (probes->slot_of_sequence[sequence] >= 0) sequence = static_cast<std::uint16_t>(sequence + 1);
  probes->next_sequence = static_cast<std::uint16_t>(sequence + 1);

  std::uint8_t* request = static_cast<std::uint8_t*>(std::malloc(kIcmpHeaderSize + size));
  if (request == nullptr) {
    probe_slot_release(&probes->table, index);
    set_last_error(ENOMEM);
    return false;
  }
  const std::size_t length = build_echo_request(request, probes->identifier, sequence, payload, size);
  probes->slots[index] = Slot{SlotKind::kEcho, sequence, -1};
  probes->slot_of_sequence[sequence] = index;
  ++probes->echoes_in_flight;

  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  ssize_t sent;
  do {
    sent = sendto(probes->echo_socket, request, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (sent < 0 && errno == EINTR);
  const int send_error = errno;
  std::free(request);
  if (sent < 0) settle(probes, index, ProbeOutcome::kEchoNoReply, static_cast<unsigned long>(send_error), 0);
  return true;
}

bool probe_connect(ProbeHandle probes, std::uint32_t token, std::uint32_t address,
                   std::uint16_t port, unsigned long timeout_ms) {
  if (probes == nullptr) {
    set_last_error(EBADF);
    return false;
  }
  const int index = probe_slot_take(&probes->table, token, deadline_after(timeout_ms));
  if (index < 0) {
    set_last_error(ENOBUFS);
    return false;
  }
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) {
    const int error = errno;
    probe_slot_release(&probes->table, index);
    set_last_error(static_cast<unsigned long>(error));
    return false;
  }
  probes->slots[index] = Slot{SlotKind::kConnect, 0, s};
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(port);
  int result;
  do {
    result = connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (result < 0 && errno == EINTR);
  // A connect to this host's own address may be settled at once; the rest goes on.
  if (result == 0) {
    settle_connect(probes, index, 0);
  } else if (errno != EINPROGRESS) {
    settle_connect(probes, index, errno);
  }
  return true;
}

int probes_wait(ProbeHandle probes, int timeout_ms, ProbeResult* results, int room) {
  if (probes == nullptr || results == nullptr || room <= 0) {
    set_last_error(probes == nullptr ? EBADF : EINVAL);
    return -1;
  }
  int count = 0;
  if (probes->echo_socket >= 0 && probes->echoes_in_flight > 0) {
    probes->fds[count] = pollfd{probes->echo_socket, POLLIN, 0};
    probes->fd_slot[count++] = -1;
  }
  for (int i = 0; i < probes->table.room; ++i) {
    const Slot& slot = probes->slots[i];
    if (!probe_slot_in_flight(probes->table, i) || slot.kind != SlotKind::kConnect) continue;
    probes->fds[count] = pollfd{slot.socket, POLLOUT, 0};
    probes->fd_slot[count++] = i;
  }
  const int ready = poll(probes->fds, static_cast<nfds_t>(count),
                         probe_slots_wait_ms(probes->table, now_ms(), timeout_ms));
  if (ready < 0 && errno != EINTR) {
    set_last_error(static_cast<unsigned long>(errno));
    return -1;
  }
  for (int f = 0; ready > 0 && f < count; ++f) {
    if (probes->fds[f].revents == 0) continue;
    const int index = probes->fd_slot[f];
    if (index < 0) {
      read_echo_socket(probes);
      continue;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(probes->slots[index].socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    settle_connect(probes, index, error);
  }
  expire(probes);
  return probe_slots_collect(&probes->table, results, room);
}

int probes_in_flight(ProbeHandle probes) {
  return probes == nullptr ? 0 : probe_slots_in_use(probes->table);
}

}  // namespace platform
