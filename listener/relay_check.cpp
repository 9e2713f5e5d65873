// The relay's checks of a wake request: form, key, HMAC, time, nonce, allow-list and rates, the first failure deciding.
#include "listener/relay_check.h"

#include <cstring>

#include "common/relay_sign.h"
#include "listener/relay_texts.h"

namespace listener {

static_assert(sizeof kRelayRefusalTexts / sizeof kRelayRefusalTexts[0] == kRelayRefusalKinds,
              "one text for every refusal");

namespace {

RelayRefusal RefusalOfForm(wake::RelayForm form) {
  switch (form) {
    case wake::RelayForm::kWellFormed: return RelayRefusal::kNone;
    case wake::RelayForm::kWrongLength: return RelayRefusal::kWrongLength;
    case wake::RelayForm::kNotRelay: return RelayRefusal::kNotRequest;
    case wake::RelayForm::kWrongVersion: return RelayRefusal::kWrongVersion;
    case wake::RelayForm::kMalformed: return RelayRefusal::kMalformed;
  }
  return RelayRefusal::kMalformed;
}

// Looks for the nonce in its bucket. Not seen: its slot (a free one, or one whose nonce no
// longer matters) in *slot, nullptr when there is none.
bool NonceSeen(NonceMemory* memory, const std::uint8_t* nonce, std::int64_t now, NonceSlot** slot) {
  // The nonce is random, so two of its bytes spread the buckets evenly; only a key's holder
  // can choose a nonce that gets this far.
  const unsigned bucket = (static_cast<unsigned>(nonce[0]) << 8 | nonce[1]) % kNonceBuckets;
  *slot = nullptr;
  for (NonceSlot& s : memory->slots[bucket]) {
    const bool free = s.until == 0 || s.until < now;
    if (!free && std::memcmp(s.nonce, nonce, wake::kRelayNonceLength) == 0) return true;
    if (free && *slot == nullptr) *slot = &s;
  }
  return false;
}

bool MacAllowed(const MacAllowList& allowed, const std::uint8_t* mac) {
  if (allowed.macs == nullptr) return true;
  for (int i = 0; i < allowed.count; ++i) {
    if (std::memcmp(allowed.macs[i], mac, wake::kMacLength) == 0) return true;
  }
  return false;
}

// The bucket's credit brought up to `now`; a clock that went back adds nothing.
std::int64_t Credit(const TokenBucket& b, const RateLimit& limit, std::uint64_t now) {
  const std::int64_t full = static_cast<std::int64_t>(limit.burst) * limit.interval_ms;
  if (!b.started) return full;
  const std::uint64_t elapsed = now > b.at_ms ? now - b.at_ms : 0;
  if (elapsed >= static_cast<std::uint64_t>(full)) return full;
  const std::int64_t credit = b.credit_ms + static_cast<std::int64_t>(elapsed);
  return credit < full ? credit : full;
}

void Take(TokenBucket* b, const RateLimit& limit, std::uint64_t now) {
  b->credit_ms = Credit(*b, limit, now) - limit.interval_ms;
  b->at_ms = now;
  b->started = true;
}

// The MAC's bucket, or a slot it can take (one never used, or one full again); nullptr when
// every slot holds a bucket still in use.
MacBucket* FindMacBucket(RelayMemory* memory, const std::uint8_t* mac, const RateLimit& limit, std::uint64_t now) {
  MacBucket* spare = nullptr;
  const std::int64_t full = static_cast<std::int64_t>(limit.burst) * limit.interval_ms;
  for (MacBucket& m : memory->macs) {
    if (m.used && std::memcmp(m.mac, mac, wake::kMacLength) == 0) return &m;
    if (spare == nullptr && (!m.used || Credit(m.bucket, limit, now) == full)) spare = &m;
  }
  if (spare != nullptr) {
    std::memcpy(spare->mac, mac, wake::kMacLength);
    spare->used = true;
    spare->bucket = TokenBucket{};
  }
  return spare;
}

RelayRefusal Check(const RelayCheckInput& in, RelayMemory* memory, RelayVerdict* verdict) {
  const RelayRefusal form = RefusalOfForm(wake::ReadRelayRequest(in.data, in.length, &verdict->request));
  if (form != RelayRefusal::kNone) return form;
  const wake::RelayRequest& r = verdict->request;

  verdict->key = wake::FindRelayKey(*in.keys, r.key_id);
  if (verdict->key == nullptr) return RelayRefusal::kUnknownKey;
  // Should the HMAC itself fail, nothing vouches for the request: it is refused as unsigned.
  if (!wake::RelaySignatureValid(in.data, wake::kRequestHmacOffset, *verdict->key)) return RelayRefusal::kBadSignature;

  // The reader keeps the top bit clear, so the time fits a signed number.
  const std::int64_t time = static_cast<std::int64_t>(r.time);
  if (time > in.now_seconds + kRelayTimeWindowSeconds || time < in.now_seconds - kRelayTimeWindowSeconds) {
    return RelayRefusal::kTimeOff;
  }

  NonceSlot* slot = nullptr;
  if (NonceSeen(&memory->nonces, r.nonce, in.now_seconds, &slot)) return RelayRefusal::kReplayed;
  if (slot == nullptr) return RelayRefusal::kNonceRoomFull;
  // Remembered as soon as it is known to be authentic and fresh, whatever the later checks
  // say: a request refused for its MAC or its rate must not pass when sent again.
  std::memcpy(slot->nonce, r.nonce, wake::kRelayNonceLength);
  slot->until = time + kRelayTimeWindowSeconds;

  if (!MacAllowed(in.allowed, r.mac)) return RelayRefusal::kMacNotAllowed;

  MacBucket* mac = FindMacBucket(memory, r.mac, in.limits.per_mac, in.now_ms);
  if (mac == nullptr || Credit(mac->bucket, in.limits.per_mac, in.now_ms) < in.limits.per_mac.interval_ms) {
    return RelayRefusal::kMacRate;
  }
  if (Credit(memory->total, in.limits.total, in.now_ms) < in.limits.total.interval_ms) return RelayRefusal::kTotalRate;
  // Credit is taken only from a request that is relayed.
  Take(&mac->bucket, in.limits.per_mac, in.now_ms);
  Take(&memory->total, in.limits.total, in.now_ms);
  return RelayRefusal::kNone;
}

}  // namespace

const char* RelayRefusalText(RelayRefusal refusal) {
  const int i = static_cast<int>(refusal);
  return i >= 0 && i < kRelayRefusalKinds ? kRelayRefusalTexts[i] : kRelayRefusalTexts[0];
}

RelayVerdict CheckRelayRequest(const RelayCheckInput& input, RelayMemory* memory) {
  RelayVerdict verdict{RelayRefusal::kNone, {}, nullptr};
  verdict.refusal = Check(input, memory, &verdict);
  ++memory->outcomes[static_cast<int>(verdict.refusal)];
  return verdict;
}

}  // namespace listener
