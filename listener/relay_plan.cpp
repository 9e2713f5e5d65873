// The relayed wake's plan: the subnets of the chosen interfaces, its steps copy by copy, and its acknowledgement.
#include "listener/relay_plan.h"

#include <cstring>

#include "common/wake_send.h"

namespace listener {

namespace {

bool Broadcastable(const platform::InterfaceRecord& r) {
  const std::uint32_t wanted = platform::kInterfaceUp | platform::kInterfaceBroadcast;
  const std::uint32_t refused = platform::kInterfaceLoopback | platform::kInterfacePointToPoint;
  // A /32 has no other host to broadcast to.
  return (r.flags & wanted) == wanted && (r.flags & refused) == 0 && platform::ipv4_of(r) != 0 &&
         r.netmask != 0xFFFFFFFFu;
}

// Whether a subnet of that broadcast address or that interface is in the plan already.
bool Listed(const RelayPlan& plan, std::uint32_t broadcast, const char* name, bool* interface_listed) {
  *interface_listed = false;
  for (int i = 0; i < plan.subnet_count; ++i) {
    const bool same_interface = std::strcmp(plan.subnets[i].name, name) == 0;
    if (same_interface && plan.subnets[i].broadcast == broadcast) return true;
    *interface_listed = *interface_listed || same_interface;
  }
  return false;
}

// Copies `name` into a field of `room` bytes with its terminator, never ending inside a UTF-8
// character (the lead byte of a cut character is dropped with its continuation bytes).
void CopyName(const char* name, char* out, std::size_t room) {
  std::size_t n = std::strlen(name);
  if (n >= room) {
    n = room - 1;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(out, name, n);
  out[n] = '\0';
}

// Steps of one copy: UDP datagrams and the frame on each subnet.
int StepsPerCopy(const RelayPlan& plan) {
  int steps = 0;
  for (int i = 0; i < plan.subnet_count; ++i) {
    if ((plan.send & wake::kRelaySendBroadcast) != 0) steps += plan.port_count;
    if ((plan.send & wake::kRelaySendFrame) != 0 && plan.subnets[i].frame) ++steps;
  }
  return steps;
}

}  // namespace

RelayPlan PlanRelayedWake(const wake::RelayRequest& request, const platform::InterfaceRecord* records,
                          int record_count, const char* interface_name, bool frames_enabled) {
  RelayPlan plan;
  for (int i = 0; i < record_count && plan.subnet_count < kRelayMaxSubnets; ++i) {
    const platform::InterfaceRecord& r = records[i];
    if (!Broadcastable(r) || (interface_name != nullptr && std::strcmp(r.name, interface_name) != 0)) continue;
    const std::uint32_t address = platform::ipv4_of(r);
    const std::uint32_t broadcast = wake::BroadcastAddress(address, r.netmask);
    bool interface_listed = false;
    // Two addresses in one subnet of an interface would only send everything twice.
    if (Listed(plan, broadcast, r.name, &interface_listed)) continue;
    RelaySubnet& s = plan.subnets[plan.subnet_count++];
    CopyName(r.name, s.name, sizeof s.name);
    s.index = r.index;
    s.address = address;
    s.broadcast = broadcast;
    s.frame = !interface_listed;
  }
  plan.send = request.send;
  if (!frames_enabled) plan.send &= static_cast<std::uint8_t>(~wake::kRelaySendFrame);
  if (plan.subnet_count == 0) plan.send = 0;
  plan.copies = request.copies;
  plan.port_count = (plan.send & wake::kRelaySendBroadcast) != 0 ? request.port_count : 0;
  for (int i = 0; i < plan.port_count; ++i) plan.ports[i] = request.ports[i];
  std::memcpy(plan.mac, request.mac, sizeof plan.mac);
  plan.password_length = request.password_length;
  std::memcpy(plan.password, request.password, sizeof plan.password);
  return plan;
}

int RelayStepCount(const RelayPlan& plan) { return plan.send == 0 ? 0 : plan.copies * StepsPerCopy(plan); }

bool RelayPlanStep(const RelayPlan& plan, int n, RelayStep* step) {
  const int per_copy = plan.send == 0 ? 0 : StepsPerCopy(plan);
  if (n < 0 || per_copy == 0 || n >= plan.copies * per_copy) return false;
  int k = n % per_copy;
  for (int i = 0; i < plan.subnet_count; ++i) {
    const RelaySubnet& s = plan.subnets[i];
    if ((plan.send & wake::kRelaySendBroadcast) != 0) {
      if (k < plan.port_count) {
        *step = RelayStep{&s, false, plan.ports[k]};
        return true;
      }
      k -= plan.port_count;
    }
    if ((plan.send & wake::kRelaySendFrame) != 0 && s.frame) {
      if (k == 0) {
        *step = RelayStep{&s, true, 0};
        return true;
      }
      --k;
    }
  }
  return false;
}

wake::RelayAck MakeRelayAck(const RelayPlan& plan, const wake::RelayRequest& request, int sent) {
  wake::RelayAck ack;
  ack.sent = plan.send;
  ack.subnets = static_cast<std::uint16_t>(plan.subnet_count);
  ack.listed = static_cast<std::uint8_t>(plan.subnet_count < wake::kAckMaxDestinations ? plan.subnet_count
                                                                                      : wake::kAckMaxDestinations);
  for (int i = 0; i < ack.listed; ++i) {
    CopyName(plan.subnets[i].name, ack.destinations[i].name, sizeof ack.destinations[i].name);
    // The address as it stands in memory: network byte order, first byte first.
    std::memcpy(ack.destinations[i].address, &plan.subnets[i].broadcast, wake::kAckAddressLength);
  }
  ack.port_count = static_cast<std::uint8_t>(plan.port_count);
  std::memcpy(ack.ports, plan.ports, sizeof ack.ports);
  ack.datagrams = sent > 0 ? static_cast<std::uint32_t>(sent) : 0;
  std::memcpy(ack.nonce, request.nonce, sizeof ack.nonce);
  std::memcpy(ack.key_id, request.key_id, sizeof ack.key_id);
  return ack;
}

}  // namespace listener
