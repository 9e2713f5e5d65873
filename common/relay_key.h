// The relay key file: its text format, read and written for both programs, and the texts of its refusals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/number.h"
#include "common/relay_request.h"

namespace wake {

// A key file is text, one key a line:
//
//   tidewake-relay-key-v1 0123456789abcdef <64 hexadecimal digits>
//
// the format word, the key identifier (8 bytes) and the key (32 random bytes), in hexadecimal,
// separated by blanks. Lines that are empty or start with '#' are ignored, and so is a
// carriage return before the line end. Text rather than raw bytes: a key can then be shown,
// compared and carried to the other machine through a terminal, a configuration manager or a
// copy and paste without a binary-safe channel, and a relay can hold several keys (a new one
// beside the old while the senders change over). The identifier travels in every request, so
// that the relay finds the key without trying each one.
constexpr char kRelayKeyWord[] = "tidewake-relay-key-v1";
constexpr int kMaxRelayKeys = 16;
// Larger than any file of kMaxRelayKeys lines with comments; a larger file is not a key file.
constexpr std::size_t kRelayKeyFileRoom = 8192;
// One written line: the word, two blanks, both fields in hexadecimal and the line end.
constexpr std::size_t kRelayKeyLineLength =
    sizeof kRelayKeyWord - 1 + 1 + 2 * kRelayKeyIdLength + 1 + 2 * kRelayKeyLength + 1;

struct RelayKey {
  std::uint8_t id[kRelayKeyIdLength];
  std::uint8_t key[kRelayKeyLength];
};

struct RelayKeyRing {
  RelayKey keys[kMaxRelayKeys];
  int count = 0;
};

enum class KeyText {
  kRead,
  kBadLine,        // a line that is not a key line; *line says which
  kNoKey,
  kTooManyKeys,    // *line is the first key line past the room
  kDuplicateId,    // *line is the second line with that identifier
};

namespace relay_key_text {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Exactly 2 * n hexadecimal digits into n bytes.
inline bool ReadHex(const char* p, std::size_t digits, std::uint8_t* out, std::size_t n) {
  if (digits != 2 * n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const int high = DigitValue(p[2 * i]);
    const int low = DigitValue(p[2 * i + 1]);
    if (high > 15 || low > 15) return false;
    out[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return true;
}

// The next field of [*p, end): skips blanks, returns its start and sets *length.
inline const char* NextField(const char** p, const char* end, std::size_t* length) {
  while (*p < end && IsBlank(**p)) ++*p;
  const char* start = *p;
  while (*p < end && !IsBlank(**p)) ++*p;
  *length = static_cast<std::size_t>(*p - start);
  return start;
}

// One line without its line end: true with `key` filled when it is a key line.
inline bool ReadKeyLine(const char* p, const char* end, RelayKey* key) {
  std::size_t n = 0;
  const char* word = NextField(&p, end, &n);
  if (n != sizeof kRelayKeyWord - 1 || std::memcmp(word, kRelayKeyWord, n) != 0) return false;
  const char* id = NextField(&p, end, &n);
  if (!ReadHex(id, n, key->id, kRelayKeyIdLength)) return false;
  const char* secret = NextField(&p, end, &n);
  if (!ReadHex(secret, n, key->key, kRelayKeyLength)) return false;
  NextField(&p, end, &n);
  return n == 0;
}

}  // namespace relay_key_text

// Reads the keys of a key file's `length` bytes of text into `ring`. On anything but kRead,
// *line is the number (from 1) of the line at fault, 0 for kNoKey.
inline KeyText ReadRelayKeyText(const char* text, std::size_t length, RelayKeyRing* ring, int* line) {
  using namespace relay_key_text;
  ring->count = 0;
  *line = 0;
  const char* p = text;
  const char* const end = text + length;
  while (p < end) {
    ++*line;
    const char* line_end = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (line_end == nullptr) line_end = end;
    const char* content_end = line_end;
    if (content_end > p && content_end[-1] == '\r') --content_end;
    const char* first = p;
    while (first < content_end && IsBlank(*first)) ++first;
    const bool ignored = first == content_end || *first == '#';
    p = line_end < end ? line_end + 1 : end;
    if (ignored) continue;
    if (ring->count == kMaxRelayKeys) return KeyText::kTooManyKeys;
    RelayKey& key = ring->keys[ring->count];
    if (!ReadKeyLine(first, content_end, &key)) return KeyText::kBadLine;
    for (int i = 0; i < ring->count; ++i) {
      if (std::memcmp(ring->keys[i].id, key.id, kRelayKeyIdLength) == 0) return KeyText::kDuplicateId;
    }
    ++ring->count;
  }
  if (ring->count == 0) {
    *line = 0;
    return KeyText::kNoKey;
  }
  return KeyText::kRead;
}

// Hexadecimal digits of `n` bytes, lower case, and a terminator (room for 2 * n + 1).
inline void FormatHex(const std::uint8_t* bytes, std::size_t n, char* out) {
  static const char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < n; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0xF];
  }
  out[2 * n] = '\0';
}

// The key's line of a key file, with its line end and a terminator (room for
// kRelayKeyLineLength + 1).
inline void FormatRelayKeyLine(const RelayKey& key, char* out) {
  std::size_t n = sizeof kRelayKeyWord - 1;
  std::memcpy(out, kRelayKeyWord, n);
  out[n++] = ' ';
  FormatHex(key.id, kRelayKeyIdLength, out + n);
  n += 2 * kRelayKeyIdLength;
  out[n++] = ' ';
  FormatHex(key.key, kRelayKeyLength, out + n);
  n += 2 * kRelayKeyLength;
  out[n++] = '\n';
  out[n] = '\0';
}

// The key of that identifier in the ring; nullptr when it holds none.
inline const RelayKey* FindRelayKey(const RelayKeyRing& ring, const std::uint8_t id[kRelayKeyIdLength]) {
  for (int i = 0; i < ring.count; ++i) {
    if (std::memcmp(ring.keys[i].id, id, kRelayKeyIdLength) == 0) return &ring.keys[i];
  }
  return nullptr;
}

// What both programs print when a key file is refused, one line each: the program's name,
// the file's path, then the details.
constexpr char kKeyFileOpenFormat[] = "%s: %s is %s by others; ";   // then the platform's fix
constexpr char kKeyFileReadable[] = "readable";
constexpr char kKeyFileWritable[] = "writable";
constexpr char kKeyFileReadableWritable[] = "readable and writable";
constexpr char kKeyFileOwnerFormat[] = "%s: %s belongs to another user; a key file must be your own\n";
constexpr char kKeyFileCannotReadFormat[] = "%s: cannot read the key file %s: %s\n";
constexpr char kKeyFileBadLineFormat[] = "%s: %s line %d is not a key line (tidewake-relay-key-v1 ID KEY)\n";
constexpr char kKeyFileNoKeyFormat[] = "%s: %s holds no key\n";
constexpr char kKeyFileTooManyFormat[] = "%s: %s line %d: more than %d keys\n";
constexpr char kKeyFileDuplicateFormat[] = "%s: %s line %d: a second key with the same identifier\n";
// The cryptography that signs with a key cannot be opened: the program's name, why.
constexpr char kNeedsLibcryptoFormat[] = "%s: relay keys need libcrypto (Debian: libssl3): %s\n";
constexpr char kCryptoFailedFormat[] = "%s: the system's cryptography cannot be used: %s\n";

}  // namespace wake
