// The ping payloads of a fresh process: seeded from 85, first bytes 0x56, 0x57, ..., wrapping to 0.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "sender/target_resolution.h"

namespace {

// What the C library's generator gives for a seed, with bytes below 0x20 lifted by 0x20.
std::vector<std::uint8_t> generated(unsigned seed, std::size_t length) {
  std::srand(seed);
  std::vector<std::uint8_t> bytes(length);
  for (auto& b : bytes) {
    unsigned v = static_cast<unsigned>(std::rand()) & 0xFF;
    b = static_cast<std::uint8_t>(v < 0x20 ? v + 0x20 : v);
  }
  return bytes;
}

// Runs alone in its process, so that these are the process's first fills.
TEST(PingPayload, FirstFillsOfAProcess) {
  for (int fill = 1; fill <= 300; ++fill) {
    std::vector<std::uint8_t> payload(48);
    FillPingPayload(payload.data(), static_cast<std::int32_t>(payload.size()));
    std::vector<std::uint8_t> expected = generated(static_cast<unsigned>(84 + fill), 48);
    // The first byte is the counter after the fill: 0x56 first, wrapping to 0 at fill 171.
    expected[0] = static_cast<std::uint8_t>((85 + fill) & 0xFF);
    ASSERT_EQ(payload, expected) << "fill " << fill;
    if (fill == 1) {
      EXPECT_EQ(payload[0], 0x56);
    } else if (fill == 2) {
      EXPECT_EQ(payload[0], 0x57);
    } else if (fill == 171) {
      EXPECT_EQ(payload[0], 0x00);
    }
  }
}

}  // namespace
