// Signed relay datagrams: what one key signs, the same key accepts, and nothing else does.
#include "common/relay_sign.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/crypto.h"

namespace {

wake::RelayKey Key(std::uint8_t id, std::uint8_t fill) {
  wake::RelayKey key;
  std::memset(key.id, id, sizeof key.id);
  std::memset(key.key, fill, sizeof key.key);
  return key;
}

TEST(RelaySign, TheSigningKeyAcceptsAndNothingElseDoes) {
  char error[256];
  ASSERT_EQ(platform::open_crypto(error, sizeof error), platform::CryptoOpened::kOpened) << error;
  const wake::RelayKey key = Key(1, 0x11);
  wake::RelayAck ack;
  ack.sent = wake::kRelaySendBroadcast;
  ack.subnets = 1;
  ack.listed = 1;
  std::strcpy(ack.destinations[0].name, "eth0");
  ack.port_count = 1;
  ack.ports[0] = 9;
  ack.datagrams = 3;
  std::memcpy(ack.key_id, key.id, sizeof ack.key_id);
  std::uint8_t signed_ack[wake::kAckLength];
  ASSERT_TRUE(wake::SignRelayAck(ack, key, signed_ack));

  const struct {
    const char* what;
    wake::RelayKey key;
    std::size_t flipped;  // a byte changed; kAckLength: none
    std::size_t length;
    wake::AckCheck expected;
  } cases[] = {
      {"as signed", key, wake::kAckLength, wake::kAckLength, wake::AckCheck::kValid},
      {"another key of the same identifier", Key(1, 0x12), wake::kAckLength, wake::kAckLength,
       wake::AckCheck::kBadSignature},
      {"a key of another identifier", Key(2, 0x11), wake::kAckLength, wake::kAckLength, wake::AckCheck::kOtherKey},
      {"datagram count changed", key, wake::kAckDatagramsOffset + 3, wake::kAckLength, wake::AckCheck::kBadSignature},
      {"nonce changed", key, wake::kAckNonceOffset, wake::kAckLength, wake::AckCheck::kBadSignature},
      {"HMAC changed", key, wake::kAckHmacOffset + 31, wake::kAckLength, wake::AckCheck::kBadSignature},
      {"cut by one byte", key, wake::kAckLength, wake::kAckLength - 1, wake::AckCheck::kNotAck},
  };
  for (const auto& c : cases) {
    std::uint8_t bytes[wake::kAckLength];
    std::memcpy(bytes, signed_ack, sizeof bytes);
    if (c.flipped < wake::kAckLength) bytes[c.flipped] ^= 0x01;
    wake::RelayAck read;
    EXPECT_EQ(wake::ReadSignedRelayAck(bytes, c.length, c.key, &read), c.expected) << c.what;
  }

  // A request, signed the same way, passes the relay's signature check under its key alone.
  wake::RelayRequest request;
  request.port_count = 1;
  request.ports[0] = 9;
  std::uint8_t signed_request[wake::kRequestLength];
  ASSERT_TRUE(wake::SignRelayRequest(request, key, signed_request));
  EXPECT_TRUE(wake::RelaySignatureValid(signed_request, wake::kRequestHmacOffset, key));
  EXPECT_FALSE(wake::RelaySignatureValid(signed_request, wake::kRequestHmacOffset, Key(1, 0x12)));
}

}  // namespace
