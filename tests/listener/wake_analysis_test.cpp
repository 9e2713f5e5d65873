// The wake analysis over crafted payloads: where the sync stream is, which copy is bad, header, password.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "listener/wake_analysis.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes kMac = {0x02, 0x54, 0x57, 0x00, 0x00, 0x14};
const Bytes kOther = {0x02, 0x54, 0x57, 0x00, 0x00, 0x99};

// A payload: `before`, the sync stream, `copies` copies of kMac (copy `bad` replaced by
// kOther), then `after`.
Bytes Magic(const Bytes& before, int copies, int bad = 0, const Bytes& after = {}) {
  Bytes p = before;
  p.insert(p.end(), 6, 0xFF);
  for (int i = 1; i <= copies; ++i) p.insert(p.end(), (i == bad ? kOther : kMac).begin(), (i == bad ? kOther : kMac).end());
  p.insert(p.end(), after.begin(), after.end());
  return p;
}

// kestrava's header: the tag, the length field, the sequence number (both little-endian).
Bytes Header(const char* tag, std::uint32_t length, std::uint32_t sequence = 0) {
  Bytes h(tag, tag + 8);
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(sequence >> (8 * i)));
  return h;
}

struct Case {
  const char* name;
  Bytes payload;
  listener::MagicVerdict verdict;
  std::size_t sync_offset;
  int copies_ok, bad_copy;
  Bytes password;
  const char* tag;         // nullptr: no header
  bool length_ok;
  std::uint32_t sequence;
};

