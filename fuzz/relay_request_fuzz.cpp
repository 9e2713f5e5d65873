// Fuzzes the relay's readers of outside bytes: the request checks, the plan and acknowledgement made of a passed request, the key file text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/address_text.h"
#include "common/relay_key.h"
#include "common/relay_request.h"
#include "fuzz/fuzz_input.h"
#include "listener/relay_check.h"
#include "listener/relay_plan.h"
#include "platform/crypto.h"

namespace {

// The one key the checks know: identifier f0..f7, key bytes 0..31.
wake::RelayKeyRing Keys() {
  wake::RelayKeyRing ring;
  ring.count = 1;
  for (int i = 0; i < 8; ++i) ring.keys[0].id[i] = static_cast<std::uint8_t>(0xF0 + i);
  for (int i = 0; i < 32; ++i) ring.keys[0].key[i] = static_cast<std::uint8_t>(i);
  return ring;
}

void FuzzKeyText(const std::uint8_t* data, std::size_t size) {
  wake::RelayKeyRing ring;
  int line = 0;
  const wake::KeyText result = wake::ReadRelayKeyText(reinterpret_cast<const char*>(data), size, &ring, &line);
  fuzz::Check(result != wake::KeyText::kRead || (ring.count >= 1 && ring.count <= wake::kMaxRelayKeys));
  if (result != wake::KeyText::kRead) return;
  // Every key read is written as a line that reads back as the same key.
  for (int i = 0; i < ring.count; ++i) {
    char text[wake::kRelayKeyLineLength + 1];
    wake::FormatRelayKeyLine(ring.keys[i], text);
    wake::RelayKeyRing again;
    fuzz::Check(wake::ReadRelayKeyText(text, wake::kRelayKeyLineLength, &again, &line) == wake::KeyText::kRead);
    fuzz::Check(again.count == 1 && std::memcmp(&again.keys[0], &ring.keys[i], sizeof again.keys[0]) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool opened = platform::open_crypto(nullptr, 0) == platform::CryptoOpened::kOpened;
  fuzz::Check(opened);
  static const wake::RelayKeyRing keys = Keys();
  // Input layout: a mode byte (bit 0: sign the bytes with the known key, so that the checks
  // past the HMAC are reached; bit 1: an allow-list; bit 2: the bytes are a key file's text;
  // bit 3: frames enabled in the plan),
  // the relay clock's distance from the request's time (signed, 1 byte), then the datagram.
  const std::uint32_t mode = fuzz::Take(data, size, 1);
  const std::int8_t skew = static_cast<std::int8_t>(fuzz::Take(data, size, 1));
  if ((mode & 4) != 0) {
    FuzzKeyText(data, size);
    return 0;
  }
  // A copy of exactly the input, so that a read beyond it is caught.
  std::vector<std::uint8_t> bytes(data, data + size);
  if ((mode & 1) != 0 && bytes.size() == wake::kRequestLength) {
    std::memcpy(bytes.data() + wake::kRequestKeyIdOffset, keys.keys[0].id, wake::kRelayKeyIdLength);
    fuzz::Check(platform::hmac_sha256(keys.keys[0].key, wake::kRelayKeyLength, bytes.data(), wake::kRequestHmacOffset,
                                      bytes.data() + wake::kRequestHmacOffset));
  }
  std::int64_t now = 1700000000;
  if (bytes.size() >= wake::kRequestTimeOffset + 8) {
    // Kept far from the end of the range, as a real clock is.
    now = static_cast<std::int64_t>(wake::relay_bytes::GetU64(bytes.data() + wake::kRequestTimeOffset) & 0x3FFFFFFFFFFFFFFFull) + skew;
  }
  static const std::uint8_t kAllowed[1][6] = {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
  listener::RelayCheckInput in{bytes.data(), bytes.size(), &keys, {nullptr, 0}, now, 1000, listener::RelayLimits{}};
  if ((mode & 2) != 0) in.allowed = {kAllowed, 1};

  std::unique_ptr<listener::RelayMemory> memory(new listener::RelayMemory());
  const listener::RelayVerdict v = listener::CheckRelayRequest(in, memory.get());
  const int refusal = static_cast<int>(v.refusal);
  fuzz::Check(refusal >= 0 && refusal < listener::kRelayRefusalKinds && memory->outcomes[refusal] == 1);
  fuzz::Check(listener::RelayRefusalText(v.refusal)[0] != '\0');
  // Sent again, a request that got as far as the nonce is a replay.
  const listener::RelayVerdict again = listener::CheckRelayRequest(in, memory.get());
  if (v.refusal == listener::RelayRefusal::kNone || v.refusal >= listener::RelayRefusal::kMacNotAllowed) {
    fuzz::Check(again.refusal == listener::RelayRefusal::kReplayed);
  } else {
    fuzz::Check(again.refusal == v.refusal);
  }
  if (v.refusal != listener::RelayRefusal::kNone) return 0;

  // A passed request: well formed, signed with the key, of its time, and it writes back as itself.
  fuzz::Check(v.key == &keys.keys[0] && bytes.size() == wake::kRequestLength);
  std::uint8_t rewritten[wake::kRequestLength];
  wake::WriteRelayRequest(v.request, rewritten);
  fuzz::Check(std::memcmp(rewritten, bytes.data(), wake::kRequestHmacOffset) == 0);
  const std::int64_t distance = static_cast<std::int64_t>(v.request.time) - now;
  fuzz::Check(distance >= -listener::kRelayTimeWindowSeconds && distance <= listener::kRelayTimeWindowSeconds);

  // Its plan over a fixed interface list stays within the request's bounds, and its
  // acknowledgement is one that the sender's reader takes.
  platform::InterfaceRecord records[3] = {};
  const std::uint32_t up = platform::kInterfaceUp | platform::kInterfaceBroadcast;
  const char* names[3] = {"eth0", "eth0", "a-rather-long-interface-name"};
  for (int i = 0; i < 3; ++i) {
    records[i].flags = up;
    records[i].address = wake::Ipv4Address(0x0A0200C0u + (static_cast<std::uint32_t>(i) << 24));  // 192.0.2.10 .. 12
    records[i].netmask = 0x00FFFFFFu;
    std::strcpy(records[i].name, names[i]);
  }
  const listener::RelayPlan plan = listener::PlanRelayedWake(v.request, records, 3, nullptr, (mode & 8) != 0);
  const int steps = listener::RelayStepCount(plan);
  fuzz::Check(steps <= v.request.copies * (wake::kRelayMaxPorts + 1) * listener::kRelayMaxSubnets);
  listener::RelayStep step;
  for (int n = 0; n < steps; ++n) fuzz::Check(listener::RelayPlanStep(plan, n, &step));
  fuzz::Check(!listener::RelayPlanStep(plan, steps, &step));
  if (plan.send == 0) return 0;
  const wake::RelayAck ack = listener::MakeRelayAck(plan, v.request, steps);
  std::uint8_t answer[wake::kAckLength];
  wake::WriteRelayAck(ack, answer);
  wake::RelayAck read;
  fuzz::Check(wake::ReadRelayAck(answer, sizeof answer, &read) == wake::RelayForm::kWellFormed);
  fuzz::Check(std::memcmp(read.nonce, v.request.nonce, wake::kRelayNonceLength) == 0 && read.datagrams == static_cast<std::uint32_t>(steps));
  return 0;
}
