// What a relayed wake sends, one step at a time, and the acknowledgement that tells the sender where it went.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/relay_request.h"
#include "platform/interfaces.h"

namespace listener {

// The wake goes out on at most this many subnets, so that one request costs the relay's
// links a bounded number of datagrams (copies x ports x subnets, and frames).
constexpr int kRelayMaxSubnets = 16;

// One subnet the wake goes to: its interface and its broadcast address.
struct RelaySubnet {
  char name[platform::kInterfaceNameRoom];
  unsigned index;
  std::uint32_t address;          // the interface's address there, network byte order
  std::uint32_t broadcast;        // network byte order
  bool frame;                     // the first subnet of its interface: its link gets the frame
};

// Everything a verified request makes the relay send.
struct RelayPlan {
  RelaySubnet subnets[kRelayMaxSubnets];
  int subnet_count = 0;
  std::uint8_t send = 0;          // what goes out: the request's kRelaySend* bits this relay does
  int copies = 0;
  int port_count = 0;
  std::uint16_t ports[wake::kRelayMaxPorts] = {};
  std::uint8_t mac[wake::kMacLength] = {};
  std::uint8_t password_length = 0;
  std::uint8_t password[wake::kLongPasswordLength] = {};
};

// The plan for `request` over the interface list: every interface that is up, broadcast-
// capable and neither loopback nor point-to-point, or only those named `interface_name`
// (nullptr: any). Frames only when `frames_enabled` (-Ether). A plan whose `send` is 0 sends
// nothing: no such interface, or only frames were asked for and they are not enabled.
RelayPlan PlanRelayedWake(const wake::RelayRequest& request, const platform::InterfaceRecord* records,
                          int record_count, const char* interface_name, bool frames_enabled);

// One datagram or frame of a plan.
struct RelayStep {
  const RelaySubnet* subnet;
  bool frame;                     // the 0x0842 frame on the subnet's interface; else UDP:
  std::uint16_t port;             // to the subnet's broadcast address and this port
};

// The number of steps of the plan: what the acknowledgement counts as sent.
int RelayStepCount(const RelayPlan& plan);

// Step `n` (0 .. RelayStepCount - 1) of the plan, copy by copy: each copy goes to every
// subnet, each port and the frame, before the next copy starts, so that copies are spread
// in time as a sender's copies are. False past the last step.
bool RelayPlanStep(const RelayPlan& plan, int n, RelayStep* step);

// The acknowledgement of a plan carried out for `request`, with `sent` steps gone out.
// Interface names longer than the field are cut at a character boundary.
wake::RelayAck MakeRelayAck(const RelayPlan& plan, const wake::RelayRequest& request, int sent);

}  // namespace listener
