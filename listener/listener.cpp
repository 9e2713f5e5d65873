// pilvorne's run: start-up, the receive loop and the shutdown.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "listener/inspect.h"
#include "listener/listener.h"
#include "listener/readiness.h"
#include "listener/relay_key_file.h"
#include "listener/relay_run.h"
#include "listener/texts.h"
#include "platform/datagram.h"
#include "platform/system.h"
#include "platform/waiting.h"

namespace listener {

namespace {
// Both lines of one datagram: time stamp, label, MAC, address and length.
constexpr std::size_t kEntrySize = 256;
}  // namespace

bool FlushOutput(FILE* out) {
  // An error stays set on the stream, so one from an earlier write is seen here too.
  if (std::fflush(out) == 0 && !std::ferror(out)) return true;
  // A stop request interrupted the write: the run ends as the signal does, with nothing to add.
  if (platform::stop_requested()) return false;
  // EINTR: the time of the run interrupted a write that nobody took in.
  std::fprintf(stderr, kWriteFailedFormat, errno == EINTR ? kOutputStayedBlocked : std::strerror(errno));
  std::fflush(stderr);
  return false;
}

bool WriteOutput(const char* text, std::size_t size, FILE* out) {
  // Flushed at once, so that a pipe or a file sees each datagram as it arrives.
  if (std::fwrite(text, 1, size, out) == size && !g_listener.flush_each_entry) return true;
  return FlushOutput(out);
}

void ReceiveLoop(SOCKET s, FILE* out) {
  unsigned char buffer[kReceiveBufferSize];
  char entry[kEntrySize];
  for (;;) {
    platform::ReceivedDatagram info{};
    if (!platform::receive_datagram(s, buffer, kReceiveBufferSize, false, &info)) return;
    Observation o{};
    ObserveDatagram(info, buffer, &o);
    ClassifyObservation(&o);
    TextLine line{entry, sizeof entry, 0};
    AppendEntryLines(&line, CurrentTimeStamp(), o, false);
    // Both lines in one write.
    if (!WriteOutput(entry, line.length, out)) return;
  }
}

int RunListener(int argc, char* const* argv) {
  char path[platform::kPathRoom];
  if (platform::module_path(path, sizeof path) != 0) {
    ReadVersionText(path, g_listener.version_field + kVersionPrefixLength);
  }

  const ListenerCommandLine line = ParseListenerCommandLine(argc, argv, g_listener.version_field, stdout, stderr);
  if (line.exit_code != 0 || line.finished) return line.exit_code;
  if (line.new_key_path != nullptr) return WriteNewRelayKey(line.new_key_path, stdout, stderr);
  g_listener.port = line.port;
  g_listener.options = line.options;
  if (line.check || line.enable) return RunReadiness(line);
  if (line.relay.relay) return RunRelay(line);

  const InspectOptions& options = g_listener.options;
  if (options.any || options.read_path != nullptr) return InspectCapture();
  // The plain listener needs nothing past Winsock 1.1; the inspector's WSARecvMsg does.
  const bool inspecting = Inspecting();
  const int version = inspecting ? 2 : 1;
  if (!platform::socket_startup(version, version)) return kExitStartupFailed;
  const int family = options.ipv6 ? AF_INET6 : AF_INET;
  SOCKET s = socket(family, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return kExitSocketFailed;
  platform::enlarge_receive_buffer(s, kReceiveQueueBytes);

  const unsigned short port = htons(static_cast<unsigned short>(g_listener.port & 0xFFFF));
  sockaddr_in local{};
  sockaddr_in6 local6{};
  const sockaddr* address = reinterpret_cast<const sockaddr*>(&local);
  int address_length = sizeof local;
  if (options.ipv6) {
    // Dual-stack: IPv4 datagrams arrive on the same socket as IPv4-mapped senders.
    const int off = 0;
    setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&off), sizeof off);
    local6.sin6_family = AF_INET6;
    local6.sin6_addr = in6addr_any;
    local6.sin6_port = port;
    address = reinterpret_cast<const sockaddr*>(&local6);
    address_length = sizeof local6;
  } else {
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = port;
  }
  if (bind(s, address, address_length) == SOCKET_ERROR) {
    int error = platform::last_socket_error();
    std::fprintf(stderr, kBindFailedFormat, error);
    std::fflush(stderr);
    return kExitBindFailed;
  }

  int code = kExitUsage;
  if (inspecting) {
    bool drops_counted = false;
    platform::request_arrival_details(s, family, &drops_counted);
    code = InspectSocket(s, drops_counted);
  } else {
    char startup[64];
    int n = std::snprintf(startup, sizeof startup, kListeningFormat, g_listener.port);
    if (WriteOutput(startup, static_cast<std::size_t>(n), stdout)) ReceiveLoop(s, stdout);
  }

  shutdown(s, SD_RECEIVE);
  closesocket(s);
  platform::socket_cleanup();
  return code;
}

}  // namespace listener
