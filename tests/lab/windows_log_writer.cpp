// Windows test program named kestrava.exe: logs numbered records into a shared log, or holds the log mutex.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/mutex.h"
#include "platform/system.h"
#include "sender/log/log.h"

namespace {

// The mutex every kestrava process takes around its log writes.
constexpr char kLogMutexName[] = "kestrava_QELOG";

// Takes the log mutex by its literal name, appends `marker` lines to the log around a pause
// of `hold_ms`, and releases it: writers started meanwhile must queue behind it.
int hold(const char* log_path, unsigned long hold_ms) {
  platform::NamedMutex* mutex = platform::named_mutex_create(kLogMutexName);
  if (mutex == nullptr) return 2;
  platform::MutexWait wait = platform::named_mutex_wait(mutex, 10000);
  if (wait != platform::MutexWait::kAcquired && wait != platform::MutexWait::kAbandoned) return 3;
  std::FILE* log = std::fopen(log_path, "a");
  if (log == nullptr) return 4;
  std::fputs("HOLDER-BEGIN\n", log);
  std::fflush(log);
  std::puts("held");
  std::fflush(stdout);
  platform::sleep_ms(hold_ms);
  std::fputs("HOLDER-END\n", log);
  std::fclose(log);
  return platform::named_mutex_release(mutex) ? 0 : 5;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--hold") == 0) {
    return hold(argv[2], static_cast<unsigned long>(std::atol(argv[3])));
  }
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s LOG-PATH MAX-SIZE ID COUNT | --hold LOG-PATH MS\n", argv[0]);
    return 1;
  }
  log_set_path(argv[1]);
  log_set_max_size(std::atoi(argv[2]));
  const int id = std::atoi(argv[3]);
  const int count = std::atoi(argv[4]);
  char padding[41];
  std::memset(padding, 'x', 40);
  padding[40] = '\0';
  for (int i = 0; i < count; ++i) LOG_PRINTF_TIMED(": P%d-R%d %s|\n", id, i, padding);
  return 0;
}
