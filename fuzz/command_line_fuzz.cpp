// Fuzzes kestrava's command-line splitting and option parse; never lets an input reach a send.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "sender/program.h"

namespace {

// Whether the text holds "ip=" in any case. Without it no IP= option can be set, so the
// parse can never reach the send of a wake packet.
bool MayNameTarget(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (std::tolower(static_cast<unsigned char>(p[0])) == 'i' &&
        std::tolower(static_cast<unsigned char>(p[1])) == 'p' && p[2] == '=') {
      return true;
    }
  }
  return false;
}

void CheckSplit(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  const char* table[kArgumentTableSize];
  const int count = SplitCommandLine(buffer.data(), table);
  fuzz::Check(count >= 1 && count <= kArgumentTableSize);
  fuzz::Check(table[0][0] == '\0');
  const char* begin = buffer.data();
  const char* end = begin + buffer.size();
  for (int i = 1; i < count; ++i) {
    fuzz::Check(table[i] >= begin && table[i] < end);
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
  if (MayNameTarget(text.c_str())) return;
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  g_title_word = nullptr;
  const int result = ParseCommandLine(buffer.data());
  fuzz::Check(result == 0);
  fuzz::Check(g_target_ip_text == nullptr);
  const char* begin = buffer.data();
  const char* end = begin + buffer.size();
  fuzz::Check(g_title_word == nullptr || (g_title_word >= begin && g_title_word < end));
  fuzz::Check(g_target_mac_text == nullptr ||
              (g_target_mac_text >= begin && g_target_mac_text < end));
  // The references point into this input only: drop them before the buffer goes.
  g_title_word = nullptr;
  g_target_mac_text = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  CheckSplit(text.c_str());
  CheckParse(text.c_str());
  return 0;
}
