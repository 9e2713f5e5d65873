// IPv4 and MAC addresses between text and bytes, the dotted-quad test and the local netmask.
//
// ParseMacAddressW, ParseIpAddressReversed, ParseIpAddressW, FormatIpAddressW and
// GetLocalNetmask (the programs ask QueryLocalNetmask, which reports a failed query) have no
// caller in the programs; they belong to the module's interface all the same and are kept and
// tested.
#pragma once

#include <cstdint>

#include "common/wake_address.h"
#include "platform/interfaces.h"
#include "platform/sockets.h"  // htonl and the socket types its callers use with it

// Room of the formatters' own result buffers (characters, 16-bit characters for the W form).
constexpr int kAddressTextRoom = 20;

// The formatters' own result buffers: two per formatter, taken in turn (the turn flips on
// every call without a buffer), so that two consecutive results stay valid together. Kept in
// the program record.
struct AddressTexts {
  char mac[2][kAddressTextRoom];
  int mac_turn;
  char ip[2][kAddressTextRoom];
  int ip_turn;
  char16_t ip_wide[2][kAddressTextRoom];
  int ip_wide_turn;
};
// IPv4 records the netmask rule looks at: the first ten, as many as Winsock's 760-byte room of
// 76-byte records holds.
constexpr int kInterfaceListRoom = 10;
// Records the interface list is read into (every address of every interface and one record per
// interface), so that /Interface and the scopes find an interface however many a host has
// (containers and bridges add many).
constexpr int kSendInterfaceRoom = 256;
// Flags word of the interface the netmask comes from: up, broadcast and multicast, and nothing else.
constexpr std::uint32_t kNetmaskInterfaceFlags =
    platform::kInterfaceUp | platform::kInterfaceBroadcast | platform::kInterfaceMulticast;

// True for '0'-'9', 'A'-'F' and 'a'-'f'; false for every other code, negative ones included.
bool IsHexDigit(int c);

// "%02X:%02X:%02X:%02X:%02X:%02X" of mac[0..5] into `out` (at least 18 characters), or, when
// `out` is nullptr, into one of two own buffers taken in turn (two consecutive results stay valid).
char* FormatMacAddress(char* out, const std::uint8_t mac[6]);

// Reads up to six hexadecimal groups separated by ':' or '-' into `out` (cleared first) and
// returns `out`. Never fails: what cannot be read stays 0. A nullptr text gives six zero bytes.
std::uint8_t* ParseMacAddress(const char* text, std::uint8_t out[6]);
// The same over 16-bit text, with ':' as the only separator.
std::uint8_t* ParseMacAddressW(const char16_t* text, std::uint8_t out[6]);

// Dotted text to a 32-bit address in network byte order (first group first in memory).
// Groups keep their low 8 bits, missing groups are 0, nullptr gives 0.
std::uint32_t ParseIpAddress(const char* text);
// The same walk, but the first group lands in the most significant byte (192.168.1.20 gives
// 0xC0A80114 on every machine).
std::uint32_t ParseIpAddressReversed(const char* text);
std::uint32_t ParseIpAddressW(const char16_t* text);

// "%d.%d.%d.%d" of the address's bytes in memory order into `out` (at least 16 characters),
// or into one of the formatter's two own buffers when `out` is nullptr.
char* FormatIpAddress(char* out, std::uint32_t address);
char16_t* FormatIpAddressW(char16_t* out, std::uint32_t address);

// True when the text holds only decimal digits and '.', with exactly three '.'.
bool IsDottedQuad(const char* text);

// The address the platform's own dotted-address conversion (inet_addr) reads, network byte
// order: besides a.b.c.d it takes fewer parts and octal or hexadecimal ones ("10.1",
// "0x7f.1"), as the system's tools do; INADDR_NONE, which is also 255.255.255.255, for a
// text it cannot read.
std::uint32_t PlatformDottedAddress(const char* text);

// The strict address readers are both programs' (common/wake_address.h); the sender names
// them as its own.
using wake::AddressFamily;
using wake::Ipv6NeedsScope;
using wake::ReadDottedQuad;
using wake::ReadWakeAddress;
using wake::WakeAddress;

// The IPv4 record the netmask comes from, among the first kInterfaceListRoom IPv4 records: the
// first whose flags are exactly up, broadcast and multicast; failing that, the first up,
// non-loopback one. -1 when there is none.
int ChooseInterface(const platform::InterfaceRecord* records, int count);

// The netmask of the record ChooseInterface picks; 0 when there is none (which makes every
// broadcast the limited broadcast 255.255.255.255).
std::uint32_t ChooseNetmask(const platform::InterfaceRecord* records, int count);

// The IPv4 record a user means by `text`: its name exactly, else its name ignoring ASCII case
// (as Windows compares adapter names), else, for a dotted quad, its IPv4 address. -1 when none.
int FindInterface(const platform::InterfaceRecord* records, int count, const char* text);

// The first up IPv4 record whose subnet holds `address` (network byte order); -1 when none.
int InterfaceOfSubnet(const platform::InterfaceRecord* records, int count, std::uint32_t address);

// The index of the interface an IPv6 scope names: a number that is the index of one of them
// (within 32 bits); else the name of an interface with or without addresses, exactly, else
// ignoring ASCII case. 0 when none has it.
unsigned ScopeIndex(const platform::InterfaceRecord* records, int count, const char* scope);

// The platform's interface list, at most `room` records in its order. Returns the number of
// records, or -1 when the list cannot be read (the last socket error tells why).
int QueryInterfaces(platform::InterfaceRecord* records, int room);

// The netmask of the local interface, network byte order, from the platform's interface list
// (ChooseNetmask). False when the list cannot be read (the last socket error tells why); the
// mask is then 0. A failed query is not "no interface": its callers report it.
bool QueryLocalNetmask(std::uint32_t* mask);

// QueryLocalNetmask's mask, 0 when the query fails.
std::uint32_t GetLocalNetmask();
