// kestrava's command line: tokens, options, the start-up state they set, and the silent send.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/decimal.h"
#include "common/wake_packet.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "sender/address.h"
#include "sender/program.h"
#include "sender/wake_packet.h"

const char* g_title_word = nullptr;
std::int32_t g_debug_flags = 0;
const char* g_target_ip_text = nullptr;
const char* g_target_mac_text = nullptr;

std::uint32_t g_startup_netmask = 0;
void* g_instance = nullptr;
platform::Window g_main_dialog = nullptr;
platform::Window g_active_dialog = nullptr;
bool g_console_allocated = false;

namespace {

constexpr char kDebugOption[] = "Debug=";
constexpr char kIpOption[] = "IP=";
constexpr char kMacOption[] = "MAC=";
constexpr char kNoHeaderOption[] = "nohdr";
constexpr char kProgramNameEntry[] = "";
constexpr int kSocketsMajor = 2;
constexpr int kSocketsMinor = 0;
constexpr unsigned long kAfterSendPauseMs = 10;

// The program's command-line text, joined from its arguments.
char* g_command_line_text = nullptr;

// ASCII case folding only: option names are plain ASCII, and the locale must not change them.
char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `text` starts with `prefix`, ignoring case.
bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (Fold(*text) != Fold(*prefix)) return false;
  }
  return true;
}

bool EqualsNoCase(const char* text, const char* other) {
  return StartsWithNoCase(text, other) && text[std::strlen(other)] == '\0';
}

// Sends one broadcast magic packet to the target's subnet-directed broadcast address under
// the local netmask. Failures show as the sender's message boxes, owned by no window.
void SilentSend() {
  platform::socket_startup(kSocketsMajor, kSocketsMinor);
  const std::uint32_t address = ParseIpAddress(g_target_ip_text);
  const std::uint32_t mask = GetLocalNetmask();
  std::uint8_t mac[wake::kMacLength];
  ParseMacAddress(g_target_mac_text, mac);
  SendWakePackets(wake::kSendBroadcastMagic, address, mask, mac);
  platform::socket_cleanup();
  platform::sleep_ms(kAfterSendPauseMs);
}

}  // namespace

int SplitCommandLine(char* text, const char* table[kArgumentTableSize]) {
  int count = 0;
  table[count++] = kProgramNameEntry;
  if (text == nullptr) return count;
  char* p = text;
  while (count < kArgumentTableSize) {
    while (*p == ' ') ++p;
    if (*p == '\0') break;
    table[count++] = p;
    while (*p != ' ' && *p != '\0') ++p;
    if (*p == ' ') *p++ = '\0';
  }
  return count;
}

char* JoinArguments(int argc, const char* const* argv) {
  static char empty[1] = {'\0'};
  std::size_t length = 0;
  for (int i = 1; i < argc; ++i) length += std::strlen(argv[i]) + 1;
  // The parse keeps references into this text, so it is held for the life of the process;
  // only a second joining (tests) lets the first one go.
  std::free(g_command_line_text);
  g_command_line_text = static_cast<char*>(std::malloc(length + 1));
  char* text = g_command_line_text;
  if (text == nullptr) return empty;
  char* end = text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) *end++ = ' ';
    const std::size_t n = std::strlen(argv[i]);
    std::memcpy(end, argv[i], n);
    end += n;
  }
  *end = '\0';
  return text;
}

int ParseCommandLine(char* command_line) {
  g_target_ip_text = nullptr;
  g_target_mac_text = nullptr;

  const char* arguments[kArgumentTableSize];
  const int count = SplitCommandLine(command_line, arguments);

  for (int i = 1; i < count; ++i) {
    const char* token = arguments[i];
    if (token[0] == '/' || token[0] == '-') {
      const char* option = token + 1;
      if (StartsWithNoCase(option, kDebugOption)) {
        g_debug_flags = wake::ParseDecimal(option + std::strlen(kDebugOption));
      } else if (StartsWithNoCase(option, kIpOption)) {
        g_target_ip_text = option + std::strlen(kIpOption);
      } else if (StartsWithNoCase(option, kMacOption)) {
        g_target_mac_text = option + std::strlen(kMacOption);
      } else if (EqualsNoCase(option, kNoHeaderOption)) {
        g_sender_settings.header_length = 0;
      } else {
        return 0;  // an option we do not know: what came before stays set
      }
    } else {
      if (g_title_word != nullptr) return 0;
      g_title_word = token;
    }
  }

  if (g_target_ip_text == nullptr || g_target_mac_text == nullptr) return 0;
  SilentSend();
  return kSilentSendDone;
}
