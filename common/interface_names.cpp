// The names both programs show for an interface, looked up in the interface list's records.
#include "common/interface_names.h"

namespace wake {

const char* InterfaceNameOf(const platform::InterfaceRecord* records, int count, unsigned index) {
  const char* name = nullptr;
  for (int i = 0; index != 0 && i < count; ++i) {
    const platform::InterfaceRecord& r = records[i];
    if (r.index != index || r.name[0] == '\0') continue;
    if (r.address.family == 0) return r.name;
    if (name == nullptr) name = r.name;
  }
  return name;
}

const char* Ipv4InterfaceName(const platform::InterfaceRecord* records, int count, std::uint32_t address) {
  for (int i = 0; i < count; ++i) {
    const platform::InterfaceRecord& r = records[i];
    if (r.address.family == 4 && platform::ipv4_of(r) == address && r.name[0] != '\0') return r.name;
  }
  return nullptr;
}

}  // namespace wake
