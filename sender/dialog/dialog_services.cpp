// The services the dialog runs for the operator: the real sender, lookups and platform.
#include "sender/dialog/dialog.h"

#include "platform/host.h"
#include "sender/target_resolution.h"
#include "sender/wake_packet.h"

namespace dialog {

namespace {

void SendWake(int send_flags, std::uint32_t address, std::uint32_t mask, const std::uint8_t* mac) {
  SendWakePackets(send_flags, address, mask, mac);
}

int LookupMac(const char* ip_text, char* mac_text) {
  return static_cast<int>(LookupMacAddress(ip_text, mac_text));
}

}  // namespace

const DialogServices kRealDialogServices = {SendWake, LookupMac, platform::lookup_host_ipv4};

}  // namespace dialog
