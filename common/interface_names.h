// The names both programs show for an interface, looked up in the interface list's records.
#pragma once

#include <cstdint>

#include "platform/interfaces.h"

namespace wake {

// The name of the interface with index `index`: its own record's (an address's may be a label),
// else the first of its addresses that has one; nullptr when no record names it.
const char* InterfaceNameOf(const platform::InterfaceRecord* records, int count, unsigned index);

// The name of the IPv4 record with this address (network byte order); nullptr when none has one.
const char* Ipv4InterfaceName(const platform::InterfaceRecord* records, int count, std::uint32_t address);

}  // namespace wake
