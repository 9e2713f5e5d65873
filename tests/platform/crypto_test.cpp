// The cryptography service: HMAC-SHA256 against RFC 4231's vectors, random bytes, the constant-time comparison.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/crypto.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 0xF];
  }
  return s;
}

class Crypto : public ::testing::Test {
 protected:
  void SetUp() override {
    char error[256] = "";
    ASSERT_EQ(platform::CryptoOpened::kOpened, platform::open_crypto(error, sizeof error)) << error;
  }
};

TEST_F(Crypto, HmacSha256GivesTheVectorsOfRfc4231) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> data;
    const char* mac;
  };
  const Case cases[] = {
      {"test case 1", std::vector<std::uint8_t>(20, 0x0b), Bytes("Hi There"),
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"test case 2", Bytes("Jefe"), Bytes("what do ya want for nothing?"),
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      // A key longer than the hash's block is hashed first.
      {"test case 6", std::vector<std::uint8_t>(131, 0xaa),
       Bytes("Test Using Larger Than Block-Size Key - Hash Key First"),
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
  };
  for (const Case& c : cases) {
    std::uint8_t mac[platform::kHmacSha256Length];
    ASSERT_TRUE(platform::hmac_sha256(c.key.data(), c.key.size(), c.data.data(), c.data.size(), mac)) << c.what;
    EXPECT_EQ(c.mac, Hex(mac, sizeof mac)) << c.what;
  }
}

TEST_F(Crypto, RandomBytesFillTheWholeBufferAndDifferEachTime) {
  std::uint8_t a[64] = {};
  std::uint8_t b[64] = {};
  ASSERT_TRUE(platform::random_bytes(a, sizeof a));
  ASSERT_TRUE(platform::random_bytes(b, sizeof b));
  EXPECT_NE(0, std::memcmp(a, b, sizeof a));
  // Neither end left as it was (a chance of 2^-64 each way).
  const std::uint8_t zero[8] = {};
  EXPECT_NE(0, std::memcmp(a, zero, 8));
  EXPECT_NE(0, std::memcmp(a + 56, zero, 8));
}

TEST_F(Crypto, ConstantTimeComparisonTellsEqualFromDifferentAnywhere) {
  std::uint8_t a[32];
  for (int i = 0; i < 32; ++i) a[i] = static_cast<std::uint8_t>(i);
  std::uint8_t b[32];
  std::memcpy(b, a, sizeof b);
  EXPECT_TRUE(platform::equal_in_constant_time(a, b, sizeof a));
  EXPECT_TRUE(platform::equal_in_constant_time(a, b, 0));
  for (int i = 0; i < 32; ++i) {
    std::memcpy(b, a, sizeof b);
    b[i] ^= 0x80;
    EXPECT_FALSE(platform::equal_in_constant_time(a, b, sizeof a)) << "byte " << i;
    // Only the given length is compared.
    EXPECT_TRUE(platform::equal_in_constant_time(a, b, static_cast<std::size_t>(i)));
  }
}

}  // namespace
