// Target resolution: the quick ICMP ping timed with the performance counter, and the MAC lookup.
#include "sender/target_resolution.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/echo.h"
#include "platform/host.h"
#include "platform/neighbours.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "platform/time.h"
#include "sender/address.h"
#include "sender/error_text.h"
#include "sender/log/log.h"
#include "sender/program.h"

// Lines written to the diagnostic log.
static const char kQuickPingTryLine[] = "QuickPing %s len=%d %d\n";
static const char kQuickPingErrorLine[] = "QuickPing %s err=%08lx %s\n";
static const char kQuickPingResultLine[] = "QuickPing %s len=%d result=%ld\n";
static const char kArpTableWarning[] =
    "Warning : The Allocated memory was insufficient(allocated %d needed %d)\n";

namespace {

// The reply buffer holds the platform's reply record and the echoed payload.
constexpr std::size_t kReplyRoomBeyondPayload = 100;
// Lets the network settle between answered tries.
constexpr unsigned long kPauseAfterReplyMs = 50;
// Payload bytes below this value are lifted by it, so the payload is printable-ish.
constexpr unsigned kLowestPayloadByte = 32;

// The lookup's one short ping.
constexpr std::uint32_t kLookupTimeoutMs = 500;
constexpr std::int32_t kLookupTries = 1;
constexpr std::int32_t kLookupPayloadLength = 32;
constexpr std::uint32_t kLookupDebugFlags = 0;

// Rows of the ARP table the lookup examines at most, and the room for a row's text.
constexpr int kArpTableRoom = 300;
constexpr std::size_t kRowTextRoom = 20;

// The address a dotted quad names. A text that the platform cannot read (999.1.2.3) gives
// INADDR_NONE, which is also the limited broadcast: such a text names no host, so it is pinged
// at 0.0.0.0 like a name that cannot be resolved.
std::uint32_t PingedAddress(const char* dotted_quad) {
  const std::uint32_t address = PlatformDottedAddress(dotted_quad);
  if (address == INADDR_NONE && std::strcmp(dotted_quad, "255.255.255.255") != 0) return 0;
  return address;
}

}  // namespace

void FillPingPayload(std::uint8_t* buffer, std::int32_t length) {
  std::int32_t& counter = g_program.ping_counter;
  std::int32_t seed = counter;
  // Wraps instead of overflowing when the counter runs out of positive values.
  counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(seed) + 1U);
  std::srand(static_cast<unsigned>(seed));
  if (buffer == nullptr || length < 1) return;
  for (std::int32_t i = 0; i < length; ++i) {
    unsigned value = static_cast<unsigned>(std::rand()) & 0xFFU;
    if (value < kLowestPayloadByte) value += kLowestPayloadByte;
    buffer[i] = static_cast<std::uint8_t>(value);
  }
  buffer[0] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(counter) & 0xFFU);
}

std::int32_t QuickPing(const char* name, std::uint32_t timeout_ms, std::int32_t tries,
                       std::int32_t length, std::uint32_t debug_flags) {
  // No payload of zero or negative length can be allocated or sent.
  if (name == nullptr || length < 1) return 0;
  std::uint8_t* payload = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(length)));
  if (payload == nullptr) return 0;
  const std::size_t reply_size = static_cast<std::size_t>(length) + kReplyRoomBeyondPayload;
  void* reply = std::malloc(reply_size);
  if (reply == nullptr) {
    std::free(payload);
    return 0;
  }
  platform::EchoHandle echo = platform::echo_open();
  if (echo == nullptr) {
    std::free(reply);
    std::free(payload);
    return 0;
  }

  std::uint32_t address = 0;
  if (IsDottedQuad(name)) {
    address = PingedAddress(name);
  } else if (!platform::lookup_host_ipv4(name, &address)) {
    // An unknown name is pinged at 0.0.0.0; the echo service reports what becomes of that.
    address = 0;
  }

  FillPingPayload(payload, length);
  const std::uint64_t frequency = platform::performance_frequency();
  const bool logging = (debug_flags & static_cast<std::uint32_t>(kDebugQuickPing)) != 0;
  const std::uint16_t size = static_cast<std::uint16_t>(static_cast<std::uint32_t>(length) & 0xFFFFU);
  std::int32_t result = 0;

  for (std::int32_t i = 0; i < tries; ++i) {
    // The round trip is timed here, around the echo call, not taken from the reply.
    const std::uint64_t start = platform::performance_counter();
    unsigned long replies = platform::echo_send(echo, address, payload, size, reply,
                                                static_cast<unsigned long>(reply_size), timeout_ms);
    if (replies != 0) {
      const std::uint64_t end = platform::performance_counter();
      // Tenths of a millisecond, then cut to whole milliseconds.
      const std::uint64_t tenths = frequency == 0 ? 0 : (end - start) * 10000ULL / frequency;
      const std::int32_t ms = static_cast<std::int32_t>(static_cast<std::uint32_t>(tenths)) / 10;
      if (result == 0 || ms < result) result = ms;
      if (result == 0) result = 1;
      if (logging) log_printf(kQuickPingTryLine, name, static_cast<int>(length), static_cast<int>(ms));
      platform::sleep_ms(kPauseAfterReplyMs);
    } else {
      // Read before anything else can change it.
      const unsigned long code = platform::last_error();
      if (code != platform::kEchoTimedOut && logging) {
        log_printf(kQuickPingErrorLine, name, code, SystemErrorText(static_cast<std::uint32_t>(code)));
      }
    }
  }
  if (logging) log_printf(kQuickPingResultLine, name, static_cast<int>(length), static_cast<long>(result));

  platform::echo_close(echo);
  std::free(reply);
  std::free(payload);
  return result;
}

std::int32_t QuickPingWithDebugFlags(const char* name, std::uint32_t timeout_ms,
                                     std::int32_t tries, std::int32_t length) {
  return QuickPing(name, timeout_ms, tries, length, static_cast<std::uint32_t>(g_program.debug_flags));
}

std::int32_t LookupMacAddress(const char* address_text, char* mac_text) {
  const std::int32_t round_trip =
      QuickPing(address_text, kLookupTimeoutMs, kLookupTries, kLookupPayloadLength, kLookupDebugFlags);
  if (round_trip == 0) return 0;

  // The ping has made the host learn the target's hardware address, if it is on the LAN.
  platform::NeighbourRow rows[kArpTableRoom];
  const int total = platform::read_neighbour_table(rows, kArpTableRoom);
  if (total <= 0) return round_trip;  // no rows filled: nothing to examine
  int examined = total;
  if (total > kArpTableRoom) {
    log_printf(kArpTableWarning, kArpTableRoom, total);
    examined = kArpTableRoom;
  }
  char row_text[kRowTextRoom];
  for (int i = 0; i < examined; ++i) {
    const std::uint8_t* a = reinterpret_cast<const std::uint8_t*>(&rows[i].address);
    std::snprintf(row_text, sizeof row_text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    // Compared as text: rows are written without leading zeros or spaces.  The scan goes
    // on after a match, so the last row of the address gives the MAC address.
    if (std::strcmp(row_text, address_text) == 0 && mac_text != nullptr) {
      FormatMacAddress(mac_text, rows[i].physical);
    }
  }
  return round_trip;
}
