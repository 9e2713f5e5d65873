// Fake named mutex for tests: scripted wait results, forced release failures, a take count.
#pragma once

#include "platform/mutex.h"

namespace fake_mutex {

struct State {
  int creates = 0;               // calls of named_mutex_create
  bool fail_create = false;      // creation fails (returns nullptr)
  char name[128] = "";           // name of the last creation
  platform::MutexWait script[16] = {};  // results of the next waits, in order ...
  int script_length = 0;         // ... while any are left; then every wait acquires
  int script_position = 0;
  int waits = 0;
  unsigned long last_timeout = 0;
  int takes = 0;                 // acquired waits not yet released
  int releases = 0;              // calls of named_mutex_release
  int release_failures = 0;      // the next releases that fail ...
  unsigned long release_error = 0;  // ... with this last error
};

extern State state;

}  // namespace fake_mutex
