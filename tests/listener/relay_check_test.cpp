// The relay's checks: a valid request passes, every changed bit, key, time, replay, MAC and rate is refused with its reason.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "listener/relay_check.h"
#include "platform/crypto.h"

namespace {

using listener::RelayRefusal;

constexpr std::int64_t kNow = 1700000000;
constexpr std::uint64_t kNowMs = 5000000;
const std::uint8_t kTarget[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

class RelayCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    char error[256] = "";
    ASSERT_EQ(platform::CryptoOpened::kOpened, platform::open_crypto(error, sizeof error)) << error;
    memory_.reset(new listener::RelayMemory());
    keys_.count = 2;
    for (int k = 0; k < 2; ++k) {
      for (int i = 0; i < 8; ++i) keys_.keys[k].id[i] = static_cast<std::uint8_t>(0x10 * (k + 1) + i);
      for (int i = 0; i < 32; ++i) keys_.keys[k].key[i] = static_cast<std::uint8_t>(k * 100 + i);
    }
  }

  // A request signed with key `k` of the ring, nonce number `n`.
  std::vector<std::uint8_t> Request(std::uint32_t n, std::int64_t time = kNow, const std::uint8_t* mac = kTarget,
                                    int k = 0) const {
    wake::RelayRequest r;
    r.send = wake::kRelaySendBroadcast;
    r.copies = 3;
    std::memcpy(r.mac, mac, 6);
    r.time = static_cast<std::uint64_t>(time);
    // The low 16 bits first: they choose the nonce's bucket.
    const int order[4] = {8, 0, 16, 24};
    for (int i = 0; i < 4; ++i) r.nonce[i] = static_cast<std::uint8_t>(n >> order[i]);
    r.nonce[15] = 0x5A;
    std::memcpy(r.key_id, keys_.keys[k].id, 8);
    r.port_count = 1;
    r.ports[0] = 9;
    std::vector<std::uint8_t> b(wake::kRequestLength);
    wake::WriteRelayRequest(r, b.data());
    Sign(&b, keys_.keys[k].key);
    return b;
  }

  static void Sign(std::vector<std::uint8_t>* b, const std::uint8_t* key) {
    ASSERT_TRUE(platform::hmac_sha256(key, 32, b->data(), wake::kRequestHmacOffset, b->data() + wake::kRequestHmacOffset));
  }

  RelayRefusal Check(const std::vector<std::uint8_t>& b, std::int64_t now = kNow, std::uint64_t now_ms = kNowMs,
                     std::size_t length = wake::kRequestLength) {
    listener::RelayCheckInput in{b.data(), length, &keys_, allowed_, now, now_ms, limits_};
    return listener::CheckRelayRequest(in, memory_.get()).refusal;
  }

  std::unique_ptr<listener::RelayMemory> memory_;
  wake::RelayKeyRing keys_;
  listener::MacAllowList allowed_{nullptr, 0};
  listener::RelayLimits limits_;
};

TEST_F(RelayCheck, AValidRequestPassesWithItsFieldsAndKey) {
  const std::vector<std::uint8_t> b = Request(1, kNow, kTarget, 1);
  listener::RelayCheckInput in{b.data(), b.size(), &keys_, allowed_, kNow, kNowMs, limits_};
  const listener::RelayVerdict v = listener::CheckRelayRequest(in, memory_.get());
  EXPECT_EQ(RelayRefusal::kNone, v.refusal);
  EXPECT_EQ(&keys_.keys[1], v.key);
  EXPECT_EQ(0, std::memcmp(kTarget, v.request.mac, 6));
  EXPECT_EQ(3, v.request.copies);
  EXPECT_EQ(1u, memory_->outcomes[0]);
}

// Whichever bit changes, the request is refused, and for the reason of the part it is in:
// nothing past the head is believed before the HMAC has vouched for it.
TEST_F(RelayCheck, EveryBitChangedIsRefusedForTheReasonOfItsPart) {
  const std::vector<std::uint8_t> valid = Request(1);
  for (std::size_t byte = 0; byte < wake::kRequestLength; ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      std::vector<std::uint8_t> b = valid;
      b[byte] ^= static_cast<std::uint8_t>(1 << bit);
      const RelayRefusal refusal = Check(b);
      if (byte < wake::kRelayTagLength) {
        EXPECT_EQ(RelayRefusal::kNotRequest, refusal) << byte;
      } else if (byte == wake::kRequestVersionOffset) {
        EXPECT_EQ(RelayRefusal::kWrongVersion, refusal) << byte;
      } else if (byte >= wake::kRequestKeyIdOffset && byte < wake::kRequestKeyIdOffset + wake::kRelayKeyIdLength) {
        EXPECT_EQ(RelayRefusal::kUnknownKey, refusal) << byte << " bit " << bit;
      } else {
        // A field still in range fails the HMAC; one out of range is refused before it.
        EXPECT_TRUE(refusal == RelayRefusal::kBadSignature || refusal == RelayRefusal::kMalformed)
            << byte << " bit " << bit << ": " << listener::RelayRefusalText(refusal);
        if (byte >= wake::kRequestNonceOffset && byte < wake::kRequestKeyIdOffset) {
          EXPECT_EQ(RelayRefusal::kBadSignature, refusal) << byte;
        }
      }
    }
  }
  EXPECT_EQ(RelayRefusal::kNone, Check(valid));
}

