// Composing wake packets and sending them over UDP from the dialog; the process-wide sender settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/wake_packet.h"
#include "common/wake_send.h"

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

// The wire format is the one both programs share.
using wake::BroadcastAddress;
using wake::ComposeWakePacket;
using wake::WakeExtras;

// The destination port of a port setting: its low 16 bits, in network byte order.
std::uint16_t DestinationPort(std::int32_t port);

// The header length of the sender settings as a datagram has it: 16, or 0 when switched off.
int SettingsHeaderLength(const SenderSettings& settings);

// Sends the kinds selected by `send_flags` (the broadcast magic packet to the subnet-directed
// broadcast address first, then one datagram to the target itself) with the process's sender
// settings. Both sockets are opened, and the broadcast one given its permission, on every call.
// Failures are shown in message boxes with the Winsock text of the failed step. Returns whether
// every datagram the flags select went out whole. The caller has started the socket layer.
bool SendWakePackets(std::int32_t send_flags, std::uint32_t address, std::uint32_t mask,
                     const std::uint8_t mac[6]);
