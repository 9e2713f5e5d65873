// Runs a fuzz target over the files of its corpus once: the corpus as a regression test, no fuzzing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(argv[i], error)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++inputs;
    }
    if (error) {
      std::fprintf(stderr, "cannot read the corpus %s: %s\n", argv[i], error.message().c_str());
      return 1;
    }
  }
  std::printf("%d inputs ran without a failed check\n", inputs);
  // An empty corpus would test nothing: that is a failure too.
  return inputs > 0 ? 0 : 1;
}
