// Where a relayed wake went, written from its acknowledgement's fields alone, so that both ends of the relay say it alike.
#include "common/relay_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/printf_format.h"

namespace wake {

namespace {

constexpr char kAddressPortFormat[] = "%u.%u.%u.%u port";
constexpr char kPortsPlural[] = "s";
constexpr char kPortFormat[] = "%s %u";           // the separator before it, the port
constexpr char kPortSeparator[] = ",";
constexpr char kFrameAfterPorts[] = " and EtherType 0x0842";
constexpr char kFrameAlone[] = "EtherType 0x0842";
constexpr char kOnFormat[] = " on %s";
constexpr char kDestinationSeparator[] = ", ";
constexpr char kMoreSubnetsFormat[] = ", and %u more subnet%s";
constexpr char kDatagramsFormat[] = ", %lu datagram%s";

struct Writer {
  char* text;
  std::size_t room;
  std::size_t length;
};

void Put(Writer* w, const char* format, ...) TIDEWAKE_PRINTF(2, 3);
void Put(Writer* w, const char* format, ...) {
  if (w->length + 1 >= w->room) return;
  va_list arguments;
  va_start(arguments, format);
  const int n = std::vsnprintf(w->text + w->length, w->room - w->length, format, arguments);
  va_end(arguments);
  if (n > 0) {
    const std::size_t end = w->length + static_cast<std::size_t>(n);
    w->length = end < w->room ? end : w->room - 1;
  }
}

// Whether an earlier listed subnet has the same interface: the frame went on the first only.
bool InterfaceListedBefore(const RelayAck& ack, int i) {
  for (int j = 0; j < i; ++j) {
    if (std::strcmp(ack.destinations[j].name, ack.destinations[i].name) == 0) return true;
  }
  return false;
}

}  // namespace

void FormatRelayedTo(const RelayAck& ack, char* text, std::size_t room) {
  if (room == 0) return;
  text[0] = '\0';
  Writer w{text, room, 0};
  const bool broadcast = (ack.sent & kRelaySendBroadcast) != 0;
  const bool frame = (ack.sent & kRelaySendFrame) != 0;
  bool first = true;
  for (int i = 0; i < ack.listed && i < kAckMaxDestinations; ++i) {
    const RelayDestination& d = ack.destinations[i];
    const bool frame_here = frame && !InterfaceListedBefore(ack, i);
    // Frames alone: a second subnet of an interface got nothing of its own.
    if (!broadcast && !frame_here) continue;
    if (!first) Put(&w, "%s", kDestinationSeparator);
    first = false;
    if (broadcast) {
      Put(&w, kAddressPortFormat, d.address[0], d.address[1], d.address[2], d.address[3]);
      if (ack.port_count > 1) Put(&w, "%s", kPortsPlural);
      for (int p = 0; p < ack.port_count && p < kRelayMaxPorts; ++p) {
        Put(&w, kPortFormat, p > 0 ? kPortSeparator : "", static_cast<unsigned>(ack.ports[p]));
      }
      if (frame_here) Put(&w, "%s", kFrameAfterPorts);
    } else {
      Put(&w, "%s", kFrameAlone);
    }
    Put(&w, kOnFormat, d.name);
  }
  if (ack.subnets > ack.listed) {
    const unsigned more = static_cast<unsigned>(ack.subnets - ack.listed);
    Put(&w, kMoreSubnetsFormat, more, more == 1 ? "" : "s");
  }
  Put(&w, kDatagramsFormat, static_cast<unsigned long>(ack.datagrams), ack.datagrams == 1 ? "" : "s");
}

}  // namespace wake
