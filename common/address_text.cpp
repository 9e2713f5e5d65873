// The texts of addresses both programs print: IPv4 dotted, IPv6 in its shortest form, MAC with colons.
#include "common/address_text.h"

#include <cstdio>
#include <cstring>

namespace wake {

namespace {

constexpr char kIpv4Format[] = "%d.%d.%d.%d";
constexpr char kMacFormat[] = "%02X:%02X:%02X:%02X:%02X:%02X";

}  // namespace

void FormatIpText(const platform::IpAddress& address, char* text, std::size_t size) {
  if (size == 0) return;
  text[0] = '\0';
  const std::uint8_t* b = address.bytes;
  if (address.family == 4) {
    std::snprintf(text, size, kIpv4Format, b[0], b[1], b[2], b[3]);
    return;
  }
  if (address.family != 6) return;
  // The longest run of two or more zero groups (the first of equal runs) becomes "::"; the
  // groups in lower-case hexadecimal without leading zeros. The same text on every platform,
  // whatever its own inet_ntop writes.
  int groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = b[2 * i] << 8 | b[2 * i + 1];
  int best_start = -1, best_length = 1;
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > best_length) {
      best_start = i;
      best_length = j - i;
    }
    i = j > i ? j : i + 1;
  }
  std::size_t length = 0;
  for (int i = 0; i < 8 && length + 1 < size; ++i) {
    int n;
    if (i == best_start) {
      n = std::snprintf(text + length, size - length, "::");
      i += best_length - 1;
    } else {
      n = std::snprintf(text + length, size - length, (i == 0 || i == best_start + best_length) ? "%x" : ":%x",
                        groups[i]);
    }
    if (n < 0) break;
    length += static_cast<std::size_t>(n);
  }
}

void FormatMacText(const std::uint8_t mac[6], char* text) {
  std::snprintf(text, kMacTextRoom, kMacFormat, mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

platform::IpAddress Ipv4Address(std::uint32_t address) {
  platform::IpAddress ip{};
  ip.family = 4;
  std::memcpy(ip.bytes, &address, sizeof address);
  return ip;
}

}  // namespace wake
