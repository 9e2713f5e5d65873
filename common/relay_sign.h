// The relay's request and acknowledgement signed and checked with a relay key (HMAC-SHA256 of the platform's cryptography).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/relay_key.h"
#include "common/relay_request.h"

namespace wake {

// The datagram's bytes with its HMAC under `key` after them. False when the cryptography
// cannot compute it (it must be open: OpenRelayCrypto).
bool SignRelayRequest(const RelayRequest& request, const RelayKey& key, std::uint8_t out[kRequestLength]);
bool SignRelayAck(const RelayAck& ack, const RelayKey& key, std::uint8_t out[kAckLength]);

// Whether the HMAC at `hmac_offset` in `data` is the one of the bytes before it under `key`,
// compared in constant time. False too when the HMAC cannot be computed: nothing vouches for
// the bytes then.
bool RelaySignatureValid(const std::uint8_t* data, std::size_t hmac_offset, const RelayKey& key);

// How a datagram that should be an acknowledgement looks.
enum class AckCheck {
  kValid,          // well formed, for this key, signed with it
  kNotAck,         // not an acknowledgement of this layout
  kOtherKey,       // it names another key
  kBadSignature,
};

// Reads and checks an acknowledgement signed with `key`; its fields in *ack (whether it
// answers a request of ours, by its nonce, is the caller's to check).
AckCheck ReadSignedRelayAck(const std::uint8_t* data, std::size_t length, const RelayKey& key, RelayAck* ack);

}  // namespace wake
