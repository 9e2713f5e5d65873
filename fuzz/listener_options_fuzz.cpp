// Fuzzes pilvorne's option parser with argument lists made of the input's lines.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "listener/listener.h"

namespace {

constexpr std::size_t kMaxArguments = 64;

// Both streams of the parser go nowhere; opened once for the whole run.
FILE* Sink() {
  static FILE* sink = std::fopen("/dev/null", "w");
  return sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FILE* sink = Sink();
  if (sink == nullptr) return 0;
  // Lines (separated by '\n' or NUL) are the arguments after the program name.
  std::vector<std::string> lines(1, "pilvorne");
  std::string current;
  for (std::size_t i = 0; i < size && lines.size() < kMaxArguments; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n' || c == '\0') {
      lines.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty() && lines.size() < kMaxArguments) lines.push_back(current);

  std::vector<char*> argv;
  for (std::string& line : lines) argv.push_back(&line[0]);
  argv.push_back(nullptr);

  const int result = listener::ParseListenerCommandLine(static_cast<int>(lines.size()), argv.data(),
                                                        "Version ??", sink, sink)
                         .exit_code;
  fuzz::Check(result == 0 || result == listener::kExitUsage);
  // An empty argument is never an option, so it always ends in a syntax error.
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) fuzz::Check(result == listener::kExitUsage);
  }
  return 0;
}
