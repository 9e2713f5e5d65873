// IPv4 and MAC addresses between text and bytes, the dotted-quad test and the local netmask.
#include "sender/address.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "common/address_text.h"
#include "common/ascii.h"
#include "common/number.h"
#include "platform/sockets.h"
#include "sender/program.h"

namespace {

constexpr int kIpTextSize = 16;    // "255.255.255.255" and its terminator
constexpr int kMacGroups = 6;
constexpr int kIpGroups = 4;

std::uint8_t Low8(std::int32_t value) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}

// Every character of a group gives the group's byte the value read from the group's start,
// so the value is read once per group: the result is the same and a long text stays linear.
template <typename Char>
void WalkMac(const Char* text, bool dash_separates, std::uint8_t out[6]) {
  int group = 0;
  const Char* start = text;
  const Char* read_from = nullptr;
  std::uint8_t value = 0;
  for (const Char* p = text;; ++p) {
    const Char c = *p;
    if (c == 0) break;
    const bool separator = c == ':' || (dash_separates && c == '-');
    if (!separator && !IsHexDigit(c)) break;
    if (group >= kMacGroups) break;
    if (read_from != start) {
      value = Low8(wake::ReadLong32(start, 16));
      read_from = start;
    }
    out[group] = value;
    if (separator) {
      ++group;
      start = p + 1;
    }
  }
}

// Fills bytes[0..3] with the groups of a dotted text in the order they are written.
template <typename Char>
void WalkIp(const Char* text, std::uint8_t bytes[4]) {
  int group = 0;
  const Char* start = text;
  const Char* read_from = nullptr;
  std::uint8_t value = 0;
  for (const Char* p = text;; ++p) {
    if (group >= kIpGroups) break;
    const Char c = *p;
    if (c == 0) break;
    if (c != '.' && !(c >= '0' && c <= '9')) break;
    if (read_from != start) {
      value = Low8(wake::ReadLong32(start, 10));
      read_from = start;
    }
    bytes[group] = value;
    if (c == '.') {
      ++group;
      start = p + 1;
    }
  }
}

template <typename Char>
std::uint32_t ParseIpAddressOf(const Char* text) {
  std::uint8_t bytes[kIpGroups] = {0, 0, 0, 0};
  if (text != nullptr) WalkIp(text, bytes);
  std::uint32_t address;
  std::memcpy(&address, bytes, sizeof address);  // first group first in memory
  return address;
}

}  // namespace

bool IsHexDigit(int c) { return wake::DigitValue(c) < 16; }

char* FormatMacAddress(char* out, const std::uint8_t mac[6]) {
  AddressTexts& texts = g_program.address_texts;
  if (out == nullptr) {
    out = texts.mac[texts.mac_turn];
    texts.mac_turn ^= 1;
  }
  wake::FormatMacText(mac, out);
  return out;
}

std::uint8_t* ParseMacAddress(const char* text, std::uint8_t out[6]) {
  std::memset(out, 0, kMacGroups);
  if (text != nullptr) WalkMac(text, true, out);
  return out;
}

std::uint8_t* ParseMacAddressW(const char16_t* text, std::uint8_t out[6]) {
  std::memset(out, 0, kMacGroups);
  if (text != nullptr) WalkMac(text, false, out);
  return out;
}

std::uint32_t ParseIpAddress(const char* text) { return ParseIpAddressOf(text); }

std::uint32_t ParseIpAddressW(const char16_t* text) { return ParseIpAddressOf(text); }

std::uint32_t ParseIpAddressReversed(const char* text) {
  std::uint8_t bytes[kIpGroups] = {0, 0, 0, 0};
  if (text != nullptr) WalkIp(text, bytes);
  return (static_cast<std::uint32_t>(bytes[0]) << 24) | (static_cast<std::uint32_t>(bytes[1]) << 16) |
         (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3];
}

char* FormatIpAddress(char* out, std::uint32_t address) {
  AddressTexts& texts = g_program.address_texts;
  if (out == nullptr) {
    out = texts.ip[texts.ip_turn];
    texts.ip_turn ^= 1;
  }
  wake::FormatIpText(wake::Ipv4Address(address), out, kIpTextSize);
  return out;
}

char16_t* FormatIpAddressW(char16_t* out, std::uint32_t address) {
  AddressTexts& texts = g_program.address_texts;
  if (out == nullptr) {
    out = texts.ip_wide[texts.ip_wide_turn];
    texts.ip_wide_turn ^= 1;
  }
  char narrow[kIpTextSize];
  FormatIpAddress(narrow, address);
  int i = 0;
  for (; narrow[i] != '\0'; ++i) out[i] = static_cast<char16_t>(narrow[i]);
  out[i] = 0;
  return out;
}

