// The dialog's sends: the kinds of one call, each datagram through the one send path, each failure in its box.
#include "sender/wake_packet.h"

#include "common/address_text.h"
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

// Shows a send failure with the text of the socket error its step left.
void ShowSendFailure(platform::Window owner, const char* caption, int error) {
  ShowMessageBox(owner, WinsockErrorText(static_cast<std::uint32_t>(error)), caption, platform::kMessageBoxOk);
}

}  // namespace

std::uint16_t DestinationPort(std::int32_t port) {
  return htons(static_cast<std::uint16_t>(static_cast<std::uint32_t>(port) & 0xFFFFu));
}

int SettingsHeaderLength(const SenderSettings& settings) {
  return settings.header_length != 0 ? static_cast<int>(wake::kHeaderLength) : 0;
}

bool SendWakePackets(std::int32_t send_flags, std::uint32_t address, std::uint32_t mask,
                     const std::uint8_t mac[6]) {
  bool all_sent = true;
  wake::WakeDatagram datagram{};
  datagram.header_length = SettingsHeaderLength(g_program.sender);
  datagram.mac = mac;
  datagram.port = ntohs(DestinationPort(g_program.sender.port));

  // Both sockets, the broadcast one with its permission, are opened on every call. A socket
  // that failed to open is not checked here: the option call or the send on it fails and is
  // reported.
  wake::SendChannels channels{};
  int broadcast_error = 0;
  wake::OpenChannel(&channels, wake::ChannelKey{AF_INET, true, 0, 0}, &broadcast_error);
  if (broadcast_error != 0) ShowSendFailure(nullptr, kSolSocketErrCaption, broadcast_error);
  int unused = 0;
  wake::OpenChannel(&channels, wake::ChannelKey{AF_INET, false, 0, 0}, &unused);

  if (send_flags & wake::kSendBroadcastMagic) {
    datagram.kind = wake::kSendBroadcastMagic;
    datagram.destination = wake::Ipv4Address(BroadcastAddress(address, mask));
    datagram.broadcast = true;
    const wake::SendResult result = wake::SendWakeDatagram(&channels, datagram);
    if (!result.sent) {
      ShowSendFailure(nullptr, kSendMagicErrCaption, result.send_error);
      all_sent = false;
    }
  }
  if (send_flags & (wake::kSendShortUnsuspend | wake::kSendDirectMagic)) {
    // The plain socket has no broadcast permission: a target address that is itself a broadcast
    // address fails there and is reported.
    datagram.kind = (send_flags & wake::kSendDirectMagic) ? wake::kSendDirectMagic : wake::kSendShortUnsuspend;
    datagram.destination = wake::Ipv4Address(address);
    datagram.broadcast = false;
    const wake::SendResult result = wake::SendWakeDatagram(&channels, datagram);
    all_sent = all_sent && result.sent;
    // Only a call for exactly one of these kinds looks at the outcome.
    if (!result.sent && send_flags == wake::kSendShortUnsuspend) {
      ShowSendFailure(g_program.main_dialog, kSendUnsuspendedErrCaption, result.send_error);
    } else if (!result.sent && send_flags == wake::kSendDirectMagic) {
      ShowSendFailure(g_program.main_dialog, kSendDirectErrCaption, result.send_error);
    }
  }
  wake::CloseChannels(&channels);
  return all_sent;
}
