// The kind table by exact length and the two printed lines of a datagram.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "listener/inspect.h"
#include "listener/listener.h"

namespace {

TEST(ClassifyDatagram, EveryLengthUpToPastTheBuffer) {
  const std::map<int, listener::DatagramKind> kinds = {
      {12, {"short unsuspend   ", 0}},           {28, {"short unsuspend(hdr)", 16}},
      {102, {"broadcast magic packet", 0}},      {104, {"direct magic packet", 0}},
      {118, {"broadcast magic packet(hdr)", 16}}, {120, {"direct magic packet(hdr)", 16}},
  };
  for (int length = -1; length <= 1600; ++length) {
    auto it = kinds.find(length);
    listener::DatagramKind expected = it != kinds.end() ? it->second : listener::DatagramKind{"Not a QE magic pkt", 0};
    listener::DatagramKind kind = listener::ClassifyDatagram(length);
    EXPECT_STREQ(kind.label, expected.label) << "length " << length;
    EXPECT_EQ(kind.header_offset, expected.header_offset) << "length " << length;
  }
}

TEST(AppendEntryLines, BothLinesWithTheMacFromTheKindsOffset) {
  const struct {
    int length, stored;
    int mac_offset;   // where 00 11 22 33 44 55 is placed, -1 for nowhere
    const char* line;
  } cases[] = {
      {118, 118, 22, "   broadcast magic packet(hdr)  - 00:11:22:33:44:55 from 192.168.1.20 (len=118)\n"},
      {12, 12, 6, "   short unsuspend              - 00:11:22:33:44:55 from 192.168.1.20 (len=12)\n"},
      {8, 8, -1, "   Not a QE magic pkt           - EE:EE:00:00:00:00 from 192.168.1.20 (len=8)\n"},
      {2000, 1500, 6, "   Not a QE magic pkt           - 00:11:22:33:44:55 from 192.168.1.20 (len=2000)\n"},
  };
  for (const auto& c : cases) {
    // Every other byte is 0xEE, so that a MAC read from the wrong offset shows.
    std::vector<unsigned char> data(1500, 0xEE);
    for (int i = 0; c.mac_offset >= 0 && i < 6; ++i) data[static_cast<std::size_t>(c.mac_offset + i)] = static_cast<unsigned char>(0x11 * i);
    platform::ReceivedDatagram info{c.stored, c.length, c.length > c.stored, {4, {192, 168, 1, 20}}, 40000, {}, 0, 0};
    listener::Observation o{};
    listener::ObserveDatagram(info, data.data(), &o);
    listener::ClassifyObservation(&o);
    char buffer[256];
    listener::TextLine line{buffer, sizeof buffer, 0};
    listener::AppendEntryLines(&line, "08/12/2026 05:06:07", o, false);
    std::string expected = std::string("08/12/2026 05:06:07 \n") + c.line;
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(line.length, expected.size());
  }
}

}  // namespace
