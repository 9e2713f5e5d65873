// The silent send's raw Ethernet wake frames, through the interface the plan names.
#include "common/wake_send.h"
#include "platform/system.h"
#include "sender/send_plan.h"
#include "sender/send_texts.h"

bool SendTargetFrame(const SendOptions& options, const SendPlan& plan, const WakeTarget& target) {
  const int through = FrameInterface(plan, target);
  if (through < 0 || plan.interfaces[through].index == 0) {
    ReportLine("%s", send_texts::kEtherNoInterface);
    return false;
  }
  const platform::InterfaceRecord& interface = plan.interfaces[through];
  const wake::WakeExtras extras{0, options.password_length != 0 ? options.password : nullptr, options.password_length};
  std::size_t length = 0;
  if (!wake::SendWakeFrame(plan.ether_socket, interface.index, target.mac, extras, &length)) {
    ReportSendFailure(plan, target, send_texts::kSendEtherErrCaption, 0);
    return false;
  }
  if (options.verbose) PrintVerboseFrame(interface, length, target);
  return true;
}
