// Benchmarks of the listener's work per received datagram: its time stamp and its two lines.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "common/wake_packet.h"
#include "listener/inspect.h"
#include "listener/listener.h"
#include "platform/datagram.h"

namespace {

// A broadcast magic packet with header (118 bytes) from 192.0.2.20.
struct Datagram {
  unsigned char bytes[listener::kReceiveBufferSize];
  platform::ReceivedDatagram info;
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
  d.info.sender = platform::IpAddress{4, {192, 0, 2, 20}};
  return d;
}

// The entry of one received datagram: its observation, its kind and its two lines.
std::size_t Entry(const Datagram& d, const char* time_stamp, char* text, std::size_t size) {
  listener::Observation o{};
  listener::ObserveDatagram(d.info, d.bytes, &o);
  listener::ClassifyObservation(&o);
  listener::TextLine line{text, size, 0};
  listener::AppendEntryLines(&line, time_stamp, o, false);
  return line.length;
}

void BM_DatagramEntry(benchmark::State& state) {
  const Datagram d = MakeDatagram();
  char line[256];
  for (auto _ : state) {
    benchmark::DoNotOptimize(Entry(d, "2026-12-08 06:30:00", line, sizeof line));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DatagramEntry);

// The same with the current time stamp, as the receive loop does for every datagram.
void BM_TimeStampAndDatagramEntry(benchmark::State& state) {
  const Datagram d = MakeDatagram();
  char line[256];
  for (auto _ : state) {
    benchmark::DoNotOptimize(Entry(d, listener::CurrentTimeStamp(), line, sizeof line));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_TimeStampAndDatagramEntry);

}  // namespace
