// Host-name lookup (gethostbyname): the first IPv4 address of a name.
#pragma once

#include <cstdint>

namespace platform {

// Looks `name` up for IPv4 and stores its first address (network byte order) in *address.
// False when the name cannot be resolved (last socket error set); *address is then left
// unchanged.
bool lookup_host_ipv4(const char* name, std::uint32_t* address);

}  // namespace platform
