// Where a relayed wake went, as both programs write it: the relay's log line and kestrava's /Verbose line.
#pragma once

#include <cstddef>

#include "common/relay_request.h"

namespace wake {

// "192.0.2.255 port 9 on eth0, 3 datagrams": each subnet listed (its broadcast address, the
// ports, "and EtherType 0x0842" where the frame went, the interface), how many more were not
// listed, and the datagrams and frames sent. Cut to `room`.
void FormatRelayedTo(const RelayAck& ack, char* text, std::size_t room);

}  // namespace wake
