// pilvorne as an inspector: one observed datagram or frame, how it arrived, and what is shown of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/printf_format.h"
#include "common/wake_packet.h"
#include "listener/listener.h"
#include "listener/wake_analysis.h"
#include "platform/datagram.h"
#include "platform/interfaces.h"
#include "platform/time.h"

namespace listener {

// How a wake travelled: as a UDP datagram, or as an Ethernet frame of EtherType 0x0842.
enum class Via { kUdp, kEtherType };

// What the destination address was, judged on the receiving side.
enum class DestinationKind { kUnknown, kUnicast, kSubnetBroadcast, kLimitedBroadcast, kMulticast };


// One datagram or frame, as the receive call or the capture gave it.
struct Observation {
  platform::SystemTime local;      // when it arrived (for a capture file: when it was captured)
  int utc_offset_minutes;          // of `local`
  Via via;
  platform::IpAddress from;        // family 0 for a 0x0842 frame: from_mac then
  platform::IpAddress to;          // family 0 when not known
  std::uint8_t from_mac[wake::kMacLength];
  std::uint8_t to_mac[wake::kMacLength];
  bool to_mac_known;               // a 0x0842 frame's destination MAC, where the link layer shows it
  int from_port;                   // -1: none
  int port;                        // the UDP destination port; -1: none
  DestinationKind to_kind;
  char interface_name[platform::kInterfaceNameRoom];  // empty when not known
  int vlan;                        // the VLAN the frame was tagged with; -1: none
  // One fragment of a larger IP datagram: its bytes are judged alone, as a network card judges
  // every frame. fragment_offset: where they start in the datagram (after the IP header).
  bool fragment;
  int fragment_offset;
  int udp_length_field;            // 0, or a UDP length field that claimed more than the packet held
  bool time_unknown;               // the capture's time lies outside the years 0001-9999
  const std::uint8_t* payload;
  int stored;                      // bytes of the payload at hand
  int length;                      // the payload's real length
  // What the entry shows, from the length and the payload (ClassifyObservation).
  DatagramKind kind;
  std::uint8_t entry_mac[wake::kMacLength];
};

// --- The two lines of an entry (datagram_entry.cpp) ---

// The observation of a datagram as the receive call gave it: the sender and the payload.
void ObserveDatagram(const platform::ReceivedDatagram& info, const std::uint8_t* buffer, Observation* o);

// The kind by the payload's length, and the MAC the entry shows: the six bytes at the kind's
// offset plus 6, 00 beyond what is stored. Once per observation, before anything reads them.
void ClassifyObservation(Observation* o);

// The sender as the entry shows it: its IP address, or for a 0x0842 frame its MAC.
void FormatSender(const Observation& observation, char* text, std::size_t size);

// A line composed in a fixed buffer; what does not fit is cut at the buffer's end.
struct TextLine {
  char* data;
  std::size_t size;
  std::size_t length;
};
void Append(TextLine* line, const char* format, ...) TIDEWAKE_PRINTF(2, 3);

// The two lines of an entry: the time stamp, the kind, the MAC, the sender and the length; a
// capture adds the way it came. The plain listener and the inspector print them alike.
void AppendEntryLines(TextLine* line, const char* time_stamp, const Observation& observation, bool show_via);

// --- Addresses and how they were reached (arrival.cpp) ---

const char* DestinationKindName(DestinationKind kind); // nullptr for kUnknown

// Limited broadcast, multicast, the subnet-directed broadcast of an IPv4 address of the
// receiving interface (any interface when its index is 0), or unicast.
DestinationKind JudgeDestination(const platform::IpAddress& to, unsigned interface_index,
                                 const platform::InterfaceRecord* table, int count);

// The interface table, read again when it is older than a second; the name of interface
// `index` from it, nullptr when not known.
void RefreshInterfaces(std::uint64_t now_ms);
const char* InterfaceName(unsigned index);

// Minutes east of UTC of a local calendar time that stands for `seconds` since 1970 UTC.
int UtcOffsetMinutes(const platform::SystemTime& local, std::int64_t seconds);

// --- Frames (frame.cpp) ---

// What the link, network and transport headers of a captured frame say.
struct DecodedFrame {
  Via via;
  platform::IpAddress from, to;
  std::uint8_t from_mac[wake::kMacLength];
  std::uint8_t to_mac[wake::kMacLength];
  bool from_mac_known, to_mac_known;
  bool link_broadcast;             // sent to every host on the link
  bool link_multicast;
  int vlan;                        // -1: untagged
  unsigned interface_index;        // from a cooked header of version 2; 0 otherwise
  int from_port, to_port;          // UDP; -1 for 0x0842 and for a fragment after the first
  bool fragment;                   // one fragment of a larger IP datagram (IPv4 or IPv6)
  int fragment_offset;             // where its bytes start in the datagram's payload
  int udp_length_field;            // 0, or the UDP length field when it claimed more than the
                                   // packet held (the length is then what the packet held)
  const std::uint8_t* payload;
  int stored;
  int length;
};

// Decodes a frame of link type `link_type` (platform/capture.h), `captured` bytes of the
// `length` it had on the wire. False when it carries neither UDP over IPv4 or IPv6 (VLAN-tagged
// or not; a fragment of a UDP datagram included) nor EtherType 0x0842.
bool DecodeFrame(int link_type, const std::uint8_t* data, std::size_t captured, std::size_t length,
                 DecodedFrame* out);

// Whether DecodeFrame reads frames of this link type: Ethernet, Linux cooked (both versions),
// raw IP (IPv4, IPv6 or either), BSD and OpenBSD loopback.
bool ReadsLinkType(int link_type);

// The capture filter for frames of a link type that DecodeFrame reads (pcap-filter syntax):
// it lets through every frame the decoder can judge, and little else.
const char* CaptureFilter(int link_type);

// The destination kind of a decoded frame: from its addresses, and for an IPv4 unicast-looking
// destination sent to every host of the link, a subnet-directed broadcast.
DestinationKind JudgeFrameDestination(const DecodedFrame& frame);

// --- What else is printed (report.cpp) ---

// The third line of -Explain: what the payload is and how it arrived.
void AppendExplainLine(TextLine* line, const Observation& observation, const WakeAnalysis& analysis);
// The JSON object of -Json, on one line.
void AppendJsonLine(TextLine* line, const Observation& observation, const WakeAnalysis& analysis);
// A JSON string: quotes, escapes, and invalid UTF-8 replaced by U+FFFD.
void AppendJsonString(TextLine* line, const char* text);
// The same text escaped, without the quotes.
void AppendEscapedText(TextLine* line, const char* text);

// --- The summary of -Summary (summary.cpp) ---

// Records one observation (`kept`: it passed -Mac) for the summary.
void SummaryAdd(const Observation& observation, const WakeAnalysis& analysis, bool kept);
// Prints the summary; `drops_known` false prints the kernel's drops as not known.
void PrintSummary(FILE* err, bool drops_known, std::uint32_t drops);

// --- The run (inspect.cpp) ---

// Whether any option of the inspector was given (the default mode otherwise).
bool Inspecting();
// Receives on bound socket `s` and reports in the inspector's modes until the count, the
// time or a stop request ends it, or a receive fails. Returns the exit code.
int InspectSocket(SOCKET s, bool drops_counted);
// -Any and -Read: the capture modes. Returns the exit code.
int InspectCapture();

}  // namespace listener