TEST(AnalyzeWake, CraftedPayloads) {
  using V = listener::MagicVerdict;
  const Case cases[] = {
      {"sync at 0", Magic({}, 16), V::kValid, 0, 16, 0, {}, nullptr, false, 0},
      {"sync after the header", Magic(Header("KESTRAVA", 118), 16), V::kValid, 16, 16, 0, {}, "KESTRAVA", true, 0},
      {"sync at 37", Magic(Bytes(37, 0x5A), 16), V::kValid, 37, 16, 0, {}, nullptr, false, 0},
      {"copy 1 differs", Magic({}, 16, 1), V::kBroken, 0, 15, 1, {}, nullptr, false, 0},
      {"copy 9 differs", Magic({}, 16, 9), V::kBroken, 0, 15, 9, {}, nullptr, false, 0},
      {"copy 16 differs", Magic({}, 16, 16), V::kBroken, 0, 15, 16, {}, nullptr, false, 0},
      {"ends after copy 15", Magic({}, 15), V::kBroken, 0, 15, 0, {}, nullptr, false, 0},
      {"SecureOn 4", Magic({}, 16, 0, {1, 2, 3, 4}), V::kValid, 0, 16, 0, {1, 2, 3, 4}, nullptr, false, 0},
      {"SecureOn 6", Magic({}, 16, 0, {1, 2, 3, 4, 5, 6}), V::kValid, 0, 16, 0, {1, 2, 3, 4, 5, 6}, nullptr, false, 0},
      {"direct: two bytes are no password", Magic(Header("KESTRAV4", 120), 16, 0, {0, 0}), V::kValid, 16, 16, 0, {}, "KESTRAV4", true, 0},
      {"KESTRAV4 with a wrong length", Magic(Header("KESTRAV4", 118), 16, 0, {0, 0}), V::kValid, 16, 16, 0, {}, "KESTRAV4", false, 0},
      {"KESTRAVA with a wrong length", Magic(Header("KESTRAVA", 102), 16), V::kValid, 16, 16, 0, {}, "KESTRAVA", false, 0},
      {"short unsuspend after KESTRAV2", Magic(Header("KESTRAV2", 28), 1), V::kShortUnsuspend, 16, 1, 0, {}, "KESTRAV2", true, 0},
      {"short unsuspend without header", Magic({}, 1), V::kShortUnsuspend, 0, 1, 0, {}, nullptr, false, 0},
      {"one copy after KESTRAVA is broken", Magic(Header("KESTRAVA", 28), 1), V::kBroken, 16, 1, 0, {}, "KESTRAVA", true, 0},
      {"KESTRAV2 with a wrong length", Magic(Header("KESTRAV2", 12), 1), V::kShortUnsuspend, 16, 1, 0, {}, "KESTRAV2", false, 0},
      // A sequence number of 0xFF bytes lengthens the run before the sync stream.
      {"0xFF sequence before the sync", Magic(Header("KESTRAVA", 118, 0xFFFFFFFF), 16), V::kValid, 16, 16, 0, {}, "KESTRAVA", true, 0xFFFFFFFF},
      {"sequence number", Magic(Header("KESTRAVA", 118, 0x01020304), 16), V::kValid, 16, 16, 0, {}, "KESTRAVA", true, 0x01020304},
      {"118 bytes of Z", Bytes(118, 'Z'), V::kNone, 0, 0, 0, {}, nullptr, false, 0},
      {"unknown tag", Magic(Header("KESTRAVX", 118), 16), V::kValid, 16, 16, 0, {}, nullptr, false, 0},
      {"header without a sync stream", Header("KESTRAVA", 16, 7), V::kNone, 0, 0, 0, {}, "KESTRAVA", true, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const listener::WakeAnalysis a = listener::AnalyzeWake(c.payload.data(), c.payload.size(), c.payload.size());
    EXPECT_EQ(a.verdict, c.verdict);
    if (c.verdict != V::kNone) {
      EXPECT_EQ(a.sync_offset, c.sync_offset);
      EXPECT_EQ(Bytes(a.target, a.target + 6), kMac);
      EXPECT_EQ(a.copies_ok, c.copies_ok);
      EXPECT_EQ(a.bad_copy, c.bad_copy);
      if (c.bad_copy != 0) {
        EXPECT_EQ(Bytes(a.bad_copy_mac, a.bad_copy_mac + 6), kOther);
      }
    }
    EXPECT_EQ(Bytes(a.password, a.password + a.password_length), c.password);
    EXPECT_EQ(a.header_found, c.tag != nullptr);
    if (c.tag != nullptr) {
      EXPECT_STREQ(a.tag, c.tag);
      EXPECT_EQ(a.header_length_ok, c.length_ok);
      EXPECT_EQ(a.sequence, c.sequence);
    }
  }
}

// A datagram cut by the receive buffer is looked at as far as it was stored; its header's
// length field is compared with its real length.
TEST(AnalyzeWake, StoredPartOfALongerDatagram) {
  Bytes p = Magic(Header("KESTRAVA", 2000), 16);
  const listener::WakeAnalysis a = listener::AnalyzeWake(p.data(), p.size(), 2000);
  EXPECT_EQ(a.verdict, listener::MagicVerdict::kValid);
  EXPECT_TRUE(a.header_length_ok);
  EXPECT_EQ(a.password_length, 0u);
}

TEST(AnalyzeWake, EveryLengthUpTo1600) {
  // All 0xFF, a valid packet repeated, and a sync stream followed by 0xFF-heavy copies.
  Bytes fills[3] = {Bytes(1600, 0xFF), {}, {}};
  while (fills[1].size() < 1600) {
    Bytes m = Magic({0x00}, 16);
    fills[1].insert(fills[1].end(), m.begin(), m.end());
  }
  for (std::size_t i = 0; i < 1600; ++i) fills[2].push_back(i % 7 == 0 ? 0x00 : 0xFF);
  for (const Bytes& fill : fills) {
    for (std::size_t length = 0; length <= 1600; ++length) {
      // A copy of exactly `length` bytes, so that any read past them is caught.
      Bytes p(fill.begin(), fill.begin() + static_cast<std::ptrdiff_t>(length < fill.size() ? length : fill.size()));
      const listener::WakeAnalysis a = listener::AnalyzeWake(p.data(), p.size(), length);
      ASSERT_LE(a.copies, 16) << length;
      ASSERT_LE(a.copies_ok, a.copies) << length;
      if (a.verdict != listener::MagicVerdict::kNone) {
        ASSERT_LE(a.sync_offset + 6, length) << length;
      }
    }
  }
}

}  // namespace