TEST_F(RelayCheck, ALengthCutAtAnyByteIsRefused) {
  std::vector<std::uint8_t> b = Request(1);
  for (std::size_t length = 0; length < wake::kRequestLength; ++length) {
    EXPECT_EQ(RelayRefusal::kWrongLength, Check(b, kNow, kNowMs, length)) << length;
  }
  b.push_back(0);
  EXPECT_EQ(RelayRefusal::kWrongLength, Check(b, kNow, kNowMs, b.size()));
  EXPECT_EQ(wake::kRequestLength + 1, memory_->outcomes[static_cast<int>(RelayRefusal::kWrongLength)]);
}

TEST_F(RelayCheck, AKnownIdentifierWithAnotherKeysSignatureIsRefused) {
  std::vector<std::uint8_t> b = Request(1);
  Sign(&b, keys_.keys[1].key);
  EXPECT_EQ(RelayRefusal::kBadSignature, Check(b));
  std::uint8_t other[32] = {};
  Sign(&b, other);
  EXPECT_EQ(RelayRefusal::kBadSignature, Check(b));
}

TEST_F(RelayCheck, TimeIsTakenWithinSixtySecondsEitherWay) {
  const struct {
    std::int64_t offset;
    RelayRefusal refusal;
  } cases[] = {{0, RelayRefusal::kNone},     {60, RelayRefusal::kNone},    {-60, RelayRefusal::kNone},
               {61, RelayRefusal::kTimeOff}, {-61, RelayRefusal::kTimeOff}, {-kNow, RelayRefusal::kTimeOff},
               {100000000, RelayRefusal::kTimeOff}};
  std::uint32_t n = 1;
  for (const auto& c : cases) {
    EXPECT_EQ(c.refusal, Check(Request(n++, kNow + c.offset))) << c.offset;
  }
}

TEST_F(RelayCheck, AReplayIsRefusedForAsLongAsItsTimeWouldPass) {
  const std::vector<std::uint8_t> b = Request(1, kNow);
  EXPECT_EQ(RelayRefusal::kNone, Check(b));
  EXPECT_EQ(RelayRefusal::kReplayed, Check(b, kNow, kNowMs + 10000));
  EXPECT_EQ(RelayRefusal::kReplayed, Check(b, kNow + 60, kNowMs + 60000));
  EXPECT_EQ(RelayRefusal::kTimeOff, Check(b, kNow + 61, kNowMs + 61000));
  // A replay of a request that was refused for its rate is a replay too.
  limits_.per_mac = {1, 1000000};
  const std::vector<std::uint8_t> limited = Request(2);
  EXPECT_EQ(RelayRefusal::kMacRate, Check(limited, kNow, kNowMs + 1));
  EXPECT_EQ(RelayRefusal::kReplayed, Check(limited, kNow, kNowMs + 2000000));
}

