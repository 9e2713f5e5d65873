// Windows ICMP echo service: IcmpCreateFile, IcmpSendEcho, IcmpCloseHandle.
#include "platform/echo.h"

// winsock2.h must come before windows.h; iphlpapi.h brings the IPAddr type for icmpapi.h.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

namespace platform {

EchoHandle echo_open() {
  HANDLE handle = IcmpCreateFile();
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return handle;
}

unsigned long echo_send(EchoHandle handle, std::uint32_t address, const void* payload,
                        std::uint16_t size, void* reply, unsigned long reply_size,
                        unsigned long timeout_ms) {
  // IcmpSendEcho takes the payload as a writable pointer but only reads it.
  DWORD replies = IcmpSendEcho(static_cast<HANDLE>(handle), static_cast<IPAddr>(address),
                               const_cast<void*>(payload), size, nullptr, reply,
                               static_cast<DWORD>(reply_size), static_cast<DWORD>(timeout_ms));
  // An unreachable or time-exceeded answer comes back as a "reply" with that status: only a
  // real echo reply counts, so that a dead host never looks reachable.
  if (replies != 0 && reply != nullptr && reply_size >= sizeof(ICMP_ECHO_REPLY)) {
    const ICMP_ECHO_REPLY* first = static_cast<const ICMP_ECHO_REPLY*>(reply);
    if (first->Status != IP_SUCCESS) {
      SetLastError(first->Status);
      return 0;
    }
  }
  return replies;
}

bool echo_close(EchoHandle handle) {
  if (handle == nullptr) return false;
  return IcmpCloseHandle(static_cast<HANDLE>(handle)) != FALSE;
}

}  // namespace platform
