// One wake composed and sent: a datagram to one destination over a channel, or a raw frame through one interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/wake_packet.h"
#include "platform/ip_address.h"
#include "platform/sockets.h"

namespace wake {

// What a datagram may carry besides its kind and MAC: the header's sequence number (0 leaves
// the reserved field zero; without the header it has nowhere to go) and a SecureOn password
// (4 or 6 bytes, magic packets only).
struct WakeExtras {
  std::uint32_t sequence;
  const std::uint8_t* password;  // nullptr: none
  std::size_t password_length;
};

// Writes one datagram of `kind` (one of the send flags 1, 2, 4) with a header of
// `header_length` bytes (16 or 0) into `buffer`, which holds at least kMaxDatagramLength
// bytes, and returns its length; 0 for any other kind or header length, and for a password
// of another length or on a short unsuspend datagram.
std::size_t ComposeWakePacket(int kind, int header_length, const std::uint8_t mac[6], const WakeExtras& extras,
                              std::uint8_t* buffer);
// The same without sequence number or password.
std::size_t ComposeWakePacket(int kind, int header_length, const std::uint8_t mac[6], std::uint8_t* buffer);

// (address AND mask) OR NOT mask, both in network byte order.
std::uint32_t BroadcastAddress(std::uint32_t address, std::uint32_t mask);

// How datagrams leave: the socket's family, whether they may go to a broadcast address, the
// interface the way out is pinned to, and the IPv4 source address the socket is bound to.
struct ChannelKey {
  int family;                  // AF_INET or AF_INET6
  bool broadcast;
  unsigned interface_index;    // 0: where routing sends it
  std::uint32_t source;        // IPv4, network byte order; 0: the system's choice
};

// One socket set up for a key and used for every datagram of that key. Its steps are each
// tried whatever the one before gave, as a socket that did not open fails them all, so that
// every failure is seen where it happens.
struct SendChannel {
  ChannelKey key;
  SOCKET socket;
  int setup_error;             // a failed pin or bind (Winsock code): every send on it fails with it
};

// The channels of one run of sends, opened on first use; a run that needs more than the room
// reuses the last one's place.
constexpr int kChannelRoom = 8;
struct SendChannels {
  SendChannel channels[kChannelRoom];
  int count;
};

// The channel of `key`: one opened before, or a new one. *broadcast_error is the Winsock code
// of a new channel's broadcast permission that could not be set (the socket is used all the
// same), else 0.
SendChannel* OpenChannel(SendChannels* channels, const ChannelKey& key, int* broadcast_error);
void CloseChannels(SendChannels* channels);

// One wake datagram: what it carries, where it goes, how it leaves.
struct WakeDatagram {
  int kind;                          // send flag 1, 2 or 4
  int header_length;                 // 16 or 0
  const std::uint8_t* mac;
  WakeExtras extras;
  platform::IpAddress destination;   // IPv4 or IPv6
  unsigned scope;                    // IPv6: the interface a scoped address belongs to; 0 none
  std::uint16_t port;                // host byte order
  bool broadcast;                    // the channel may send to a broadcast address
  unsigned interface_index;          // the way out pinned; 0: routing decides
  std::uint32_t source;              // IPv4 source address to bind, network byte order; 0 none
};

// How one send went.
struct SendResult {
  bool sent;                  // the whole datagram went out
  std::size_t length;         // its length
  int broadcast_error;        // as OpenChannel's, for a channel opened for this datagram
  int send_error;             // when not sent: the Winsock code of the step that failed
  const SendChannel* channel; // what it went over
};

// Composes the datagram and sends it whole over the channel of its way out.
SendResult SendWakeDatagram(SendChannels* channels, const WakeDatagram& datagram);

// The datagram's destination as a socket address; returns its length.
int DestinationAddress(const WakeDatagram& datagram, sockaddr_storage* address);

// The address and port the channel's datagrams to `destination` leave from (a socket set up
// like the channel's, connected to it): what /Verbose shows. False when it cannot be told.
bool ChannelSource(const SendChannel& channel, const sockaddr_storage& destination, int destination_length,
                   sockaddr_storage* source);

// The raw Ethernet wake frame for `mac` (the magic packet and a password, never the header)
// to the Ethernet broadcast address through interface `interface_index`, on a socket from
// platform::open_ether_socket. True when it went out whole; otherwise false with the last
// socket error set. *length receives the payload's length.
bool SendWakeFrame(SOCKET ether_socket, unsigned interface_index, const std::uint8_t mac[6],
                   const WakeExtras& extras, std::size_t* length);

}  // namespace wake
