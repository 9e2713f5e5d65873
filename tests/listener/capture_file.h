// Capture files written by the tests: a pcap file (little-endian, microseconds) of any link type and frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace capture_file {

struct Record {
  std::vector<std::uint8_t> data;
  std::uint32_t seconds = 0;
  std::uint32_t microseconds = 0;   // a damaged file may hold a second or more here
  std::uint32_t extra = 0;          // bytes the frame had on the wire beyond `data`
};

inline void Put32(std::vector<std::uint8_t>* b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// The file: the global header (magic, version 2.4, zone 0, accuracy 0, snap length, link
// type), then per record its header (seconds, microseconds, bytes kept, bytes on the wire) and
// its bytes. False when it cannot be written.
inline bool Write(const std::string& path, std::uint32_t link_type, const std::vector<Record>& records) {
  std::vector<std::uint8_t> b;
  Put32(&b, 0xA1B2C3D4u);
  Put32(&b, 0x00040002u);
  Put32(&b, 0);
  Put32(&b, 0);
  Put32(&b, 65535);
  Put32(&b, link_type);
  for (const Record& r : records) {
    Put32(&b, r.seconds);
    Put32(&b, r.microseconds);
    Put32(&b, static_cast<std::uint32_t>(r.data.size()));
    Put32(&b, static_cast<std::uint32_t>(r.data.size()) + r.extra);
    b.insert(b.end(), r.data.begin(), r.data.end());
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace capture_file
