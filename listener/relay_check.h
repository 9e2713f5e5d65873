// The relay's checks of a wake request, in their order, as one function of the datagram, the keys, the clock and the relay's memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/relay_key.h"
#include "common/relay_request.h"

namespace listener {

// Why a request is refused; kNone: it passed every check. In the order the checks run.
enum class RelayRefusal {
  kNone,
  kWrongLength,
  kNotRequest,
  kWrongVersion,
  kMalformed,
  kUnknownKey,
  kBadSignature,
  kTimeOff,
  kReplayed,
  kNonceRoomFull,
  kMacNotAllowed,
  kMacRate,
  kTotalRate,
};
constexpr int kRelayRefusalKinds = static_cast<int>(RelayRefusal::kTotalRate) + 1;

// The refusal's reason as the relay's log line shows it.
const char* RelayRefusalText(RelayRefusal refusal);

// A request is taken when its time is at most this far from the relay's clock, either way.
constexpr std::int64_t kRelayTimeWindowSeconds = 60;

// The nonces of recent requests. A request can pass the time check only within the window
// around its own time, so its nonce needs remembering only until then; after that the slot
// is free again. The room is fixed: when every slot a nonce may take is still needed, the
// request is refused rather than a nonce forgotten early, which would let its replay through.
// Only requests with a valid HMAC get here, so only a key's holder can fill the room.
constexpr int kNonceBuckets = 2048;
constexpr int kNonceWays = 8;           // slots per bucket; a bucket is chosen by the nonce
struct NonceSlot {
  std::uint8_t nonce[wake::kRelayNonceLength];
  std::int64_t until;                   // the last second of the relay's clock it matters; 0: free
};
struct NonceMemory {
  NonceSlot slots[kNonceBuckets][kNonceWays];
};

// A token bucket kept as credit in milliseconds: every millisecond adds one, up to
// burst x interval; a request takes one interval's worth.
struct TokenBucket {
  std::int64_t credit_ms;
  std::uint64_t at_ms;                  // when the credit was last brought up to date
  bool started;                         // false: full (a bucket not yet used)
};

// The limits: `burst` requests at once, then one every `interval_ms`.
struct RateLimit {
  int burst;
  int interval_ms;
};
struct RelayLimits {
  RateLimit per_mac = {5, 1000};        // a target: 5 at once, then 1 a second
  RateLimit total = {20, 50};           // all targets together: 20 at once, 20 a second
};

// Buckets of the MACs asked for lately. A bucket that has filled up again is the same as no
// bucket, so its slot can be taken by another MAC; when none is free the request counts as
// over the MAC's limit.
constexpr int kMacBucketRoom = 1024;
struct MacBucket {
  std::uint8_t mac[wake::kMacLength];
  bool used;
  TokenBucket bucket;
};

// Everything the checks remember between requests, and what they counted. Large (about
// 420 KiB): allocate it, value-initialised (all zero).
struct RelayMemory {
  NonceMemory nonces;
  TokenBucket total;
  MacBucket macs[kMacBucketRoom];
  std::uint64_t outcomes[kRelayRefusalKinds];  // requests by refusal; [kNone]: those that passed
};

// The MACs a request may name; with none given (`macs` nullptr), every MAC.
struct MacAllowList {
  const std::uint8_t (*macs)[wake::kMacLength];
  int count;
};

struct RelayCheckInput {
  const std::uint8_t* data;
  std::size_t length;
  const wake::RelayKeyRing* keys;
  MacAllowList allowed;
  std::int64_t now_seconds;             // the relay's clock, seconds since 1970 UTC
  std::uint64_t now_ms;                 // a monotonic clock in milliseconds, for the rates
  RelayLimits limits;
};

struct RelayVerdict {
  RelayRefusal refusal;
  wake::RelayRequest request;           // its fields, as far as they could be read
  const wake::RelayKey* key;            // the key it names, once known; signs the answer
};

// Runs the checks in order: length and version, key identifier known, HMAC valid, time
// within the window, nonce not seen before, MAC allowed, the MAC's rate and the total rate;
// the first that fails decides, and is counted in memory->outcomes. A request that passes is
// counted there too, and its nonce and rate credit are taken. The cryptography must be open
// (platform/crypto.h).
RelayVerdict CheckRelayRequest(const RelayCheckInput& input, RelayMemory* memory);

}  // namespace listener
