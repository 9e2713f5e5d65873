// Relay key files: the cryptography opened with one line when it cannot be, the file's owner and access checked before its keys are read.
#include "common/relay_key_file.h"

#include "platform/crypto.h"
#include "platform/private_file.h"
#include "platform/system.h"

namespace wake {

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

void WipeSecret(void* p, std::size_t n) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(p);
  while (n-- > 0) *bytes++ = 0;
}

bool OpenRelayCrypto(const char* program, FILE* err) {
  char error[256] = "";
  const platform::CryptoOpened opened = platform::open_crypto(error, sizeof error);
  if (opened == platform::CryptoOpened::kOpened) return true;
  std::fprintf(err, opened == platform::CryptoOpened::kNoLibrary ? kNeedsLibcryptoFormat : kCryptoFailedFormat,
               program, error);
  std::fflush(err);
  return false;
}

bool LoadRelayKeys(const char* path, const char* program, RelayKeyRing* ring, FILE* err) {
  char text[kRelayKeyFileRoom];
  std::size_t length = 0;
  platform::FileAccess access{};
  bool ok = platform::read_private_file(path, text, sizeof text, &length, &access);
  if (!ok) {
    char why[256];
    std::fprintf(err, kKeyFileCannotReadFormat, program, path, LastErrorText(why, sizeof why));
  } else if (!access.owned_by_user && !access.owned_by_administrator) {
    std::fprintf(err, kKeyFileOwnerFormat, program, path);
    ok = false;
  } else if (access.others_can_read || access.others_can_write) {
    const char* how = !access.others_can_write ? kKeyFileReadable
                      : !access.others_can_read ? kKeyFileWritable
                                                : kKeyFileReadableWritable;
    // The line and its fix in one write, so that a log that reads lines keeps them together.
    char line[3 * platform::kPathRoom];
    int n = std::snprintf(line, sizeof line, kKeyFileOpenFormat, program, path, how);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof line) {
      std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), platform::kOwnerOnlyFormat, path);
    }
    std::fprintf(err, "%s\n", line);
    ok = false;
  } else {
    int line = 0;
    const KeyText read = ReadRelayKeyText(text, length, ring, &line);
    switch (read) {
      case KeyText::kRead: break;
      case KeyText::kBadLine: std::fprintf(err, kKeyFileBadLineFormat, program, path, line); break;
      case KeyText::kNoKey: std::fprintf(err, kKeyFileNoKeyFormat, program, path); break;
      case KeyText::kTooManyKeys: std::fprintf(err, kKeyFileTooManyFormat, program, path, line, kMaxRelayKeys); break;
      case KeyText::kDuplicateId: std::fprintf(err, kKeyFileDuplicateFormat, program, path, line); break;
    }
    ok = read == KeyText::kRead;
  }
  WipeSecret(text, sizeof text);
  if (!ok) WipeSecret(ring, sizeof *ring);  // no key of a refused file is used
  std::fflush(err);
  return ok;
}

}  // namespace wake