bool IsDottedQuad(const char* text) {
  if (text == nullptr) return false;
  int dots = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '.') {
      ++dots;
    } else if (*p < '0' || *p > '9') {
      return false;
    }
  }
  return dots == 3;
}

std::uint32_t PlatformDottedAddress(const char* text) {
  return text != nullptr ? static_cast<std::uint32_t>(inet_addr(text)) : INADDR_NONE;
}

int ChooseInterface(const platform::InterfaceRecord* records, int count) {
  // The rule sees the IPv4 records as Winsock's list holds them: the first ten.
  int seen = 0;
  int fallback = -1;
  for (int i = 0; i < count && seen < kInterfaceListRoom; ++i) {
    if (records[i].address.family != 4) continue;
    ++seen;
    if (records[i].flags == kNetmaskInterfaceFlags) return i;
    // No plain broadcast interface (a host with only point-to-point links, say): the first
    // interface that is up and not the loopback still gives a usable subnet.
    if (fallback < 0 && (records[i].flags & platform::kInterfaceUp) != 0 &&
        (records[i].flags & platform::kInterfaceLoopback) == 0) {
      fallback = i;
    }
  }
  return fallback;
}

std::uint32_t ChooseNetmask(const platform::InterfaceRecord* records, int count) {
  const int chosen = ChooseInterface(records, count);
  return chosen < 0 ? 0 : records[chosen].netmask;
}

int FindInterface(const platform::InterfaceRecord* records, int count, const char* text) {
  if (text == nullptr || *text == '\0') return -1;
  for (int i = 0; i < count; ++i) {
    if (records[i].address.family == 4 && std::strcmp(records[i].name, text) == 0) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (records[i].address.family == 4 && wake::EqualsNoCase(records[i].name, text)) return i;
  }
  std::uint8_t parts[kIpGroups];
  if (ReadDottedQuad(text, parts)) {
    std::uint32_t address;
    std::memcpy(&address, parts, sizeof address);
    for (int i = 0; i < count; ++i) {
      if (records[i].address.family == 4 && platform::ipv4_of(records[i]) == address) return i;
    }
  }
  return -1;
}

int InterfaceOfSubnet(const platform::InterfaceRecord* records, int count, std::uint32_t address) {
  for (int i = 0; i < count; ++i) {
    if (records[i].address.family == 4 && (records[i].flags & platform::kInterfaceUp) != 0 &&
        ((platform::ipv4_of(records[i]) ^ address) & records[i].netmask) == 0) {
      return i;
    }
  }
  return -1;
}

unsigned ScopeIndex(const platform::InterfaceRecord* records, int count, const char* scope) {
  if (scope == nullptr || *scope == '\0') return 0;
  if (scope[std::strspn(scope, "0123456789")] == '\0') {
    // A number is an interface's index: one that exists, and that a scope's 32 bits hold (a
    // larger one would wrap onto another interface).
    std::uint64_t index = 0;
    for (const char* digit = scope; *digit != '\0'; ++digit) {
      index = index * 10 + static_cast<unsigned>(*digit - '0');
      if (index > 0xFFFFFFFFu) return 0;
    }
    for (int i = 0; i < count; ++i) {
      if (index != 0 && records[i].index == index) return records[i].index;
    }
    return 0;
  }
  // A name exactly, then ignoring case; of the records of that name, an IPv6 address's index
  // first, since that is what the scope is for (Windows may number an adapter apart for IPv6).
  for (const bool exact : {true, false}) {
    unsigned found = 0;
    for (int i = 0; i < count; ++i) {
      const platform::InterfaceRecord& r = records[i];
      if (r.index == 0 || !(exact ? std::strcmp(r.name, scope) == 0 : wake::EqualsNoCase(r.name, scope))) continue;
      if (r.address.family == 6) return r.index;
      if (found == 0) found = r.index;
    }
    if (found != 0) return found;
  }
  return 0;
}

int QueryInterfaces(platform::InterfaceRecord* records, int room) {
  const int count = platform::query_interfaces(records, room);
  if (count < 0) return -1;
  return count > room ? room : count;
}

bool QueryLocalNetmask(std::uint32_t* mask) {
  *mask = 0;
  platform::InterfaceRecord records[kSendInterfaceRoom];
  const int count = QueryInterfaces(records, kSendInterfaceRoom);
  if (count < 0) return false;
  *mask = ChooseNetmask(records, count);
  return true;
}

std::uint32_t GetLocalNetmask() {
  std::uint32_t mask = 0;
  QueryLocalNetmask(&mask);
  return mask;
}
