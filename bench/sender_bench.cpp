// Benchmarks of the sender's hot paths: composing the wake packets and the MAC text round trip.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "common/wake_packet.h"
#include "sender/address.h"
#include "sender/wake_packet.h"

namespace {

const std::uint8_t kMac[wake::kMacLength] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

// One datagram of the kind (send flag) and header length the arguments name.
void BM_ComposeWakePacket(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const int header_length = static_cast<int>(state.range(1));
  std::uint8_t buffer[wake::kMaxDatagramLength];
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComposeWakePacket(kind, header_length, kMac, buffer));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ComposeWakePacket)
    ->ArgNames({"kind", "hdr"})
    ->ArgsProduct({{wake::kSendBroadcastMagic, wake::kSendShortUnsuspend, wake::kSendDirectMagic},
                   {0, static_cast<std::int64_t>(wake::kHeaderLength)}});

void BM_ParseMacAddress(benchmark::State& state) {
  const char* text = state.range(0) == 0 ? "00:11:22:33:44:55" : "00-1a-2B-3c-4D-5e";
  std::uint8_t mac[wake::kMacLength];
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseMacAddress(text, mac));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ParseMacAddress)->ArgName("dashes")->Arg(0)->Arg(1);

void BM_FormatMacAddress(benchmark::State& state) {
  char text[kAddressTextRoom];
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatMacAddress(text, kMac));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FormatMacAddress);

}  // namespace
