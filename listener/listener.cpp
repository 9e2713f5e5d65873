// pilvorne's run: start-up, the receive loop and the shutdown.
#include <cstdio>
#include <cstring>

#include "listener/listener.h"
#include "listener/texts.h"
#include "platform/system.h"

namespace listener {

namespace {
// Both lines of one datagram: time stamp, label, MAC, address and length.
constexpr std::size_t kEntrySize = 256;
}  // namespace

void ReceiveLoop(SOCKET s, FILE* out) {
  unsigned char buffer[kReceiveBufferSize];
  char entry[kEntrySize];
  for (;;) {
    platform::DatagramInfo info{};
    if (!platform::receive_datagram(s, buffer, kReceiveBufferSize, &info)) return;
    int n = FormatDatagramEntry(entry, sizeof entry, CurrentTimeStamp(), buffer, info);
    // Both lines in one write, flushed at once, so that a pipe or a file sees each
    // datagram as it arrives.
    std::fwrite(entry, 1, static_cast<std::size_t>(n), out);
    std::fflush(out);
  }
}

int RunListener(int argc, char* const* argv) {
  char path[platform::kPathRoom];
  if (platform::module_path(path, sizeof path) != 0) {
    ReadVersionText(path, g_listener.version_field + kVersionPrefixLength);
  }

  int code = ParseListenerCommandLine(argc, argv, stdout, stderr);
  if (code != 0) return code;

  if (!platform::socket_startup(1, 1)) return kExitStartupFailed;
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return kExitSocketFailed;

  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(static_cast<unsigned short>(g_listener.port & 0xFFFF));
  if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
    int error = platform::last_socket_error();
    std::fprintf(stderr, kBindFailedFormat, error);
    std::fflush(stderr);
    return kExitBindFailed;
  }

  std::fprintf(stdout, kListeningFormat, g_listener.port);
  std::fflush(stdout);

  ReceiveLoop(s, stdout);

  shutdown(s, SD_RECEIVE);
  closesocket(s);
  platform::socket_cleanup();
  return kExitUsage;
}

}  // namespace listener
