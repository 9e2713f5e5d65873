// Fuzzes the address parsers: MAC and IPv4 text, narrow and 16-bit, and the dotted-quad test.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "sender/address.h"

namespace {

std::u16string Widen(const std::string& text) {
  std::u16string wide;
  for (char c : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return wide;
}

void CheckMac(const char* text) {
  std::uint8_t mac[6];
  ParseMacAddress(text, mac);
  // The formatter's text is the canonical form: it parses back to the same bytes.
  char formatted[kAddressTextRoom];
  FormatMacAddress(formatted, mac);
  fuzz::Check(std::strlen(formatted) == 17);
  std::uint8_t again[6];
  ParseMacAddress(formatted, again);
  fuzz::Check(std::memcmp(mac, again, sizeof mac) == 0);

  // Without a '-' the 16-bit reader sees the same groups as the narrow one.
  const std::u16string wide = Widen(text);
  std::uint8_t from_wide[6];
  ParseMacAddressW(wide.c_str(), from_wide);
  if (std::strchr(text, '-') == nullptr) fuzz::Check(std::memcmp(mac, from_wide, sizeof mac) == 0);
}

void CheckIp(const char* text) {
  const std::uint32_t address = ParseIpAddress(text);
  const std::u16string wide = Widen(text);
  fuzz::Check(ParseIpAddressW(wide.c_str()) == address);

  // The reversed reading holds the same bytes, first group most significant.
  std::uint8_t b[4];
  std::memcpy(b, &address, sizeof b);
  const std::uint32_t expected = (static_cast<std::uint32_t>(b[0]) << 24) |
                                 (static_cast<std::uint32_t>(b[1]) << 16) |
                                 (static_cast<std::uint32_t>(b[2]) << 8) | b[3];
  fuzz::Check(ParseIpAddressReversed(text) == expected);

  char formatted[kAddressTextRoom];
  FormatIpAddress(formatted, address);
  fuzz::Check(std::strlen(formatted) <= 15);
  fuzz::Check(IsDottedQuad(formatted));
  fuzz::Check(ParseIpAddress(formatted) == address);
  char16_t formatted_wide[kAddressTextRoom];
  FormatIpAddressW(formatted_wide, address);
  fuzz::Check(ParseIpAddressW(formatted_wide) == address);

  if (IsDottedQuad(text)) {
    int dots = 0;
    for (const char* p = text; *p != '\0'; ++p) {
      fuzz::Check(*p == '.' || (*p >= '0' && *p <= '9'));
      dots += *p == '.';
    }
    fuzz::Check(dots == 3);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  CheckMac(text.c_str());
  CheckIp(text.c_str());
  return 0;
}
