// Capturing link-layer frames (libpcap, loaded on first use): live on one or all interfaces, or from a file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Link-layer header types as capture files number them (LINKTYPE_*); a live capture on all
// interfaces delivers Linux cooked frames of version 2, which name the receiving interface.
constexpr int kLinkBsdLoopback = 0;        // the address family (4 bytes, the writer's byte order)
constexpr int kLinkEthernet = 1;
constexpr int kLinkRawIp = 101;
constexpr int kLinkRawIpAlternative = 12;   // the number Linux libpcap reports for raw IP
constexpr int kLinkOpenBsdLoopback = 108;  // the address family (4 bytes, big-endian)
constexpr int kLinkLinuxCooked = 113;
constexpr int kLinkRawIpv4 = 228;
constexpr int kLinkRawIpv6 = 229;
constexpr int kLinkLinuxCooked2 = 276;

// How opening a capture went.
enum class CaptureOpened {
  kOpened,
  kNeedsPrivilege,     // live capture without CAP_NET_RAW
  kNeedsLinuxBuild,    // this build has no capture (Windows)
  kNoLibrary,          // libpcap cannot be loaded; the error text says why
  kFailed,             // anything else; the error text says what
};

struct Capture;   // one open capture

// One captured frame; `data` stays valid until the next call on the capture.
struct CapturedFrame {
  const std::uint8_t* data;
  std::size_t captured;            // bytes in `data`
  std::size_t length;              // the frame's length on the wire
  std::int64_t seconds;            // capture time, since 1970-01-01 00:00:00 UTC
  std::uint32_t nanoseconds;
  // A file's: the name of the interface the frame came in on, as a pcapng file records it;
  // nullptr when the file does not say (a pcap file) and for a live capture.
  const char* interface_name;
};

// Opens a live capture of inbound frames on `interface_name`, or on every interface when it
// is nullptr, each frame delivered at once. The link type of its frames goes to *link_type.
CaptureOpened open_live_capture(const char* interface_name, Capture** capture, int* link_type,
                                char* error, std::size_t error_size);

// Opens a capture file (pcap or pcapng) for reading. The open of a FIFO waits for its writer
// (a stop request or the time of platform/waiting.h ends the wait: kFailed).
CaptureOpened open_capture_file(const char* path, Capture** capture, int* link_type, char* error,
                                std::size_t error_size);

// Lets only the frames that match a filter expression (pcap-filter syntax) through, in the
// kernel where the capture is live. False with an error text when the expression is refused.
bool set_capture_filter(Capture* capture, const char* expression, char* error, std::size_t error_size);

// Results of next_frame.
constexpr int kFrameReady = 1;
constexpr int kFrameTimedOut = 0;
constexpr int kFrameStopped = -1;   // a stop request came (platform/waiting.h)
constexpr int kFrameEnd = -2;       // the end of the file
constexpr int kFrameFailed = -3;    // see capture_error

// The next frame, waiting at most `timeout_ms` milliseconds for a live one (negative: without
// limit). kFrameStopped after a stop request, kFrameTimedOut also when the time of
// platform/waiting.h interrupted a read of a file (a FIFO).
int next_frame(Capture* capture, int timeout_ms, CapturedFrame* frame);

// The text of the capture's last error.
const char* capture_error(Capture* capture);

// libpcap's short name of a link type ("USER0"), nullptr when it has none (or no capture was
// opened).
const char* link_type_name(int link_type);

// The frames the capture lost for want of buffer room; false where that is not known (a file).
bool capture_drops(Capture* capture, std::uint32_t* drops);

void close_capture(Capture* capture);

}  // namespace platform
