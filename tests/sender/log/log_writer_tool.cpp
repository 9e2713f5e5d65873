// Test program: logs N numbered records into a shared log, or holds the program's log mutex.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/mutex.h"
#include "platform/system.h"
#include "sender/log/log.h"

namespace {

// The log mutex of this program, named as the writer names it: "<base name>_QELOG".
platform::NamedMutex* program_mutex() {
  char path[platform::kPathRoom];
  if (platform::module_path(path, sizeof path) == 0) return nullptr;
  char* base = std::strrchr(path, '/');
  char* back = std::strrchr(path, '\\');
  if (back != nullptr && (base == nullptr || back > base)) base = back;
  base = base != nullptr ? base + 1 : path;
  if (char* dot = std::strrchr(base, '.')) *dot = '\0';
  char name[100];  // the log's field: a longer base name is cut alike
  if (std::snprintf(name, sizeof name, "%s_QELOG", base) < 0) return nullptr;
  return platform::named_mutex_create(name);
}

// Takes the log mutex and says "held" on standard output. With a log path, appends marker
// lines around a pause of `hold_ms` and releases it, so that writers started meanwhile must
// queue behind; without, keeps it until the test stops or kills this process (bounded).
int hold(const char* log_path, unsigned long hold_ms) {
  platform::NamedMutex* mutex = program_mutex();
  if (mutex == nullptr) return 2;
  platform::MutexWait wait = platform::named_mutex_wait(mutex, 10000);
  if (wait != platform::MutexWait::kAcquired && wait != platform::MutexWait::kAbandoned) return 3;
  std::FILE* log = log_path != nullptr ? std::fopen(log_path, "a") : nullptr;
  if (log_path != nullptr && log == nullptr) return 4;
  if (log != nullptr) {
    std::fputs("HOLDER-BEGIN\n", log);
    std::fflush(log);
  }
  std::puts("held");
  std::fflush(stdout);
  platform::sleep_ms(hold_ms);
  if (log != nullptr) {
    std::fputs("HOLDER-END\n", log);
    std::fclose(log);
  }
  return platform::named_mutex_release(mutex) ? 0 : 5;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--hold") == 0) {
    if (argc == 4) return hold(argv[2], static_cast<unsigned long>(std::atol(argv[3])));
    return hold(nullptr, 60000);
  }
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s LOG-PATH MAX-SIZE ID COUNT | --hold [LOG-PATH MS]\n", argv[0]);
    return 1;
  }
  log_set_path(argv[1]);
  log_set_max_size(std::atoi(argv[2]));
  const int id = std::atoi(argv[3]);
  const int count = std::atoi(argv[4]);
  char padding[51];
  std::memset(padding, 'x', 50);
  padding[50] = '\0';
  for (int i = 0; i < count; ++i) LOG_PRINTF_TIMED(": P%d-R%d %s|\n", id, i, padding);
  return 0;
}
