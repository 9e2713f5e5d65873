// pilvorne, the wake listener: its process-wide state and the steps of its one run.
#pragma once

#include <cstddef>
#include <cstdio>

#include "common/wake_packet.h"
#include "platform/datagram.h"
#include "platform/sockets.h"
#include "platform/time.h"

namespace listener {

// Sizes of the version field: "Version " and a version text of at most 19 characters.
constexpr std::size_t kVersionPrefixLength = 8;
constexpr std::size_t kVersionTextSize = 20;
constexpr std::size_t kVersionFieldSize = kVersionPrefixLength + kVersionTextSize;

constexpr int kReceiveBufferSize = 1500;
constexpr std::size_t kDateBufferSize = 20;

// Exit codes.
constexpr int kExitUsage = 1;          // syntax error, usage text, or the receive loop ended
constexpr int kExitStartupFailed = -1;
constexpr int kExitSocketFailed = -2;
constexpr int kExitBindFailed = -3;

// The time stamp's buffer: the date buffer, a blank, "hh:mm:ss" and a terminator, with room
// for any 16-bit field.
constexpr std::size_t kTimeStampSize = kDateBufferSize + 1 + 3 * 6;

// Everything pilvorne keeps for its one run. ResetListenerState() puts it back to these
// initial values.
struct ListenerState {
  int port = wake::kDefaultPort;          // whole value; the socket uses its low 16 bits
  char version_field[kVersionFieldSize] = "Version ??";  // "Version " and the version text
  char time_stamp[kTimeStampSize] = "";   // the last time stamp (one buffer)
};
extern ListenerState g_listener;

void ResetListenerState();

// Parses the arguments after the program name. Version lines go to `out`, the syntax error
// and the usage text to `err`. Returns 0 when the listener is to start, else the exit code.
int ParseListenerCommandLine(int argc, char* const* argv, FILE* out, FILE* err);

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

// Both lines of one datagram into `buffer`; returns the text's length. Bytes the datagram
// did not carry are shown as 00.
int FormatDatagramEntry(char* buffer, std::size_t size, const char* time_stamp,
                        const unsigned char* data, const platform::DatagramInfo& info);

// Receives and prints datagrams on `s` until a receive fails.
void ReceiveLoop(SOCKET s, FILE* out);

// The whole program: start-up, receive loop, shutdown. Returns the exit code.
int RunListener(int argc, char* const* argv);

}  // namespace listener
