// POSIX neighbour table: the kernel's ARP cache from /proc/net/arp, sorted by IPv4 address.
#include "platform/neighbours.h"
#include "platform/posix/arp_table.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/system.h"

namespace platform {

namespace {

// Flag bits of /proc/net/arp (linux/if_arp.h).
constexpr unsigned kArpComplete = 0x2;
constexpr unsigned kArpPermanent = 0x4;

}  // namespace

// Reads "aa:bb:cc:..." into `out`; returns the number of bytes read (at most 8).
std::uint32_t parse_hardware_address(const char* text, std::uint8_t out[8]) {
  std::memset(out, 0, 8);
  std::uint32_t count = 0;
  const char* p = text;
  while (count < 8 && *p != '\0') {
    char* end = nullptr;
    unsigned long value = std::strtoul(p, &end, 16);
    if (end == p || value > 0xFF) break;
    out[count++] = static_cast<std::uint8_t>(value);
    if (*end != ':') break;
    p = end + 1;
  }
  return count;
}

bool parse_arp_line(const char* line, NeighbourRow* row) {
  char ip[64], hardware[64], mask[64], device[64];
  unsigned hardware_type = 0, flags = 0;
  if (std::sscanf(line, "%63s %x %x %63s %63s %63s", ip, &hardware_type, &flags, hardware,
                  mask, device) != 6) {
    return false;
  }
  in_addr address{};
  if (inet_pton(AF_INET, ip, &address) != 1) return false;
  std::memset(row, 0, sizeof *row);
  row->address = address.s_addr;
  row->interface_index = if_nametoindex(device);
  row->physical_length = parse_hardware_address(hardware, row->physical);
  if (flags & kArpPermanent) {
    row->type = kNeighbourStatic;
  } else if (flags & kArpComplete) {
    row->type = kNeighbourDynamic;
  } else {
    // Still being resolved, or failed: the kernel shows a zero hardware address.
    row->type = kNeighbourInvalid;
  }
  return true;
}

int read_neighbour_table(NeighbourRow* rows, int room) {
  std::FILE* file = std::fopen("/proc/net/arp", "re");
  if (file == nullptr) {
    set_last_error(static_cast<unsigned long>(errno));
    return -1;
  }
  // The whole table is read and sorted before the first `room` rows are handed out.
  NeighbourRow* all = nullptr;
  int count = 0, capacity = 0;
  char line[512];
  bool header = true, failed = false;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (header) {
      header = false;
      continue;
    }
    NeighbourRow row;
    if (!parse_arp_line(line, &row)) continue;
    if (count == capacity) {
      int grown = capacity == 0 ? 64 : capacity * 2;
      void* bigger = std::realloc(all, sizeof(NeighbourRow) * static_cast<std::size_t>(grown));
      if (bigger == nullptr) {
        failed = true;
        break;
      }
      all = static_cast<NeighbourRow*>(bigger);
      capacity = grown;
    }
    all[count++] = row;
  }
  std::fclose(file);
  if (failed) {
    std::free(all);
    set_last_error(ENOMEM);
    return -1;
  }
  sort_neighbour_rows(all, count);
  int filled = rows == nullptr || room < 0 ? 0 : std::min(room, count);
  if (filled > 0) std::memcpy(rows, all, sizeof(NeighbourRow) * static_cast<std::size_t>(filled));
  std::free(all);
  return count;
}

}  // namespace platform
