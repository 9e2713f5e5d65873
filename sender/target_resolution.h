// Target resolution: the quick ICMP ping and the MAC address lookup in the host's ARP table.
//
// QuickPingWithDebugFlags has no caller in the programs; it belongs to the module's interface
// all the same and is kept and tested.
#pragma once

#include <cstdint>

// Pings `name` (a dotted quad or a host name) `tries` times with a `length`-byte payload and
// a time-out of `timeout_ms` per try. Returns the shortest round trip of the answered tries
// in whole milliseconds, at least 1; 0 when no try was answered or the call failed before
// its first try. With bit 0x10 of `debug_flags` set, every answered or failed try (time-outs
// excepted) and the result are written to the diagnostic log. Blocks for at most
// tries x (timeout_ms + 50) ms.
std::int32_t QuickPing(const char* name, std::uint32_t timeout_ms, std::int32_t tries,
                       std::int32_t length, std::uint32_t debug_flags);

// QuickPing with the process's debug flags.
std::int32_t QuickPingWithDebugFlags(const char* name, std::uint32_t timeout_ms,
                                     std::int32_t tries, std::int32_t length);

// Fills an echo payload: the C library's generator, seeded from the process-wide ping
// counter, gives the bytes (none below 0x20); the first byte is the counter's new value.
void FillPingPayload(std::uint8_t* buffer, std::int32_t length);

// Pings the dotted address once (500 ms) and, when it answers, looks it up in the host's
// ARP table; the MAC text ("00:0C:29:AB:CD:EF") of the last row of that address is written
// to `mac_text` (at least 18 characters), which is left untouched when there is none.
// Returns the ping's round trip, 0 when the address did not answer.
std::int32_t LookupMacAddress(const char* address_text, char* mac_text);
