// Fuzzes the rewrite of a version resource's FileVersion text into the version field.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "listener/listener.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string value = fuzz::Text(data, size);
  char text[listener::kVersionTextSize];
  listener::RewriteVersionText(value.c_str(), text);
  const std::size_t n = std::strlen(text);
  fuzz::Check(n < listener::kVersionTextSize);
  fuzz::Check(std::strchr(text, ' ') == nullptr && std::strchr(text, ',') == nullptr);
  // Every character comes from the value, in order, with commas as full stops.
  std::size_t kept = 0;
  for (const char* p = value.c_str(); *p != '\0' && kept < n; ++p) {
    if (*p == ' ') continue;
    fuzz::Check(text[kept++] == (*p == ',' ? '.' : *p));
  }
  fuzz::Check(kept == n);
  return 0;
}
