// kestrava's command line: tokens and the option parse into a record.
#include <cstdlib>
#include <cstring>

#include "common/ascii.h"
#include "common/number.h"
#include "sender/program.h"
#include "sender/send_options.h"
#include "sender/send_texts.h"

namespace {

constexpr char kDebugOption[] = "Debug=";
constexpr char kIpOption[] = "IP=";
constexpr char kMacOption[] = "MAC=";
constexpr char kNoHeaderOption[] = "nohdr";
// The words that ask for the command line summary or the version (after the lead '/' or '-').
constexpr const char* kHelpOptions[] = {"-help", "h", "?"};
constexpr char kVersionOption[] = "-version";
constexpr char kProgramNameEntry[] = "";

bool IsHelpOption(const char* option) {
  for (const char* word : kHelpOptions) {
    if (wake::EqualsNoCase(option, word)) return true;
  }
  return false;
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
  // The parse keeps references into this text, so the program record holds it for the life
  // of the process; only a second joining (tests) lets the first one go.
  std::free(g_program.command_line_text);
  g_program.command_line_text = static_cast<char*>(std::malloc(length + 1));
  char* text = g_program.command_line_text;
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

CommandLine ParseCommandLine(char* command_line) {
  CommandLine result;
  const char* arguments[kArgumentTableSize];
  const int count = SplitCommandLine(command_line, arguments);

  for (int i = 1; i < count; ++i) {
    const char* token = arguments[i];
    if (token[0] == '/' || token[0] == '-') {
      const char* option = token + 1;
      if (wake::StartsWithNoCase(option, kDebugOption)) {
        result.debug_flags = wake::ParseDecimal(option + std::strlen(kDebugOption));
      } else if (wake::StartsWithNoCase(option, kIpOption)) {
        result.target_ip_text = option + std::strlen(kIpOption);
      } else if (wake::StartsWithNoCase(option, kMacOption)) {
        result.target_mac_text = option + std::strlen(kMacOption);
      } else if (wake::EqualsNoCase(option, kNoHeaderOption)) {
        result.no_header = true;
      } else if (IsHelpOption(option)) {
        result.action = ProgramAction::kHelp;
        return result;
      } else if (wake::EqualsNoCase(option, kVersionOption)) {
        result.action = ProgramAction::kVersion;
        return result;
      } else {
        const OptionRead read = ReadSendOption(token, option, &result.send, &result.bad_reason);
        if (read == OptionRead::kBadValue) {
          result.action = ProgramAction::kBadOption;
          result.bad_token = token;
          return result;
        }
        // An option we do not know: what came before stays set.
        if (read == OptionRead::kNotASendOption) {
          result.ended_at = token;
          result.end_reason = send_texts::kEndedNotAnOption;
          return result;
        }
      }
    } else {
      if (result.title_word != nullptr) {
        result.ended_at = token;
        result.end_reason = send_texts::kEndedSecondWord;
        return result;
      }
      result.title_word = token;
    }
  }

  result.bad_reason = CheckSendOptions(result.send, &result.bad_token);
  if (result.bad_reason != nullptr) {
    result.action = ProgramAction::kBadOption;
  } else if (HasCommandLineTarget(result) || result.send.file_token != nullptr) {
    result.action = ProgramAction::kSilentSend;
  }
  return result;
}

void ApplyCommandLine(const CommandLine& command_line) {
  g_program.title_word = command_line.title_word;
  g_program.debug_flags = command_line.debug_flags;
  if (command_line.no_header) g_program.sender.header_length = 0;
  if (command_line.send.port_token != nullptr) g_program.sender.port = command_line.send.port;
  g_program.ended_at = command_line.ended_at;
  g_program.end_reason = command_line.end_reason;
}
