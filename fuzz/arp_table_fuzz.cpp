// Fuzzes the reading of ARP table lines (/proc/net/arp): any text, every row read stays in its fields.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/neighbours.h"
#include "platform/posix/arp_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::Text(data, size);
  platform::NeighbourRow row;
  std::memset(&row, 0xA5, sizeof row);
  if (platform::parse_arp_line(text.c_str(), &row)) {
    fuzz::Check(row.physical_length <= sizeof row.physical);
    // Bytes beyond the address read are zero, never left over.
    for (std::size_t i = row.physical_length; i < sizeof row.physical; ++i) fuzz::Check(row.physical[i] == 0);
    fuzz::Check(row.type == platform::kNeighbourStatic || row.type == platform::kNeighbourDynamic ||
                row.type == platform::kNeighbourInvalid);
  }
  std::uint8_t address[8];
  fuzz::Check(platform::parse_hardware_address(text.c_str(), address) <= 8);
  return 0;
}
