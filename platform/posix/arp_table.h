// POSIX-only: the reading of one line of the kernel's ARP table (/proc/net/arp), apart for its tests and fuzzing.
#pragma once

#include <cstdint>

#include "platform/neighbours.h"

namespace platform {

// Reads "aa:bb:cc:..." (hexadecimal bytes joined by ':') into `out`, cleared first; returns
// the number of bytes read, at most 8.
std::uint32_t parse_hardware_address(const char* text, std::uint8_t out[8]);

// Reads one line of /proc/net/arp ("IP address  HW type  Flags  HW address  Mask  Device")
// into `row`. False for a line that is not such a row (the heading, or anything the kernel
// would not write).
bool parse_arp_line(const char* line, NeighbourRow* row);

}  // namespace platform
