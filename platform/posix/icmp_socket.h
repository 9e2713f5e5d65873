// ICMP sockets of the POSIX echo services: opening one (datagram, else raw), its identifier, reading its error queue.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/posix/icmp_packet.h"

namespace platform {

// Opens an ICMP datagram ("ping") socket where net.ipv4.ping_group_range admits our group,
// else a raw ICMP socket (root or CAP_NET_RAW) that keeps only the ICMP types the services
// read. Returns the socket with *raw telling which, or -1 with *error set to the reason: the
// datagram socket's when the raw one was refused for lack of rights, so that the message names
// the unprivileged way. `flags` are added to the socket type (SOCK_NONBLOCK, say).
int open_icmp_socket(int flags, bool* raw, int* error);

// An identifier for the echo requests of one service: raw sockets of several processes see
// each other's replies, and two services of one process each other's, so it mixes the process
// id with the clock at the opening.
std::uint16_t icmp_identifier();

// What read_queued_error found.
constexpr int kQueueEmpty = 0;
constexpr int kQueueEntry = 1;          // *entry describes it
constexpr int kQueueUndescribed = 2;    // an entry without the kernel's description: skip it

// Reads one entry of a datagram socket's error queue without waiting (its quote points into
// `quoted`).
int read_queued_error(int socket, std::uint8_t* quoted, std::size_t quoted_room, QueuedError* entry);

// The monotonic clock in nanoseconds, for the services' own deadlines.
std::uint64_t icmp_clock_ns();

}  // namespace platform
