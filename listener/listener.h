// pilvorne, the wake listener: its process-wide state and the steps of its one run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "common/wake_packet.h"
#include "platform/datagram.h"
#include "platform/interfaces.h"
#include "platform/sockets.h"
#include "platform/time.h"

namespace listener {

// Sizes of the version field: "Version " and a version text of at most 19 characters.
constexpr std::size_t kVersionPrefixLength = 8;
constexpr std::size_t kVersionTextSize = 20;
constexpr std::size_t kVersionFieldSize = kVersionPrefixLength + kVersionTextSize;

constexpr int kReceiveBufferSize = 1500;
constexpr std::size_t kDateBufferSize = 20;

// The inspector's receive buffer: any datagram whole, so a sync stream past byte 1500 is found.
constexpr int kInspectBufferSize = 65536;
// The receive queue asked for: a burst of datagrams waits there instead of being dropped.
constexpr int kReceiveQueueBytes = 8 * 1024 * 1024;

// Exit codes.
constexpr int kExitWakeSeen = 0;       // -Count, -Timeout or -Read ended it, a wake was kept
constexpr int kExitInformation = 0;    // --help or --version
constexpr int kExitUsage = 1;          // syntax error, usage text, the receive loop ended, or
                                       // the output could not be written
constexpr int kExitCannotCapture = 2;  // -Any or -Read cannot capture or read
constexpr int kExitNoWake = 4;         // -Count, -Timeout or -Read ended it without a wake
constexpr int kExitStartupFailed = -1;
constexpr int kExitSocketFailed = -2;
constexpr int kExitBindFailed = -3;

// The time stamp's buffer: the date buffer, a blank, "hh:mm:ss" and a terminator, with room
// for any 16-bit field.
constexpr std::size_t kTimeStampSize = kDateBufferSize + 1 + 3 * 6;

// The inspector's options; all off, pilvorne is the plain listener.
struct InspectOptions {
  bool explain = false;                 // -Explain: a third line per datagram
  bool json = false;                    // -Json: one JSON object per line instead
  bool ipv6 = false;                    // -IPv6: a dual-stack socket
  bool summary = false;                 // -Summary: counts on standard error at the end
  bool any = false;                     // -Any: capture on every port
  int count = 0;                        // -Count=N: end after N kept datagrams; 0: no limit
  int timeout_seconds = 0;              // -Timeout=S: end after S seconds; 0: no limit
  bool mac_given = false;               // -Mac=MAC: keep only datagrams for `mac`
  std::uint8_t mac[wake::kMacLength] = {};
  const char* interface_name = nullptr; // -Interface=NAME (with -Any); points into argv
  const char* read_path = nullptr;      // -Read=FILE; points into argv
};

// Sequence numbers seen from one sender for one target, as ranges first -> last.
struct SequenceTrack {
  std::map<std::uint32_t, std::uint32_t> ranges;
  std::uint32_t highest = 0;
  std::uint64_t repeated = 0;
  std::uint64_t out_of_order = 0;
  std::uint64_t untracked = 0;  // numbers that came after the ranges' room was spent
};

// What the summary counts for one sender and target.
struct PairCounts {
  std::uint64_t wakes = 0;
  SequenceTrack sequence;
};

// At most this many sender and target pairs are told apart; the rest are counted together.
constexpr std::size_t kSummaryPairRoom = 1000;
// At most this many ranges of sequence numbers are kept, over all pairs (a few MiB): a sender
// that numbers its datagrams with a gap after each cannot make the listener grow without end.
constexpr std::size_t kSequenceRangeRoom = 100000;

struct SummaryCounts {
  std::uint64_t seen = 0;               // datagrams (or frames) looked at
  std::uint64_t kept = 0;               // of those, the ones shown
  std::uint64_t wakes = 0;              // of those, the wakes
  std::map<std::string, PairCounts> pairs;  // by sender and target text, a tab between
  std::uint64_t other_pairs = 0;        // kept datagrams of pairs past the room
  std::size_t sequence_ranges = 0;      // ranges kept over all pairs
};

// The local interfaces as last read, to judge destinations and name interfaces.
constexpr int kInterfaceRoom = 256;
struct InterfaceCache {
  platform::InterfaceRecord records[kInterfaceRoom];
  int count = 0;
  bool read = false;
  std::uint64_t read_at_ms = 0;
};

// Everything pilvorne keeps for its one run. ResetListenerState() puts it back to these
// initial values.
struct ListenerState {
  int port = wake::kDefaultPort;          // whole value; the socket uses its low 16 bits
  char version_field[kVersionFieldSize] = "Version ??";  // "Version " and the version text
  char time_stamp[kTimeStampSize] = "";   // the last time stamp (one buffer)
  // The short date of the last time stamp's day: the locale's format is applied once a day.
  char date_text[kDateBufferSize] = "";
  platform::SystemTime date_of{};
  // Each entry reaches the output at once, but reading a capture file, whose entries
  // nobody watches arrive, writes them in blocks (flushed at the end of the run).
  bool flush_each_entry = true;
  InspectOptions options;
  SummaryCounts summary;
  InterfaceCache interfaces;
  std::uint64_t kept = 0;                 // datagrams kept this run, for -Count
  bool wake_kept = false;                 // whether one of them was a wake
};
extern ListenerState g_listener;

void ResetListenerState();

// -Relay: what the relay is given.
struct RelayOptions {
  bool relay = false;                // -Relay: relay signed wake requests onto this machine's subnets
  const char* key_path = nullptr;    // -Key=FILE (needed)
  const char* hosts_path = nullptr;  // -Hosts=FILE: only the MACs it names are woken
  bool ether = false;                // -Ether: the 0x0842 frame where a request asks for it
  bool port_given = false;           // -PortNo=n was given: else the relay's own port
};

// What pilvorne's command line asks for.
struct ListenerCommandLine {
  int exit_code = 0;                 // non-zero: end at once with it (syntax error, usage text)
  bool finished = false;             // --help or --version: its text is printed; end with exit_code
  int port = wake::kDefaultPort;     // -PortNo's whole value
  InspectOptions options;
  bool check = false;                // -Check: this machine's wake settings, then end
  bool enable = false;               // -Enable (with -Interface): turn wake by magic packet on, then check
  const char* new_key_path = nullptr;  // -NewKey=FILE: write a new relay key there and end
  RelayOptions relay;
};

// Parses the arguments after the program name; the caller keeps the record. Version lines
// (with `version_field`, "Version " and the version text) go to `out` (to `err` when -Json is
// among the arguments), the syntax error and the usage text to `err`. --help and --version
// end the parse at once with their text on the real `out`.
ListenerCommandLine ParseListenerCommandLine(int argc, char* const* argv, const char* version_field,
                                             FILE* out, FILE* err);

// Rewrites a FileVersion text into `text` (room for kVersionTextSize bytes): blanks dropped,
// commas made full stops, at most kVersionTextSize - 1 characters.
void RewriteVersionText(const char* value, char* text);

// Reads the FileVersion of the file at `path` into `text`; leaves it unchanged when the
// file has no readable version information or no FileVersion string.
void ReadVersionText(const char* path, char* text);

// One kind of datagram: its label and the offset of the wake body.
struct DatagramKind {
  const char* label;
  int header_offset;
};

// The kind of a datagram of `length` bytes.
DatagramKind ClassifyDatagram(int length);

// The time stamp of `time` in the one static buffer: the system's short date, a blank,
// and the time of day. Every call overwrites the previous result.
const char* FormatTimeStamp(const platform::SystemTime& time);
const char* CurrentTimeStamp();

// Writes `size` bytes to `out` and flushes them (unless the run writes in blocks). On failure
// prints the one message about it on standard error and returns false: the caller ends the
// program with kExitUsage.
bool WriteOutput(const char* text, std::size_t size, FILE* out);
// Flushes what the run wrote in blocks; false, after the one message, when it cannot be written.
bool FlushOutput(FILE* out);

// Receives and prints datagrams on `s` until a receive or a write fails.
void ReceiveLoop(SOCKET s, FILE* out);

// The whole program: start-up, receive loop, shutdown. Returns the exit code.
int RunListener(int argc, char* const* argv);

}  // namespace listener
