// Test program: logs N numbered records into a shared log, or holds the log mutex until killed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/mutex.h"
#include "platform/system.h"
#include "sender/log/log.h"

namespace {

// Holds the program's log mutex (the name the writer uses) and says so on standard output.
int hold_mutex() {
  char path[260];
  if (platform::module_path(path, sizeof path) == 0) return 2;
  char* base = std::strrchr(path, '/');
  base = base != nullptr ? base + 1 : path;
  if (char* dot = std::strrchr(base, '.')) *dot = '\0';
  char name[300];
  std::snprintf(name, sizeof name, "%s_QELOG", base);
  platform::NamedMutex* mutex = platform::named_mutex_create(name);
  if (mutex == nullptr || platform::named_mutex_wait(mutex, 5000) != platform::MutexWait::kAcquired) return 3;
  std::puts("held");
  std::fflush(stdout);
  for (int i = 0; i < 600; ++i) usleep(100000);  // bounded; the test kills us long before
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--hold") == 0) return hold_mutex();
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s LOG-PATH MAX-SIZE ID COUNT | --hold\n", argv[0]);
    return 1;
  }
  log_set_path(argv[1]);
  log_set_max_size(std::atoi(argv[2]));
  int id = std::atoi(argv[3]);
  int count = std::atoi(argv[4]);
  char padding[51];
  std::memset(padding, 'x', 50);
  padding[50] = '\0';
  for (int i = 0; i < count; ++i) LOG_PRINTF_TIMED(": P%d-R%d %s|\n", id, i, padding);
  return 0;
}
