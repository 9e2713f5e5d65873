// Benchmarks of log record formatting: a plain record and one with the date-time prefix.
#include <benchmark/benchmark.h>

#include <cstdarg>

#include "sender/log/log.h"

namespace {

// The formats here start with "%T", which printf checking would reject, so this helper
// carries no format attribute.
int FormatRecord(char* buffer, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = log_format_record(buffer, size, format, args);
  va_end(args);
  return n;
}

void BM_LogFormatRecord(benchmark::State& state) {
  const bool timed = state.range(0) != 0;
  log_set_record_mode(0, "");
  const char* format = timed ? "%T: Sending to %s MAC=%s flags=%d\n" : "Sending to %s MAC=%s flags=%d\n";
  char buffer[1024];
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        FormatRecord(buffer, sizeof buffer, format, "192.0.2.20", "00:11:22:33:44:55", 7));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LogFormatRecord)->ArgName("timed")->Arg(0)->Arg(1);

}  // namespace
