// Hosts files: one host a line, "MAC [address] [name] [relay=HOST[:PORT]]", read into wake targets by both programs (kestrava /File=, pilvorne -Hosts=).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/wake_address.h"

namespace wake {

constexpr int kMaxFileHosts = 1000;
constexpr long kMaxHostFileBytes = 1024L * 1024L;

// One host to wake.
struct WakeTarget {
  std::uint8_t mac[6];
  WakeAddress address;   // kNone: the subnet of the interface the wake goes through
  unsigned scope_index;  // the interface of a scoped IPv6 address, found before sending
  const char* name;      // nullptr when the line names none
  int line;              // its line in the hosts file; 0 for the command line's target
  const char* relay;     // the relay that wakes it (HOST[:PORT], read by ReadRelayText); nullptr: none
};

// Where a relay listens, as HOST[:PORT] names it: a host name or IPv4 address, and the port
// (the relay's own port unless given).
struct RelayEndpointText {
  const char* host;      // not terminated at the host's end when a port follows
  std::size_t host_length;
  int port;
};

// Reads "HOST" or "HOST:PORT" (the port 1 to 65535). False for an empty host, a second ':'
// or another port.
bool ReadRelayText(const char* text, RelayEndpointText* out);

// Called for a line that cannot be read: its number (from 1), why, and the field at fault
// (the whole line when no one field is).
typedef void (*BadHostLine)(void* context, int line_number, const char* reason, const char* field);

// Reads the hosts of a hosts file's text, modified in place (the targets refer into it).
// A leading UTF-8 byte-order mark, blank lines and everything from a '#' to the end of its line
// are skipped (so are the carriage returns of CRLF line ends); fields are
// separated by blanks (spaces, tabs); a field "relay=HOST[:PORT]" anywhere after the MAC (the
// word in any case) names the host's relay; of the others a second field with a ':' or of
// digits and dots alone is the address, anything else the name. Fills at most `room` targets and returns how many;
// every line that cannot be read goes to `bad_line`, and the lines after it are still read.
int ParseHostText(char* text, WakeTarget* hosts, int room, BadHostLine bad_line, void* context);

// The whole file as one text (free with std::free), or nullptr with *reason saying why. Only a
// regular file is read: a FIFO or a device is refused without waiting for it.
char* ReadHostFile(const char* path, const char** reason);

// Why a hosts file or one of its lines is refused.
namespace host_texts {
constexpr char kBadAddress[] = "not an IPv4 or IPv6 address";
constexpr char kLineBadMac[] = "not a MAC address";
constexpr char kLineTooManyFields[] = "a field after the name";
constexpr char kLineTooManyHosts[] = "beyond the 1000 hosts a file may name";
constexpr char kLineBadRelay[] = "not a relay: relay=HOST or relay=HOST:PORT, the port 1 to 65535";
constexpr char kLineSecondRelay[] = "a second relay field";
constexpr char kFileTooLarge[] = "larger than the 1 MiB a hosts file may have";
constexpr char kFileNotText[] = "holds a NUL byte: not a text file";
constexpr char kFileNotRegular[] = "not a regular file (a FIFO, a device or a directory is not read)";
}  // namespace host_texts

}  // namespace wake
