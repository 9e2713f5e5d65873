// Raw Ethernet frames of one EtherType through a chosen interface (Linux packet sockets).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sockets.h"

namespace platform {

// How opening the frame socket went.
enum class EtherOpen {
  kOpened,
  kNoPermission,  // the system allows raw frames only with CAP_NET_RAW (root)
  kUnsupported,   // this platform sends no raw frames (Windows)
  kFailed,        // any other failure; the last socket error tells why
};

// Opens a socket that sends raw Ethernet frames and receives none.
EtherOpen open_ether_socket(SOCKET* out);

// Sends one frame through the interface with index `interface_index`: destination MAC,
// the interface's own MAC as the source (the system fills it in), the EtherType (host byte
// order here, sent in network byte order), then the payload. True when the whole frame went
// out; otherwise false with the last socket error set.
bool send_ether_frame(SOCKET s, unsigned interface_index, const std::uint8_t destination[6],
                      std::uint16_t ether_type, const std::uint8_t* payload, std::size_t length);

}  // namespace platform
