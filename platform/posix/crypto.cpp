// POSIX cryptography: OpenSSL's libcrypto, opened when a key is first used; HMAC, RAND_bytes, CRYPTO_memcmp.
#include "platform/crypto.h"

#include <dlfcn.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <climits>
#include <cstdio>

namespace platform {

namespace {

// libcrypto is opened only by a program that uses a relay key, so that kestrava's plain
// silent send and the plain listener map nothing but the C library and the loader. Its
// functions are called through this table, filled from the library's exported names.
struct CryptoFunctions {
  decltype(&HMAC) hmac;
  decltype(&EVP_sha256) sha256;
  decltype(&RAND_bytes) rand_bytes;
  decltype(&CRYPTO_memcmp) memcmp;
  decltype(&ERR_get_error) get_error;
  decltype(&ERR_error_string_n) error_string;
};
CryptoFunctions g_crypto;
bool g_opened = false;

// The shared library's name with its ABI version, as the runtime package (libssl3) installs it.
constexpr char kCryptoLibrary[] = "libcrypto.so.3";

template <typename Function>
bool resolve(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  return *function != nullptr;
}

}  // namespace

CryptoOpened open_crypto(char* error, std::size_t error_size) {
  if (g_opened) return CryptoOpened::kOpened;
  void* library = dlopen(kCryptoLibrary, RTLD_NOW | RTLD_LOCAL);
  bool ok = library != nullptr &&
            resolve(library, "HMAC", &g_crypto.hmac) &&
            resolve(library, "EVP_sha256", &g_crypto.sha256) &&
            resolve(library, "RAND_bytes", &g_crypto.rand_bytes) &&
            resolve(library, "CRYPTO_memcmp", &g_crypto.memcmp) &&
            resolve(library, "ERR_get_error", &g_crypto.get_error) &&
            resolve(library, "ERR_error_string_n", &g_crypto.error_string);
  if (!ok) {
    const char* why = dlerror();
    if (error != nullptr && error_size > 0) std::snprintf(error, error_size, "%s", why != nullptr ? why : kCryptoLibrary);
    if (library != nullptr) dlclose(library);
    return CryptoOpened::kNoLibrary;
  }
  // The random generator seeds itself from the kernel on first use; one draw here makes a
  // system without entropy a failure of the opening, reported once, rather than of a send.
  unsigned char probe[1];
  if (g_crypto.rand_bytes(probe, sizeof probe) != 1) {
    if (error != nullptr && error_size > 0) g_crypto.error_string(g_crypto.get_error(), error, error_size);
    dlclose(library);
    return CryptoOpened::kFailed;
  }
  g_opened = true;
  return CryptoOpened::kOpened;
}

bool hmac_sha256(const std::uint8_t* key, std::size_t key_length, const std::uint8_t* data,
                 std::size_t length, std::uint8_t out[kHmacSha256Length]) {
  if (!g_opened || key_length > INT_MAX) return false;
  unsigned int written = 0;
  return g_crypto.hmac(g_crypto.sha256(), key, static_cast<int>(key_length), data, length, out, &written) != nullptr &&
         written == kHmacSha256Length;
}

bool random_bytes(std::uint8_t* out, std::size_t length) {
  if (!g_opened || length > INT_MAX) return false;
  return g_crypto.rand_bytes(out, static_cast<int>(length)) == 1;
}

bool equal_in_constant_time(const std::uint8_t* a, const std::uint8_t* b, std::size_t length) {
  return g_opened && g_crypto.memcmp(a, b, length) == 0;
}

}  // namespace platform
