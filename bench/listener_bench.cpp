// Benchmarks of the listener's work per received datagram: its time stamp and its two lines.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "common/wake_packet.h"
#include "listener/listener.h"
#include "platform/datagram.h"

namespace {

// A broadcast magic packet with header (118 bytes) from 192.0.2.20.
struct Datagram {
  unsigned char bytes[listener::kReceiveBufferSize];
  platform::DatagramInfo info;
};

Datagram MakeDatagram() {
  Datagram d{};
  std::memcpy(d.bytes, wake::kHeaderTag, wake::kHeaderTagLength);
  std::memset(d.bytes + wake::kHeaderLength, wake::kSyncByte, wake::kSyncLength);
  const unsigned char mac[wake::kMacLength] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  for (int i = 0; i < wake::kMacRepeats; ++i) {
    std::memcpy(d.bytes + wake::kHeaderLength + wake::kMacOffset + i * wake::kMacLength, mac,
                wake::kMacLength);
  }
  d.info.length = d.info.stored = static_cast<int>(wake::kBroadcastMagicHdrLength);
  const unsigned char sender[4] = {192, 0, 2, 20};
  std::memcpy(&d.info.sender_address, sender, sizeof sender);
  return d;
}

void BM_FormatDatagramEntry(benchmark::State& state) {
  const Datagram d = MakeDatagram();
  char line[256];
  for (auto _ : state) {
    benchmark::DoNotOptimize(listener::FormatDatagramEntry(line, sizeof line, "2026-12-08 06:30:00",
                                                           d.bytes, d.info));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FormatDatagramEntry);

// The same with the current time stamp, as the receive loop does for every datagram.
void BM_TimeStampAndDatagramEntry(benchmark::State& state) {
  const Datagram d = MakeDatagram();
  char line[256];
  for (auto _ : state) {
    benchmark::DoNotOptimize(listener::FormatDatagramEntry(
        line, sizeof line, listener::CurrentTimeStamp(), d.bytes, d.info));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_TimeStampAndDatagramEntry);

}  // namespace
