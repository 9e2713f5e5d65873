// The kind table by exact length and the two printed lines of one datagram or frame.
#include <cstdio>
#include <cstring>

#include "common/wake_packet.h"
#include "common/address_text.h"
#include "listener/inspect.h"
#include "listener/listener.h"
#include "listener/texts.h"

namespace listener {

namespace {

struct KindRow {
  std::size_t length;
  DatagramKind kind;
};

constexpr int kNoHeader = 0;
constexpr int kWithHeader = static_cast<int>(wake::kHeaderLength);

const KindRow kKinds[] = {
    {wake::kShortUnsuspendLength, {kLabelShortUnsuspend, kNoHeader}},
    {wake::kShortUnsuspendHdrLength, {kLabelShortUnsuspendHdr, kWithHeader}},
    {wake::kBroadcastMagicLength, {kLabelBroadcastMagic, kNoHeader}},
    {wake::kDirectMagicLength, {kLabelDirectMagic, kNoHeader}},
    {wake::kBroadcastMagicHdrLength, {kLabelBroadcastMagicHdr, kWithHeader}},
    {wake::kDirectMagicHdrLength, {kLabelDirectMagicHdr, kWithHeader}},
};

}  // namespace

void FormatSender(const Observation& o, char* text, std::size_t size) {
  if (o.via == Via::kEtherType) {
    char mac[wake::kMacTextRoom];
    wake::FormatMacText(o.from_mac, mac);
    std::snprintf(text, size, "%s", mac);
  } else {
    wake::FormatIpText(o.from, text, size);
  }
}

DatagramKind ClassifyDatagram(int length) {
  for (const KindRow& row : kKinds) {
    if (length >= 0 && static_cast<std::size_t>(length) == row.length) return row.kind;
  }
  return DatagramKind{kLabelUnknown, kNoHeader};
}

void ObserveDatagram(const platform::ReceivedDatagram& info, const std::uint8_t* buffer, Observation* o) {
  o->via = Via::kUdp;
  o->from = info.sender;
  o->from_port = info.sender_port;
  o->port = -1;
  o->vlan = -1;
  o->payload = buffer;
  o->stored = info.stored;
  o->length = info.length;
}

void ClassifyObservation(Observation* o) {
  o->kind = ClassifyDatagram(o->length);
  // The first MAC copy; a datagram too short to carry it shows 00 where its bytes end.
  for (std::size_t i = 0; i < wake::kMacLength; ++i) {
    const std::size_t offset = static_cast<std::size_t>(o->kind.header_offset) + wake::kMacOffset + i;
    o->entry_mac[i] = o->payload != nullptr && o->stored > 0 && offset < static_cast<std::size_t>(o->stored)
                          ? o->payload[offset]
                          : 0;
  }
}

void AppendEntryLines(TextLine* line, const char* time_stamp, const Observation& o, bool show_via) {
  char sender[wake::kIpTextRoom];
  FormatSender(o, sender, sizeof sender);
  const std::uint8_t* mac = o.entry_mac;
  Append(line, kDatagramFormat, time_stamp, o.kind.label, mac[0], mac[1], mac[2], mac[3], mac[4], mac[5], sender,
         o.length);
  if (!show_via || line->length == 0) return;
  line->length -= 1;  // the line end, put back after the way it came
  if (o.via == Via::kUdp && o.port < 0) {
    Append(line, kViaUdpFragment);
  } else if (o.via == Via::kUdp) {
    Append(line, kViaUdpFormat, o.port);
  } else {
    Append(line, kViaEtherType);
  }
  Append(line, "\n");
}

}  // namespace listener