TEST_F(RelayCheck, AMacOutsideTheAllowListIsRefused) {
  const std::uint8_t listed[2][6] = {{0x02, 0, 0, 0, 0, 1}, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
  allowed_ = {listed, 2};
  const std::uint8_t unlisted[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x56};
  EXPECT_EQ(RelayRefusal::kNone, Check(Request(1, kNow, kTarget)));
  EXPECT_EQ(RelayRefusal::kMacNotAllowed, Check(Request(2, kNow, unlisted)));
  allowed_ = {listed, 0};  // an empty list allows nothing
  EXPECT_EQ(RelayRefusal::kMacNotAllowed, Check(Request(3, kNow, kTarget)));
}

// The memory of nonces never grows: when a bucket is full of nonces still needed the request
// is refused and none is forgotten early; once their window has passed the room is free again.
TEST_F(RelayCheck, TheNonceMemoryIsBoundedAndForgetsNothingEarly) {
  limits_.total = {1000000, 1};
  limits_.per_mac = {1000000, 1};
  // Nonces whose low 16 bits are equal share a bucket.
  auto in_bucket = [](std::uint32_t i) { return (i << 16) | 0x0707; };
  for (int i = 0; i < listener::kNonceWays; ++i) EXPECT_EQ(RelayRefusal::kNone, Check(Request(in_bucket(i))));
  EXPECT_EQ(RelayRefusal::kNonceRoomFull, Check(Request(in_bucket(100))));
  for (int i = 0; i < listener::kNonceWays; ++i) EXPECT_EQ(RelayRefusal::kReplayed, Check(Request(in_bucket(i))));
  // Other buckets are not touched by a full one.
  EXPECT_EQ(RelayRefusal::kNone, Check(Request(0x0808)));
  // Sixty-one seconds on, the old requests are stale and their slots free.
  EXPECT_EQ(RelayRefusal::kNone, Check(Request(in_bucket(100), kNow + 61), kNow + 61));

  // A flood of valid, distinct requests fills at most the fixed room.
  int passed = 0;
  for (std::uint32_t n = 0; n < 20000; ++n) passed += Check(Request(0x01000000 + n * 7919)) == RelayRefusal::kNone;
  EXPECT_LE(passed, listener::kNonceBuckets * listener::kNonceWays);
  EXPECT_GT(passed, 0);
  EXPECT_EQ(RelayRefusal::kReplayed, Check(Request(0x01000000)));
  EXPECT_EQ(sizeof(listener::NonceMemory),
            sizeof(listener::NonceSlot) * listener::kNonceBuckets * listener::kNonceWays);
}

TEST_F(RelayCheck, RateLimitsPerMacAndInTotalRefillWithTime) {
  std::uint32_t n = 1;
  // Per MAC: 5 at once, then one a second; a refused request takes no credit.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(RelayRefusal::kNone, Check(Request(n++), kNow, kNowMs)) << i;
  EXPECT_EQ(RelayRefusal::kMacRate, Check(Request(n++), kNow, kNowMs));
  EXPECT_EQ(RelayRefusal::kMacRate, Check(Request(n++), kNow, kNowMs + 999));
  EXPECT_EQ(RelayRefusal::kNone, Check(Request(n++), kNow, kNowMs + 1000));
  EXPECT_EQ(RelayRefusal::kMacRate, Check(Request(n++), kNow, kNowMs + 1000));
  // A clock that goes back gives no credit.
  EXPECT_EQ(RelayRefusal::kMacRate, Check(Request(n++), kNow, kNowMs - 100000));

  // In total: 20 at once over every MAC, then one in 50 ms.
  std::uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0};
  const std::uint64_t later = kNowMs + 10000000;
  int passed = 0;
  for (int i = 0; i < 25; ++i) {
    mac[5] = static_cast<std::uint8_t>(i);
    passed += Check(Request(n++, kNow, mac), kNow, later) == RelayRefusal::kNone;
  }
  EXPECT_EQ(20, passed);
  // The MACs refused for the total rate kept their own credit: a quarter second gives the
  // total five, and the last MAC takes all five.
  mac[5] = 24;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(RelayRefusal::kNone, Check(Request(n++, kNow, mac), kNow, later + 250)) << i;
  mac[5] = 200;
  EXPECT_EQ(RelayRefusal::kTotalRate, Check(Request(n++, kNow, mac), kNow, later + 299));
  EXPECT_EQ(RelayRefusal::kNone, Check(Request(n++, kNow, mac), kNow, later + 300));
  EXPECT_EQ(6u, memory_->outcomes[static_cast<int>(RelayRefusal::kTotalRate)]);
}

TEST_F(RelayCheck, TheMacBucketsAreBoundedAndRefilledOnesAreReused) {
  limits_.total = {1000000, 1};
  limits_.per_mac = {1, 1000};
  std::uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0};
  std::uint32_t n = 1;
  for (int i = 0; i < listener::kMacBucketRoom; ++i) {
    mac[4] = static_cast<std::uint8_t>(i >> 8);
    mac[5] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(RelayRefusal::kNone, Check(Request(n++, kNow, mac))) << i;
  }
  mac[3] = 1;
  EXPECT_EQ(RelayRefusal::kMacRate, Check(Request(n++, kNow, mac), kNow, kNowMs + 999));
  // A second on, every bucket is full again and as good as free.
  EXPECT_EQ(RelayRefusal::kNone, Check(Request(n++, kNow, mac), kNow, kNowMs + 1000));
}

}  // namespace
