// A fake interface list for tests: replaces the platform's interface service (link seam).
#include "tests/fakes/fake_interfaces.h"

#include <cstdio>
#include <cstring>

#include "platform/sockets.h"

namespace {

constexpr int kMaxFakeRecords = 16;
platform::InterfaceRecord g_records[kMaxFakeRecords];
int g_count = 0;
bool g_fail = false;
int g_queries = 0;

}  // namespace

void fake_interfaces_set(const platform::InterfaceRecord* records, int count) {
  g_fail = false;
  g_count = count < kMaxFakeRecords ? count : kMaxFakeRecords;
  for (int i = 0; i < g_count; ++i) g_records[i] = records[i];
}

void fake_interfaces_fail() { g_fail = true; }

int fake_interfaces_queries() { return g_queries; }

platform::InterfaceRecord fake_ipv4_record(const char* name, std::uint32_t flags, std::uint32_t address,
                                           std::uint32_t mask, unsigned index) {
  platform::InterfaceRecord record{};
  std::snprintf(record.name, sizeof record.name, "%s", name);
  record.index = index;
  record.flags = flags;
  record.address.family = 4;
  const std::uint32_t network = htonl(address);
  std::memcpy(record.address.bytes, &network, 4);
  record.netmask = htonl(mask);
  return record;
}

namespace platform {

// Like the real list: never more records than the room holds.
int query_interfaces(InterfaceRecord* records, int room) {
  ++g_queries;
  if (g_fail) {
    platform::set_last_socket_error(10024);  // as getifaddrs out of descriptors reports it
    return -1;
  }
  int n = 0;
  for (; n < g_count && n < room; ++n) records[n] = g_records[n];
  return n;
}

}  // namespace platform
