// How a datagram arrived: address texts, the kind of its destination, the receiving interface's name.
#include <cstdio>
#include <cstring>

#include "common/interface_names.h"
#include "listener/inspect.h"
#include "listener/listener.h"
#include "listener/texts.h"

namespace listener {

namespace {

// An interface table older than this is read again before it is used.
constexpr std::uint64_t kInterfaceTableAgeMs = 1000;

constexpr std::uint8_t kLimitedBroadcast[4] = {255, 255, 255, 255};
constexpr std::uint8_t kIpv4MulticastFirstBits = 0xE0;   // 224.0.0.0/4
constexpr std::uint8_t kIpv6MulticastFirstByte = 0xFF;   // ff00::/8

// Whether `to` is the subnet-directed broadcast address of IPv4 record `r`: its host bits all
// ones. A /31 or /32 has no broadcast address.
bool IsBroadcastOf(const platform::IpAddress& to, const platform::InterfaceRecord& r) {
  if (r.address.family != 4 || r.prefix_length <= 0 || r.prefix_length > 30) return false;
  for (int bit = 0; bit < 32; ++bit) {
    const int byte = bit / 8;
    const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
    const bool to_bit = (to.bytes[byte] & mask) != 0;
    const bool expected = bit < r.prefix_length ? (r.address.bytes[byte] & mask) != 0 : true;
    if (to_bit != expected) return false;
  }
  return true;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (H. Hinnant's method).
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int year_of_era = year - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return static_cast<std::int64_t>(era) * 146097 + day_of_era - 719468;
}

}  // namespace

const char* DestinationKindName(DestinationKind kind) {
  switch (kind) {
    case DestinationKind::kUnicast: return kToUnicast;
    case DestinationKind::kSubnetBroadcast: return kToSubnetBroadcast;
    case DestinationKind::kLimitedBroadcast: return kToLimitedBroadcast;
    case DestinationKind::kMulticast: return kToMulticast;
    case DestinationKind::kUnknown: break;
  }
  return nullptr;
}

DestinationKind JudgeDestination(const platform::IpAddress& to, unsigned interface_index,
                                 const platform::InterfaceRecord* table, int count) {
  if (to.family == 6) {
    return to.bytes[0] == kIpv6MulticastFirstByte ? DestinationKind::kMulticast : DestinationKind::kUnicast;
  }
  if (to.family != 4) return DestinationKind::kUnknown;
  if (std::memcmp(to.bytes, kLimitedBroadcast, 4) == 0) return DestinationKind::kLimitedBroadcast;
  if ((to.bytes[0] & 0xF0) == kIpv4MulticastFirstBits) return DestinationKind::kMulticast;
  for (int i = 0; i < count; ++i) {
    if ((interface_index == 0 || table[i].index == interface_index) && IsBroadcastOf(to, table[i])) {
      return DestinationKind::kSubnetBroadcast;
    }
  }
  return DestinationKind::kUnicast;
}

void RefreshInterfaces(std::uint64_t now_ms) {
  InterfaceCache& cache = g_listener.interfaces;
  if (cache.read && now_ms - cache.read_at_ms < kInterfaceTableAgeMs) return;
  int count = platform::query_interfaces(cache.records, kInterfaceRoom);
  // A failed read keeps the table of the last good one.
  if (count >= 0) cache.count = count;
  cache.read = true;
  cache.read_at_ms = now_ms;
}

const char* InterfaceName(unsigned index) {
  const InterfaceCache& cache = g_listener.interfaces;
  return wake::InterfaceNameOf(cache.records, cache.count, index);
}

int UtcOffsetMinutes(const platform::SystemTime& local, std::int64_t seconds) {
  const std::int64_t local_seconds = DaysFromCivil(local.year, local.month, local.day) * 86400 +
                                     local.hour * 3600 + local.minute * 60 + local.second;
  const std::int64_t difference = local_seconds - seconds;
  // Offsets are whole minutes; the division rounds to the nearest one.
  return static_cast<int>((difference >= 0 ? difference + 30 : difference - 30) / 60);
}

}  // namespace listener
