// Windows cryptography: CNG (BCrypt), part of the system: an HMAC-SHA256 provider and the system's random generator.
#include "platform/crypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>
#include <cstring>

namespace platform {

namespace {

BCRYPT_ALG_HANDLE g_hmac = nullptr;

bool succeeded(NTSTATUS status) { return status >= 0; }

// CNG takes lengths as ULONG (32 bits).
constexpr std::size_t kMaxLength = 0xFFFFFFFFu;

}  // namespace

CryptoOpened open_crypto(char* error, std::size_t error_size) {
  if (g_hmac != nullptr) return CryptoOpened::kOpened;
  BCRYPT_ALG_HANDLE provider = nullptr;
  NTSTATUS status = BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                BCRYPT_ALG_HANDLE_HMAC_FLAG);
  if (!succeeded(status)) {
    if (error != nullptr && error_size > 0) {
      std::snprintf(error, error_size, "BCryptOpenAlgorithmProvider: status 0x%08lX", static_cast<unsigned long>(status));
    }
    return CryptoOpened::kFailed;
  }
  g_hmac = provider;
  return CryptoOpened::kOpened;
}

bool hmac_sha256(const std::uint8_t* key, std::size_t key_length, const std::uint8_t* data,
                 std::size_t length, std::uint8_t out[kHmacSha256Length]) {
  if (g_hmac == nullptr || key_length > kMaxLength || length > kMaxLength) return false;
  // The provider keeps the hash object itself (no object buffer passed), as CNG allows since
  // Windows 7.
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!succeeded(BCryptCreateHash(g_hmac, &hash, nullptr, 0, const_cast<PUCHAR>(key),
                                  static_cast<ULONG>(key_length), 0))) {
    return false;
  }
  bool ok = (length == 0 || succeeded(BCryptHashData(hash, const_cast<PUCHAR>(data), static_cast<ULONG>(length), 0))) &&
            succeeded(BCryptFinishHash(hash, out, static_cast<ULONG>(kHmacSha256Length), 0));
  BCryptDestroyHash(hash);
  return ok;
}

bool random_bytes(std::uint8_t* out, std::size_t length) {
  if (g_hmac == nullptr || length > kMaxLength) return false;
  return succeeded(BCryptGenRandom(nullptr, out, static_cast<ULONG>(length), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

// CNG has no comparison of its own. Both values are put through HMAC under a key drawn for this
// comparison alone, and the two results compared: whatever time that comparison takes depends
// on the two HMACs, which no one who does not know the fresh key can relate to the inputs, so
// timing it tells a forger nothing about how much of a guess was right.
bool equal_in_constant_time(const std::uint8_t* a, const std::uint8_t* b, std::size_t length) {
  std::uint8_t key[kHmacSha256Length];
  std::uint8_t mac_a[kHmacSha256Length];
  std::uint8_t mac_b[kHmacSha256Length];
  if (!random_bytes(key, sizeof key) || !hmac_sha256(key, sizeof key, a, length, mac_a) ||
      !hmac_sha256(key, sizeof key, b, length, mac_b)) {
    return false;
  }
  return std::memcmp(mac_a, mac_b, sizeof mac_a) == 0;
}

}  // namespace platform
