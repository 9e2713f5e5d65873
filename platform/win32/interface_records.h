// Windows-only: Winsock's INTERFACE_INFO records turned into the layer's neutral records.
#pragma once

#include "platform/interfaces.h"

#include <ws2ipdef.h>

namespace platform {

// Maps the records that WSAIoctl filled (`bytes_filled` bytes of `info`) onto at most `room`
// neutral records: whole records only. Returns the number of records written.
int interface_records_from_info(const INTERFACE_INFO* info, unsigned long bytes_filled,
                                InterfaceRecord* records, int room);

}  // namespace platform
