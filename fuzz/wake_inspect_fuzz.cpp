// Fuzzes the inspector's readers of outside bytes: frame decoding, the wake analysis, and the lines made of them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "listener/inspect.h"
#include "platform/capture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Input layout: what the bytes are (1 byte: a payload, or a frame of one of the link types,
  // and past the types, how many bytes more the frame had on the wire), then the bytes.
  constexpr int kPayload = -1;
  static const int kLinkTypes[] = {kPayload,
                                   platform::kLinkEthernet,
                                   platform::kLinkLinuxCooked,
                                   platform::kLinkLinuxCooked2,
                                   platform::kLinkRawIp,
                                   platform::kLinkRawIpv4,
                                   platform::kLinkRawIpv6,
                                   platform::kLinkBsdLoopback,
                                   platform::kLinkOpenBsdLoopback};
  constexpr std::size_t kTypes = sizeof kLinkTypes / sizeof kLinkTypes[0];
  const std::uint32_t selector = fuzz::Take(data, size, 1);
  const int link_type = kLinkTypes[selector % kTypes];
  const std::size_t cut = selector / kTypes * 16;
  // A copy of exactly the input, so that a read beyond it is caught.
  const std::vector<std::uint8_t> bytes(data, data + size);

  listener::Observation o{};
  o.via = listener::Via::kUdp;
  o.from = {4, {192, 0, 2, 10}};
  o.port = o.from_port = -1;
  o.vlan = -1;
  o.payload = bytes.data();
  o.stored = o.length = static_cast<int>(size);
  if (link_type != kPayload) {
    listener::DecodedFrame frame;
    if (!listener::DecodeFrame(link_type, bytes.data(), bytes.size(), bytes.size() + cut, &frame)) return 0;
    fuzz::Check(frame.stored >= 0 && frame.stored <= frame.length);
    fuzz::Check(frame.payload >= bytes.data() && frame.payload + frame.stored <= bytes.data() + bytes.size());
    o.via = frame.via;
    o.from = frame.from;
    o.to = frame.to;
    o.to_kind = listener::JudgeFrameDestination(frame);
    o.vlan = frame.vlan;
    o.fragment = frame.fragment;
    o.fragment_offset = frame.fragment_offset;
    o.udp_length_field = frame.udp_length_field;
    o.payload = frame.payload;
    o.stored = frame.stored;
    o.length = frame.length;
  }
  listener::ClassifyObservation(&o);

  const listener::WakeAnalysis a = listener::AnalyzeWake(o.payload, static_cast<std::size_t>(o.stored),
                                                         static_cast<std::size_t>(o.length));
  fuzz::Check(a.copies >= 0 && a.copies <= 16 && a.copies_ok <= a.copies && a.bad_copy <= a.copies);
  fuzz::Check(a.verdict == listener::MagicVerdict::kNone ||
              a.sync_offset + 6 <= static_cast<std::size_t>(o.stored));

  char text[4096];
  listener::TextLine line{text, sizeof text, 0};
  listener::AppendExplainLine(&line, o, a);
  fuzz::Check(line.length > 0 && text[line.length - 1] == '\n' && std::strlen(text) == line.length);
  line.length = 0;
  listener::AppendJsonLine(&line, o, a);
  // One whole object on one line.
  fuzz::Check(line.length > 2 && text[line.length - 2] == '}' && std::strchr(text, '\n') == text + line.length - 1);
  return 0;
}
