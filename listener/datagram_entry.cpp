// The kind table by exact length and the two printed lines of one datagram.
#include <cstdio>

#include "common/wake_packet.h"
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

DatagramKind ClassifyDatagram(int length) {
  for (const KindRow& row : kKinds) {
    if (length >= 0 && static_cast<std::size_t>(length) == row.length) return row.kind;
  }
  return DatagramKind{kLabelUnknown, kNoHeader};
}

void EntryMac(const unsigned char* data, int stored, int length, unsigned char* mac) {
  const DatagramKind kind = ClassifyDatagram(length);
  // The first MAC copy; a datagram too short to carry it shows 00 where its bytes end.
  for (std::size_t i = 0; i < wake::kMacLength; ++i) {
    std::size_t offset = static_cast<std::size_t>(kind.header_offset) + wake::kMacOffset + i;
    mac[i] = data != nullptr && stored > 0 && offset < static_cast<std::size_t>(stored) ? data[offset] : 0;
  }
}

int FormatDatagramEntry(char* buffer, std::size_t size, const char* time_stamp,
                        const unsigned char* data, const platform::DatagramInfo& info) {
  unsigned char mac[wake::kMacLength];
  EntryMac(data, info.stored, info.length, mac);
  // The address bytes in network order, as they travel.
  const unsigned char* a = reinterpret_cast<const unsigned char*>(&info.sender_address);
  char sender[16];
  std::snprintf(sender, sizeof sender, kAddressFormat, a[0], a[1], a[2], a[3]);
  int n = std::snprintf(buffer, size, kDatagramFormat, time_stamp, ClassifyDatagram(info.length).label,
                        mac[0], mac[1], mac[2], mac[3], mac[4], mac[5], sender, info.length);
  if (n < 0 || size == 0) return 0;
  return static_cast<std::size_t>(n) < size ? n : static_cast<int>(size) - 1;
}

}  // namespace listener
