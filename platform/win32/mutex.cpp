// Windows named mutex: CreateMutexA with an inheritable handle, WaitForSingleObject, ReleaseMutex.
#include "platform/mutex.h"

#include <cstdint>

#include <windows.h>

namespace platform {

// The opaque handle is the Windows mutex handle itself: nothing else needs keeping.
namespace {
HANDLE handle_of(const NamedMutex* mutex) {
  return reinterpret_cast<HANDLE>(const_cast<NamedMutex*>(mutex));
}
}  // namespace

NamedMutex* named_mutex_create(const char* name) {
  // No security descriptor (the default one), handle inherited by child processes.
  SECURITY_ATTRIBUTES attributes;
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = nullptr;
  attributes.bInheritHandle = TRUE;
  HANDLE handle = CreateMutexA(&attributes, FALSE, name);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<NamedMutex*>(handle);
}

MutexWait named_mutex_wait(NamedMutex* mutex, unsigned long timeout_ms) {
  if (mutex == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return MutexWait::kFailed;
  }
  switch (WaitForSingleObject(handle_of(mutex), static_cast<DWORD>(timeout_ms))) {
    case WAIT_OBJECT_0: return MutexWait::kAcquired;
    case WAIT_ABANDONED: return MutexWait::kAbandoned;
    case WAIT_TIMEOUT: return MutexWait::kTimeout;
    default: return MutexWait::kFailed;
  }
}

bool named_mutex_release(NamedMutex* mutex) {
  if (mutex == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return ReleaseMutex(handle_of(mutex)) != FALSE;
}

void named_mutex_close(NamedMutex* mutex) {
  if (mutex != nullptr) CloseHandle(handle_of(mutex));
}

unsigned long named_mutex_handle_value(const NamedMutex* mutex) {
  return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(handle_of(mutex)));
}

}  // namespace platform
