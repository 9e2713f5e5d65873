// The texts of addresses both programs print: IPv4 dotted, IPv6 in its shortest form, MAC with colons.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ip_address.h"

namespace wake {

constexpr std::size_t kMacTextRoom = 18;   // "00:11:22:33:44:55" and its terminator
constexpr std::size_t kIpTextRoom = 46;    // the longest IPv6 text and its terminator

// "%d.%d.%d.%d" for IPv4 (its bytes in network order), the shortest text (RFC 5952) for IPv6,
// "" when the family is 0; cut to `size`.
void FormatIpText(const platform::IpAddress& address, char* text, std::size_t size);

// "%02X:%02X:%02X:%02X:%02X:%02X" into `text`, which holds kMacTextRoom bytes.
void FormatMacText(const std::uint8_t mac[6], char* text);

// An IPv4 address in network byte order as the neutral record.
platform::IpAddress Ipv4Address(std::uint32_t address);

}  // namespace wake
