// HMAC-SHA256, random bytes and a constant-time comparison from the system's cryptography (libcrypto, loaded when first opened; CNG).
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

constexpr std::size_t kHmacSha256Length = 32;

// How opening the cryptography went.
enum class CryptoOpened {
  kOpened,
  kNoLibrary,   // the library cannot be loaded; the error text says why
  kFailed,      // anything else; the error text says what
};

// Makes the cryptography ready: on POSIX loads libcrypto (only a program that uses a key maps
// it), on Windows opens the HMAC-SHA256 provider. Once is enough; every call after a success
// says kOpened at once. The functions below fail until it has succeeded.
CryptoOpened open_crypto(char* error, std::size_t error_size);

// HMAC-SHA256 of `length` bytes at `data` under `key`, into `out`. False on failure.
bool hmac_sha256(const std::uint8_t* key, std::size_t key_length, const std::uint8_t* data,
                 std::size_t length, std::uint8_t out[kHmacSha256Length]);

// `length` bytes from the system's cryptographic random generator. False on failure.
bool random_bytes(std::uint8_t* out, std::size_t length);

// Whether the `length` bytes at `a` and at `b` are equal, taking a time that does not depend on
// where they differ (a forger learns nothing by timing the comparison of a guessed HMAC).
// False also when the cryptography is not open.
bool equal_in_constant_time(const std::uint8_t* a, const std::uint8_t* b, std::size_t length);

}  // namespace platform
