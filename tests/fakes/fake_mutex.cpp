// Fake named mutex: replaces the platform's mutex service (link seam) with a scripted one.
#include "tests/fakes/fake_mutex.h"

#include <cstdio>

#include "platform/system.h"

struct platform::NamedMutex {
  int unused;
};

namespace fake_mutex {
State state;
}

namespace platform {

namespace {
NamedMutex g_the_mutex{0};
}

NamedMutex* named_mutex_create(const char* name) {
  auto& s = fake_mutex::state;
  ++s.creates;
  std::snprintf(s.name, sizeof s.name, "%s", name);
  if (s.fail_create) {
    set_last_error(2);
    return nullptr;
  }
  return &g_the_mutex;
}

MutexWait named_mutex_wait(NamedMutex* mutex, unsigned long timeout_ms) {
  auto& s = fake_mutex::state;
  ++s.waits;
  s.last_timeout = timeout_ms;
  MutexWait result = MutexWait::kAcquired;
  if (mutex == nullptr) {
    result = MutexWait::kFailed;
  } else if (s.script_position < s.script_length) {
    result = s.script[s.script_position++];
  }
  if (result == MutexWait::kAcquired || result == MutexWait::kAbandoned) ++s.takes;
  return result;
}

bool named_mutex_release(NamedMutex*) {
  auto& s = fake_mutex::state;
  ++s.releases;
  --s.takes;
  if (s.release_failures > 0) {
    --s.release_failures;
    set_last_error(s.release_error);
    return false;
  }
  return true;
}

void named_mutex_close(NamedMutex*) {}

unsigned long named_mutex_handle_value(const NamedMutex*) { return 0x1234abcdUL; }

void named_mutex_remove(const char*) {}

}  // namespace platform
