// Fake host-name lookup: names a test registered, no resolver.
#include "tests/fakes/fake_host.h"

#include <map>

#include "platform/host.h"

namespace {
std::map<std::string, std::uint32_t> g_names;
}

namespace fake_host {

void reset() { g_names.clear(); }

void add(const std::string& name, std::uint32_t address) { g_names[name] = address; }

}  // namespace fake_host

namespace platform {

bool lookup_host_ipv4(const char* name, std::uint32_t* address) {
  auto found = g_names.find(name == nullptr ? "" : name);
  if (found == g_names.end()) return false;
  *address = found->second;
  return true;
}

}  // namespace platform
