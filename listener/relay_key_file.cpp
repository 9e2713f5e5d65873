// pilvorne's relay keys: a new key from the system's random generator, and the key file's checks and reading.
#include "listener/relay_key_file.h"

#include <cstring>

#include "listener/listener.h"
#include "listener/relay_texts.h"
#include "platform/crypto.h"
#include "platform/private_file.h"
#include "platform/system.h"

namespace listener {

namespace {

// The system's text for the last error (its number when the system has none) into `buffer`.
const char* LastErrorText(char* buffer, std::size_t size) {
  const unsigned long code = platform::last_error();
  char* text = platform::system_message_alloc(code);
  if (text != nullptr) {
    std::snprintf(buffer, size, "%s", text);
  } else {
    std::snprintf(buffer, size, "error %lu", code);
  }
  platform::free_system_message(text);
  return buffer;
}

// Overwrites key material before its memory is given back.
void Wipe(void* p, std::size_t n) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(p);
  while (n-- > 0) *bytes++ = 0;
}

}  // namespace

bool OpenRelayCrypto(FILE* err) {
  char error[256] = "";
  const platform::CryptoOpened opened = platform::open_crypto(error, sizeof error);
  if (opened == platform::CryptoOpened::kOpened) return true;
  std::fprintf(err, opened == platform::CryptoOpened::kNoLibrary ? kNeedsLibcryptoFormat : kCryptoFailedFormat, error);
  std::fflush(err);
  return false;
}

int WriteNewRelayKey(const char* path, FILE* out, FILE* err) {
  if (!OpenRelayCrypto(err)) return kExitUsage;
  wake::RelayKey key;
  if (!platform::random_bytes(key.id, sizeof key.id) || !platform::random_bytes(key.key, sizeof key.key)) {
    std::fputs(kNoRandom, err);
    std::fflush(err);
    return kExitUsage;
  }
  char line[wake::kRelayKeyLineLength + 1];
  wake::FormatRelayKeyLine(key, line);
  const bool written = platform::write_new_private_file(path, line, wake::kRelayKeyLineLength);
  const unsigned long error = platform::last_error();
  // The identifier, not the key, is what the relay's lines show.
  char id[2 * wake::kRelayKeyIdLength + 1];
  wake::FormatHex(key.id, sizeof key.id, id);
  Wipe(&key, sizeof key);
  Wipe(line, sizeof line);
  if (!written) {
    if (error == platform::kErrorAlreadyExists) {
      std::fprintf(err, kNewKeyExistsFormat, path);
    } else {
      platform::set_last_error(error);
      char why[256];
      std::fprintf(err, kNewKeyFailedFormat, path, LastErrorText(why, sizeof why));
    }
    std::fflush(err);
    return kExitUsage;
  }
  std::fprintf(out, kNewKeyWrittenFormat, id, path);
  std::fflush(out);
  return 0;
}

bool LoadRelayKeys(const char* path, const char* program, wake::RelayKeyRing* ring, FILE* err) {
  char text[wake::kRelayKeyFileRoom];
  std::size_t length = 0;
  platform::FileAccess access{};
  bool ok = platform::read_private_file(path, text, sizeof text, &length, &access);
  if (!ok) {
    char why[256];
    std::fprintf(err, wake::kKeyFileCannotReadFormat, program, path, LastErrorText(why, sizeof why));
  } else if (!access.owned_by_user && !access.owned_by_administrator) {
    std::fprintf(err, wake::kKeyFileOwnerFormat, program, path);
    ok = false;
  } else if (access.others_can_read || access.others_can_write) {
    const char* how = !access.others_can_write ? wake::kKeyFileReadable
                      : !access.others_can_read ? wake::kKeyFileWritable
                                                : wake::kKeyFileReadableWritable;
    // The line and its fix in one write, so that a log that reads lines keeps them together.
    char line[3 * platform::kPathRoom];
    int n = std::snprintf(line, sizeof line, wake::kKeyFileOpenFormat, program, path, how);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof line) {
      std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), platform::kOwnerOnlyFormat, path);
    }
    std::fprintf(err, "%s\n", line);
    ok = false;
  } else {
    int line = 0;
    const wake::KeyText read = wake::ReadRelayKeyText(text, length, ring, &line);
    switch (read) {
      case wake::KeyText::kRead: break;
      case wake::KeyText::kBadLine: std::fprintf(err, wake::kKeyFileBadLineFormat, program, path, line); break;
      case wake::KeyText::kNoKey: std::fprintf(err, wake::kKeyFileNoKeyFormat, program, path); break;
      case wake::KeyText::kTooManyKeys:
        std::fprintf(err, wake::kKeyFileTooManyFormat, program, path, line, wake::kMaxRelayKeys);
        break;
      case wake::KeyText::kDuplicateId: std::fprintf(err, wake::kKeyFileDuplicateFormat, program, path, line); break;
    }
    ok = read == wake::KeyText::kRead;
  }
  Wipe(text, sizeof text);
  if (!ok) Wipe(ring, sizeof *ring);  // no key of a refused file is used
  std::fflush(err);
  return ok;
}

}  // namespace listener
