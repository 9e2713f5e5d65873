// A fake interface list for tests: replaces the platform's interface service (link seam).
#include "tests/fakes/fake_interfaces.h"

#include <cstring>

namespace {

constexpr int kMaxFakeRecords = 16;
platform::InterfaceRecord g_records[kMaxFakeRecords];
int g_count = 0;
bool g_fail = false;
int g_last_room = 0;
int g_queries = 0;

}  // namespace

void fake_interfaces_set(const platform::InterfaceRecord* records, int count) {
  g_fail = false;
  g_count = count < kMaxFakeRecords ? count : kMaxFakeRecords;
  for (int i = 0; i < g_count; ++i) g_records[i] = records[i];
}

void fake_interfaces_fail() { g_fail = true; }

int fake_interfaces_last_room() { return g_last_room; }

int fake_interfaces_queries() { return g_queries; }

namespace platform {

// Like the real list: never more records than the room holds.
int query_interface_list(SOCKET, InterfaceRecord* records, int room) {
  ++g_queries;
  g_last_room = room;
  if (g_fail) {
    platform::set_last_socket_error(10024);  // as getifaddrs out of descriptors reports it
    return -1;
  }
  int n = 0;
  for (; n < g_count && n < room; ++n) records[n] = g_records[n];
  return n;
}

// The index of the fake record of that name, as if every interface had an IPv4 address.
unsigned interface_index(const char* name) {
  for (int i = 0; name != nullptr && i < g_count; ++i) {
    if (std::strcmp(g_records[i].name, name) == 0) return g_records[i].index;
  }
  return 0;
}

}  // namespace platform
