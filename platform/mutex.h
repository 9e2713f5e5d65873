// Named mutex shared by the processes of one program: create, timed wait, release.
#pragma once

namespace platform {

// Opaque handle of an open named mutex.
struct NamedMutex;

enum class MutexWait {
  kAcquired,   // the caller owns the mutex now
  kAbandoned,  // its holder ended without releasing it; the caller owns it now
  kTimeout,    // still held by another thread or process after the time given
  kFailed,     // the mutex cannot be waited on; last_error() tells why
};

// Opens the named mutex, creating it when no process has it yet (CreateMutexA, not
// initially owned, handle inheritable). The owning thread may take it again; every take
// is matched by one release. nullptr on failure, with last_error() set.
NamedMutex* named_mutex_create(const char* name);

// Waits at most `timeout_ms` milliseconds for the mutex (WaitForSingleObject).
MutexWait named_mutex_wait(NamedMutex* mutex, unsigned long timeout_ms);

// Releases one take of the mutex (ReleaseMutex). False, with last_error() set, when the
// calling thread does not own it.
bool named_mutex_release(NamedMutex* mutex);

// Closes this process's handle of the mutex (CloseHandle); the mutex itself stays for the
// other processes. The handle must not be held.
void named_mutex_close(NamedMutex* mutex);

// The handle's value, as the log shows it.
unsigned long named_mutex_handle_value(const NamedMutex* mutex);

// Removes the name from the system, so that the next create makes a new mutex. Names of
// POSIX shared memory outlive their processes; Windows removes a name with its last handle.
void named_mutex_remove(const char* name);

}  // namespace platform
