// Addresses to send a wake to, read strictly from text: the dotted quad's four parts, IPv6 through the system's reader.
#include "common/wake_address.h"

#include <cstring>

#include "platform/sockets.h"  // inet_pton

namespace wake {

namespace {

constexpr int kIpGroups = 4;
constexpr int kIpv6TextRoom = 46;  // INET6_ADDRSTRLEN: the longest IPv6 text and its terminator

}  // namespace

bool ReadDottedQuad(const char* text, std::uint8_t parts[4]) {
  if (text == nullptr) return false;
  for (int part = 0; part < kIpGroups; ++part) {
    if (part > 0 && *text++ != '.') return false;
    unsigned value = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
      if (++digits > 3) return false;
      value = value * 10 + static_cast<unsigned>(*text - '0');
    }
    if (digits == 0 || value > 255) return false;
    parts[part] = static_cast<std::uint8_t>(value);
  }
  return *text == '\0';
}

bool ReadWakeAddress(const char* text, WakeAddress* out) {
  if (text == nullptr) return false;
  *out = WakeAddress{AddressFamily::kNone, 0, {}, nullptr};
  std::uint8_t parts[kIpGroups];
  if (ReadDottedQuad(text, parts)) {
    out->family = AddressFamily::kIpv4;
    std::memcpy(&out->ipv4, parts, sizeof out->ipv4);
    return true;
  }
  // IPv6: the address up to an optional '%', then a non-empty scope.
  char address[kIpv6TextRoom];
  const char* percent = std::strchr(text, '%');
  const std::size_t length = percent != nullptr ? static_cast<std::size_t>(percent - text) : std::strlen(text);
  if (length == 0 || length >= sizeof address || std::strchr(text, ':') == nullptr) return false;
  std::memcpy(address, text, length);
  address[length] = '\0';
  if (inet_pton(AF_INET6, address, out->ipv6) != 1) return false;
  if (percent != nullptr) {
    if (percent[1] == '\0') return false;
    out->scope = percent + 1;
  }
  out->family = AddressFamily::kIpv6;
  return true;
}

bool Ipv6NeedsScope(const std::uint8_t ipv6[16]) {
  return (ipv6[0] == 0xFE && (ipv6[1] & 0xC0) == 0x80) || (ipv6[0] == 0xFF && (ipv6[1] & 0x0F) <= 2);
}

}  // namespace wake
