// The -Summary counts: wakes per sender and target, sequence numbers missing, repeated and out of order.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "listener/inspect.h"
#include "listener/listener.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// kestrava's broadcast magic packet with sequence number `sequence` (0: none).
Bytes Numbered(std::uint32_t sequence) {
  Bytes p = {'K', 'E', 'S', 'T', 'R', 'A', 'V', 'A', 118, 0, 0, 0};
  for (int i = 0; i < 4; ++i) p.push_back(static_cast<std::uint8_t>(sequence >> (8 * i)));
  p.insert(p.end(), 6, 0xFF);
  for (int i = 0; i < 16; ++i) p.insert(p.end(), {0x02, 0x54, 0x57, 0x00, 0x00, 0x14});
  return p;
}

void Add(std::uint8_t last_byte, std::uint32_t sequence, bool kept = true) {
  Bytes payload = Numbered(sequence);
  listener::Observation o{};
  o.via = listener::Via::kUdp;
  o.from = {4, {192, 0, 2, last_byte}};
  o.payload = payload.data();
  o.stored = o.length = static_cast<int>(payload.size());
  listener::ClassifyObservation(&o);
  listener::SummaryAdd(o, listener::AnalyzeWake(o.payload, payload.size(), payload.size()), kept);
}

std::string Printed(bool drops_known, std::uint32_t drops) {
  FILE* f = std::tmpfile();
  listener::PrintSummary(f, drops_known, drops);
  std::string text;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(f);
  return text;
}

TEST(Summary, SequenceGapsRepeatsAndOrder) {
  listener::ResetListenerState();
  for (std::uint32_t n : {1, 2, 3, 5, 3, 7, 6}) Add(10, n);
  for (std::uint32_t n : {2, 6, 12, 10, 11}) Add(11, n);
  Add(12, 0);
  Add(12, 0, false);  // seen, not shown (-Mac)
  EXPECT_EQ(Printed(true, 12),
            "Summary: 14 datagrams seen, 13 shown, 13 valid wakes\n"
            "  from 192.0.2.10 for 02:54:57:00:00:14: valid wakes 7; sequence numbers up to 7: 1 missing (4), "
            "1 repeated, 1 out of order\n"
            "  from 192.0.2.11 for 02:54:57:00:00:14: valid wakes 5; sequence numbers up to 12: 7 missing "
            "(1, 3-5, 7-9), 0 repeated, 2 out of order\n"
            "  from 192.0.2.12 for 02:54:57:00:00:14: valid wakes 1\n"
            "  dropped by the kernel for a full receive queue: 12\n");
}

// A sender that leaves a gap after every number fills the room for ranges; past it a number
// that needs a range of its own is only counted, one that joins a range still counts fully.
TEST(Summary, SequenceRangesHaveABoundedRoom) {
  listener::ResetListenerState();
  const std::uint32_t room = static_cast<std::uint32_t>(listener::kSequenceRangeRoom);
  for (std::uint32_t i = 0; i < room; ++i) Add(10, 2 * i + 1);
  Add(10, 2 * room + 1);  // no room
  Add(11, 5);             // no room for another pair's first range either
  Add(10, 2);             // joins 1 and 3, which frees a range
  Add(10, 2 * room + 5);  // taken into the freed room
  EXPECT_EQ(listener::g_listener.summary.sequence_ranges, listener::kSequenceRangeRoom);
  const std::string text = Printed(true, 0);
  EXPECT_NE(text.find("for 02:54:57:00:00:14: valid wakes 100003; sequence numbers up to 200005: 100003 missing "
                      "(4, 6, 8, 10, 12, 14, 16, 18, 20, 22, ...), 0 repeated, 1 out of order, 1 more not tracked "
                      "(too many gaps)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("from 192.0.2.11 for 02:54:57:00:00:14: valid wakes 1; 1 sequence numbers not tracked "
                      "(too many gaps)\n"),
            std::string::npos)
      << text;
}

TEST(Summary, NothingSeenAndDropsNotKnown) {
  listener::ResetListenerState();
  EXPECT_EQ(Printed(false, 0),
            "Summary: 0 datagrams seen, 0 shown, 0 valid wakes\n"
            "  dropped by the kernel for a full receive queue: not known\n");
}

}  // namespace
