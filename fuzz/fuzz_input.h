// Turning a fuzzer's raw bytes into the texts and numbers the targets feed the product code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzz {

// The bytes as a terminated text (a NUL in the input ends the text early, as in C).
inline std::string Text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Takes `n` bytes from the front of the input as a little-endian number; 0 for bytes that
// are not there.
inline std::uint32_t Take(const std::uint8_t*& data, std::size_t& size, std::size_t n) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < n && size > 0; ++i, ++data, --size) {
    value |= static_cast<std::uint32_t>(*data) << (8 * i);
  }
  return value;
}

// A failed invariant: abort, so libFuzzer records the input as a crash.
inline void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace fuzz
