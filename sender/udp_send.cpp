// The silent send's UDP datagrams: each planned, then sent through the one send path over the plan's channels.
#include "common/wake_send.h"
#include "platform/ui.h"
#include "sender/error_text.h"
#include "sender/message_box.h"
#include "sender/send_plan.h"
#include "sender/wake_packet.h"

namespace {

const char* SendCaption(int kind) {
  switch (kind) {
    case wake::kSendShortUnsuspend: return kSendUnsuspendedErrCaption;
    case wake::kSendDirectMagic: return kSendDirectErrCaption;
    default: return kSendMagicErrCaption;
  }
}

}  // namespace

// One socket per way out serves every target: a datagram to one host that an ICMP error
// answers does not fail the next, since the sockets are not connected.
bool SendTargetDatagram(const SendOptions& options, SendPlan* plan, const WakeTarget& target, std::uint32_t sequence) {
  wake::WakeDatagram datagram;
  const WakeAddress* given = nullptr;
  PlanDatagram(options, *plan, target, sequence, &datagram, &given);
  const wake::SendResult result = wake::SendWakeDatagram(&plan->channels, datagram);
  if (result.broadcast_error != 0) {
    ShowMessageBox(nullptr, WinsockErrorText(static_cast<std::uint32_t>(result.broadcast_error)), kSolSocketErrCaption,
                   platform::kMessageBoxOk);
  }
  if (!result.sent) {
    ReportSendFailure(*plan, target, SendCaption(options.kind), result.send_error);
  } else if (options.verbose) {
    PrintVerboseDatagram(*plan, datagram, result, given, target);
  }
  return result.sent;
}
