// Composing wake packets and sending them over UDP; the process-wide sender settings.
#include "sender/wake_packet.h"

#include <cstring>

#include "platform/sockets.h"
#include "platform/ui.h"
#include "sender/error_text.h"
#include "sender/message_box.h"
#include "sender/program.h"

const char kInterfaceListErrCaption[] = "SIO_GET_INTERFACE_LIST err";
const char kSolSocketErrCaption[] = "SOL_SOCKET err";
const char kSendMagicErrCaption[] = "SendMagic err";
const char kSendUnsuspendedErrCaption[] = "SendUnsuspended err";
const char kSendDirectErrCaption[] = "SendDirect err";

namespace {

void PutLittleEndian32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
  at[2] = static_cast<std::uint8_t>(value >> 16);
  at[3] = static_cast<std::uint8_t>(value >> 24);
}

// True when the whole datagram went out.
bool SendDatagram(SOCKET s, const std::uint8_t* datagram, std::size_t length,
                  std::uint32_t address, std::int32_t port) {
  sockaddr_in destination;
  std::memset(&destination, 0, sizeof destination);
  destination.sin_family = AF_INET;
  destination.sin_port = DestinationPort(port);
  destination.sin_addr.s_addr = address;
  auto sent = sendto(s, reinterpret_cast<const char*>(datagram), static_cast<int>(length), 0,
                     reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
  return sent == static_cast<decltype(sent)>(length);
}

// Shows a send failure with the text of the socket error that the failing call just left.
void ShowSendFailure(platform::Window owner, const char* caption) {
  ShowMessageBox(owner, WinsockErrorText(0), caption, platform::kMessageBoxOk);
}

}  // namespace

std::size_t ComposeWakePacket(int kind, int header_length, const std::uint8_t mac[6],
                              const WakeExtras& extras, std::uint8_t* buffer) {
  std::size_t body_length;
  char tag_kind;
  switch (kind) {
    case wake::kSendBroadcastMagic:
      body_length = wake::kMagicBodyLength;
      tag_kind = wake::kHeaderTag[wake::kHeaderTagKindOffset];
      break;
    case wake::kSendShortUnsuspend:
      body_length = wake::kShortBodyLength;
      tag_kind = wake::kTagKindShortUnsuspend;
      break;
    case wake::kSendDirectMagic:
      body_length = wake::kDirectBodyLength;
      tag_kind = wake::kTagKindDirectMagic;
      break;
    default:
      return 0;
  }
  if (header_length != 0 && header_length != static_cast<int>(wake::kHeaderLength)) return 0;
  const std::size_t password_length = extras.password != nullptr ? extras.password_length : 0;
  if (password_length != 0 &&
      ((password_length != wake::kShortPasswordLength && password_length != wake::kLongPasswordLength) ||
       kind == wake::kSendShortUnsuspend)) {
    return 0;
  }
  const std::size_t h = static_cast<std::size_t>(header_length);
  const std::size_t length = h + body_length + password_length;

  if (h != 0) {
    std::memcpy(buffer + wake::kHeaderTagOffset, wake::kHeaderTag, wake::kHeaderTagLength);
    buffer[wake::kHeaderTagOffset + wake::kHeaderTagKindOffset] = static_cast<std::uint8_t>(tag_kind);
    PutLittleEndian32(buffer + wake::kHeaderLengthOffset, static_cast<std::uint32_t>(length));
    PutLittleEndian32(buffer + wake::kHeaderSequenceOffset, extras.sequence);
  }
  std::uint8_t* body = buffer + h;
  std::memset(body, wake::kSyncByte, wake::kSyncLength);
  const int copies = kind == wake::kSendShortUnsuspend ? 1 : wake::kMacRepeats;
  for (int i = 0; i < copies; ++i) {
    std::memcpy(body + wake::kMacOffset + static_cast<std::size_t>(i) * wake::kMacLength, mac,
                wake::kMacLength);
  }
  if (password_length != 0) {
    std::memcpy(body + wake::kPasswordOffset, extras.password, password_length);
  }
  // The direct magic packet's two trailing bytes carry nothing; they are sent as zeros so that
  // no stale memory leaves the host.
  if (kind == wake::kSendDirectMagic) {
    std::memset(body + wake::kMagicBodyLength + password_length, 0, wake::kDirectTrailerLength);
  }
  return length;
}

std::size_t ComposeWakePacket(int kind, int header_length, const std::uint8_t mac[6],
                              std::uint8_t* buffer) {
  return ComposeWakePacket(kind, header_length, mac, WakeExtras{0, nullptr, 0}, buffer);
}

std::uint32_t BroadcastAddress(std::uint32_t address, std::uint32_t mask) {
  return (address & mask) | ~mask;
}

std::uint16_t DestinationPort(std::int32_t port) {
  return htons(static_cast<std::uint16_t>(static_cast<std::uint32_t>(port) & 0xFFFFu));
}

bool SendWakePackets(std::int32_t send_flags, std::uint32_t address, std::uint32_t mask,
                     const std::uint8_t mac[6]) {
  bool all_sent = true;
  const int header_length =
      g_program.sender.header_length != 0 ? static_cast<int>(wake::kHeaderLength) : 0;
  const std::int32_t port = g_program.sender.port;
  const std::uint32_t broadcast = BroadcastAddress(address, mask);
  std::uint8_t datagram[wake::kMaxDatagramLength];

  // Both sockets are opened and the broadcast option set on every call. A socket that failed to
  // open is not checked here: the option call or the send on it fails and is reported.
  SOCKET broadcast_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const int on = 1;
  if (setsockopt(broadcast_socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                 sizeof on) != 0) {
    ShowSendFailure(nullptr, kSolSocketErrCaption);
  }
  SOCKET plain_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);

  if (send_flags & wake::kSendBroadcastMagic) {
    std::size_t length = ComposeWakePacket(wake::kSendBroadcastMagic, header_length, mac, datagram);
    if (!SendDatagram(broadcast_socket, datagram, length, broadcast, port)) {
      ShowSendFailure(nullptr, kSendMagicErrCaption);
      all_sent = false;
    }
  }
  if (broadcast_socket != INVALID_SOCKET) closesocket(broadcast_socket);

  if (send_flags & (wake::kSendShortUnsuspend | wake::kSendDirectMagic)) {
    const int kind = (send_flags & wake::kSendDirectMagic) ? wake::kSendDirectMagic
                                                           : wake::kSendShortUnsuspend;
    std::size_t length = ComposeWakePacket(kind, header_length, mac, datagram);
    const bool sent = SendDatagram(plain_socket, datagram, length, address, port);
    all_sent = all_sent && sent;
    // Only a call for exactly one of these kinds looks at the outcome.
    if (!sent && send_flags == wake::kSendShortUnsuspend) {
      ShowSendFailure(g_program.main_dialog, kSendUnsuspendedErrCaption);
    } else if (!sent && send_flags == wake::kSendDirectMagic) {
      ShowSendFailure(g_program.main_dialog, kSendDirectErrCaption);
    }
  }
  if (plain_socket != INVALID_SOCKET) closesocket(plain_socket);
  return all_sent;
}
