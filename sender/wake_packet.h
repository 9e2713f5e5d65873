// Composing wake packets and sending them over UDP; the process-wide sender settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/wake_packet.h"

// Settings every send uses (kept in the program record). Only the port's low 16 bits travel;
// the header length is 16, or 0 once the packet header is switched off.
struct SenderSettings {
  std::int32_t port;
  std::int32_t header_length;
};
constexpr std::int32_t kDefaultSenderPort = wake::kDefaultPort;
constexpr std::int32_t kDefaultHeaderLength = static_cast<std::int32_t>(wake::kHeaderLength);

// Message box captions of the send failures, and of a failed interface-list query.
extern const char kInterfaceListErrCaption[];
extern const char kSolSocketErrCaption[];
extern const char kSendMagicErrCaption[];
extern const char kSendUnsuspendedErrCaption[];
extern const char kSendDirectErrCaption[];

// What a datagram may carry besides its kind and MAC: the header's sequence number (0 leaves
// the reserved field zero; without the header it has nowhere to go) and a SecureOn password
// (4 or 6 bytes, magic packets only).
struct WakeExtras {
  std::uint32_t sequence;
  const std::uint8_t* password;  // nullptr: none
  std::size_t password_length;
};

// Writes one datagram of `kind` (one of the send flags 1, 2, 4) with a header of
// `header_length` bytes (16 or 0) into `buffer`, which holds at least wake::kMaxDatagramLength
// bytes, and returns its length; 0 for any other kind or header length, and for a password
// of another length or on a short unsuspend datagram.
std::size_t ComposeWakePacket(int kind, int header_length, const std::uint8_t mac[6],
                              const WakeExtras& extras, std::uint8_t* buffer);
// The same without sequence number or password.
std::size_t ComposeWakePacket(int kind, int header_length, const std::uint8_t mac[6],
                              std::uint8_t* buffer);

// (address AND mask) OR NOT mask, both in network byte order.
std::uint32_t BroadcastAddress(std::uint32_t address, std::uint32_t mask);

// The destination port of a port setting: its low 16 bits, in network byte order.
std::uint16_t DestinationPort(std::int32_t port);

// Sends the kinds selected by `send_flags` (the broadcast magic packet to the subnet-directed
// broadcast address first, then one datagram to the target itself) with the process's sender
// settings.
// Failures are shown in message boxes with the Winsock text of the last error. Returns whether
// every datagram the flags select went out whole. The caller has started the socket layer.
bool SendWakePackets(std::int32_t send_flags, std::uint32_t address, std::uint32_t mask,
                     const std::uint8_t mac[6]);
