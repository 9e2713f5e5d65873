// pilvorne -NewKey: a new key from the system's random generator, in a new file for its owner alone.
#include "listener/relay_key_file.h"

#include <cstring>

#include "common/relay_key.h"
#include "common/relay_key_file.h"
#include "listener/listener.h"
#include "listener/relay_texts.h"
#include "listener/texts.h"
#include "platform/crypto.h"
#include "platform/private_file.h"
#include "platform/system.h"

namespace listener {

int WriteNewRelayKey(const char* path, FILE* out, FILE* err) {
  if (!wake::OpenRelayCrypto(kProgramName, err)) return kExitUsage;
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
  wake::WipeSecret(&key, sizeof key);
  wake::WipeSecret(line, sizeof line);
  if (!written) {
    if (error == platform::kErrorAlreadyExists) {
      std::fprintf(err, kNewKeyExistsFormat, path);
    } else {
      platform::set_last_error(error);
      char why[256];
      std::fprintf(err, kNewKeyFailedFormat, path, wake::LastErrorText(why, sizeof why));
    }
    std::fflush(err);
    return kExitUsage;
  }
  std::fprintf(out, kNewKeyWrittenFormat, id, path);
  std::fflush(out);
  return 0;
}

}  // namespace listener
