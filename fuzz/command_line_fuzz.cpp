// Fuzzes kestrava's command-line splitting and option parse; the parse only reads, so every input is taken.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "sender/program.h"

namespace {

bool Inside(const char* p, const std::vector<char>& buffer) {
  return p >= buffer.data() && p < buffer.data() + buffer.size();
}

void CheckSplit(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  const char* table[kArgumentTableSize];
  const int count = SplitCommandLine(buffer.data(), table);
  fuzz::Check(count >= 1 && count <= kArgumentTableSize);
  fuzz::Check(table[0][0] == '\0');
  for (int i = 1; i < count; ++i) {
    fuzz::Check(Inside(table[i], buffer));
    const std::size_t n = std::strlen(table[i]);
    fuzz::Check(n > 0 && std::memchr(table[i], ' ', n) == nullptr);
    fuzz::Check(i == 1 || table[i] > table[i - 1]);
  }
  // Joining the tokens and splitting again gives the same tokens.
  char* joined = JoinArguments(count, table);
  const char* again[kArgumentTableSize];
  const int count_again = SplitCommandLine(joined, again);
  fuzz::Check(count_again == count);
  for (int i = 1; i < count; ++i) fuzz::Check(std::strcmp(again[i], table[i]) == 0);
}

void CheckParse(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  const CommandLine line = ParseCommandLine(buffer.data());
  // Every text of the record points into this input.
  fuzz::Check(line.title_word == nullptr || Inside(line.title_word, buffer));
  fuzz::Check(line.target_ip_text == nullptr || Inside(line.target_ip_text, buffer));
  fuzz::Check(line.target_mac_text == nullptr || Inside(line.target_mac_text, buffer));
  const SendOptions& send = line.send;
  for (const char* token : {send.port_token, send.kind_token, send.interface_token, send.to_token,
                            send.count_token, send.interval_token, send.password_token, send.file_token,
                            send.to.scope, line.bad_token, line.ended_at}) {
    fuzz::Check(token == nullptr || Inside(token, buffer));
  }
  // The silent send is asked for only with a target, and a refusal always says what and why.
  if (line.action == ProgramAction::kSilentSend) {
    fuzz::Check(HasCommandLineTarget(line) || send.file_token != nullptr);
  }
  // An early end names its token and why; such a line opens the dialog.
  fuzz::Check((line.ended_at == nullptr) == (line.end_reason == nullptr));
  if (line.ended_at != nullptr) fuzz::Check(line.action == ProgramAction::kDialog);
  if (line.action == ProgramAction::kBadOption) {
    fuzz::Check(line.bad_token != nullptr && line.bad_reason != nullptr);
  } else {
    // What was read lies within the bounds a send relies on.
    fuzz::Check(send.port >= 1 && send.port <= 65535);
    fuzz::Check(send.kind == 1 || send.kind == 2 || send.kind == 4);
    fuzz::Check(send.count >= 1 && send.count <= kMaxCount);
    fuzz::Check(send.interval_ms >= 0 && send.interval_ms <= kMaxIntervalMs);
    fuzz::Check(send.password_length == 0 || send.password_length == 4 || send.password_length == 6);
  }
  // What the send would read parses without reading past the texts.
  if (line.target_ip_text != nullptr) ParseIpAddress(line.target_ip_text);
  std::uint8_t mac[6];
  ParseMacAddress(line.target_mac_text, mac);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  CheckSplit(text.c_str());
  CheckParse(text.c_str());
  return 0;
}
