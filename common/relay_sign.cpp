// The relay's datagrams signed and checked: the layout's writer, then the HMAC of every byte before the HMAC's place.
#include "common/relay_sign.h"

#include <cstring>

#include "platform/crypto.h"

namespace wake {

static_assert(kRelayHmacLength == platform::kHmacSha256Length, "the layouts carry an HMAC-SHA256");

namespace {

bool Sign(const RelayKey& key, std::uint8_t* data, std::size_t hmac_offset) {
  return platform::hmac_sha256(key.key, sizeof key.key, data, hmac_offset, data + hmac_offset);
}

}  // namespace

bool SignRelayRequest(const RelayRequest& request, const RelayKey& key, std::uint8_t out[kRequestLength]) {
  WriteRelayRequest(request, out);
  return Sign(key, out, kRequestHmacOffset);
}

bool SignRelayAck(const RelayAck& ack, const RelayKey& key, std::uint8_t out[kAckLength]) {
  WriteRelayAck(ack, out);
  return Sign(key, out, kAckHmacOffset);
}

bool RelaySignatureValid(const std::uint8_t* data, std::size_t hmac_offset, const RelayKey& key) {
  std::uint8_t expected[kRelayHmacLength];
  return platform::hmac_sha256(key.key, sizeof key.key, data, hmac_offset, expected) &&
         platform::equal_in_constant_time(expected, data + hmac_offset, sizeof expected);
}

AckCheck ReadSignedRelayAck(const std::uint8_t* data, std::size_t length, const RelayKey& key, RelayAck* ack) {
  if (ReadRelayAck(data, length, ack) != RelayForm::kWellFormed) return AckCheck::kNotAck;
  if (std::memcmp(ack->key_id, key.id, kRelayKeyIdLength) != 0) return AckCheck::kOtherKey;
  return RelaySignatureValid(data, kAckHmacOffset, key) ? AckCheck::kValid : AckCheck::kBadSignature;
}

}  // namespace wake
