// pilvorne's command line: -PortNo[=n], -Help, -?, -Version, with "/" for "-".
#include <cstring>

#include "common/ascii.h"
#include "common/number.h"
#include "common/wake_packet.h"
#include "listener/listener.h"
#include "listener/texts.h"

namespace listener {

ListenerState g_listener;

namespace {

// Compares the first `length` characters of `text` with `word` (at least that long), ignoring
// ASCII case; a text that ends before `length` characters does not match.
bool starts_with_word(const char* text, const char* word, std::size_t length) {
  return wake::EqualNoCase(text, word, length);
}

// The port value starts after the lead character, "PortNo" and one separator.
constexpr std::size_t kPortValueOffset = 8;

void print_usage(FILE* err) {
  std::fputs(kUsageLine1, err);
  std::fputs(kUsageLine2, err);
  std::fflush(err);
}

}  // namespace

void ResetListenerState() { g_listener = ListenerState{}; }

int ParseListenerCommandLine(int argc, char* const* argv, FILE* out, FILE* err) {
  bool usage_requested = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    bool known = false;
    if (arg[0] == '-' || arg[0] == '/') {
      const char* word = arg + 1;
      known = true;
      if (starts_with_word(word, "portno", 6)) {
        // "-PortNo" alone carries no value: the port stays as it is rather than being
        // read from beyond the end of the argument.
        if (std::strlen(arg) >= kPortValueOffset) g_listener.port = wake::ParseDecimal(arg + kPortValueOffset);
      } else if (starts_with_word(word, "help", 4) || starts_with_word(word, "?", 1)) {
        usage_requested = true;
      } else if (starts_with_word(word, "version", 7)) {
        std::fprintf(out, kVersionLineFormat, kProgramName, g_listener.version_field, kBuildDate);
        std::fflush(out);
      } else {
        known = false;
      }
    }
    if (!known) {
      std::fprintf(err, kSyntaxErrorFormat, arg);
      print_usage(err);
      return kExitUsage;
    }
  }
  if (usage_requested) {
    print_usage(err);
    return kExitUsage;
  }
  return 0;
}

}  // namespace listener
