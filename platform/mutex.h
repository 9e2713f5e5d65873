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
// On POSIX the mutex lives in a shared-memory object named after `name` and the user's id,
// made 0600; an existing object is used only when it is the user's own, 0600 and of the
// right size and shape (checked before it is mapped): one of another owner is never used,
// a broken one of the user's own is removed and made again.
NamedMutex* named_mutex_create(const char* name);

// Waits at most `timeout_ms` milliseconds for the mutex (WaitForSingleObject), measured on a
// clock that setting the time of day does not move.
MutexWait named_mutex_wait(NamedMutex* mutex, unsigned long timeout_ms);

// Releases one take of the mutex (ReleaseMutex). False, with last_error() set, when the
// calling thread does not own it.
bool named_mutex_release(NamedMutex* mutex);

// Closes this process's handle of the mutex (CloseHandle); the mutex itself stays for the
// other processes. The handle must not be held.
void named_mutex_close(NamedMutex* mutex);

// The handle's value, as the log shows it: the Windows handle; on POSIX the shared-memory
// object's inode number (never a memory address).
unsigned long named_mutex_handle_value(const NamedMutex* mutex);

}  // namespace platform
