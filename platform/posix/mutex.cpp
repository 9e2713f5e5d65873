// POSIX named mutex: a robust, recursive, process-shared pthread mutex in shared memory.
#include "platform/mutex.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system.h"

// The object behind a handle: the mapped shared memory itself.
struct platform::NamedMutex {
  pthread_mutex_t mutex;
  std::uint32_t ready;  // kReady once the creator has initialised the mutex
};

namespace platform {

namespace {

const std::uint32_t kReady = 0x51454C47u;
// How long an opener waits for the creating process to finish the initialisation.
const int kInitialisationWaitMs = 2000;

// "/" and the name, with any further '/' (not allowed in a shared-memory name) as '_'.
void shared_memory_name(const char* name, char* out, std::size_t room) {
  std::snprintf(out, room, "/%s", name);
  for (char* c = out + 1; *c != '\0'; ++c) {
    if (*c == '/') *c = '_';
  }
}

NamedMutex* map_object(int fd) {
  void* address = mmap(nullptr, sizeof(NamedMutex), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) return nullptr;
  return static_cast<NamedMutex*>(address);
}

bool initialise(NamedMutex* object) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
            pthread_mutex_init(&object->mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  if (ok) __atomic_store_n(&object->ready, kReady, __ATOMIC_RELEASE);
  return ok;
}

// Another process created the object: wait (bounded) until it has its full size and the
// creator has marked the mutex initialised.
NamedMutex* open_existing(int fd) {
  for (int waited = 0; waited <= kInitialisationWaitMs; ++waited) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return nullptr;
    if (static_cast<std::size_t>(info.st_size) >= sizeof(NamedMutex)) break;
    if (waited == kInitialisationWaitMs) return nullptr;
    sleep_ms(1);
  }
  NamedMutex* object = map_object(fd);
  if (object == nullptr) return nullptr;
  for (int waited = 0; waited <= kInitialisationWaitMs; ++waited) {
    if (__atomic_load_n(&object->ready, __ATOMIC_ACQUIRE) == kReady) return object;
    sleep_ms(1);
  }
  munmap(object, sizeof(NamedMutex));
  errno = ETIMEDOUT;
  return nullptr;
}

}  // namespace

NamedMutex* named_mutex_create(const char* name) {
  char shm_name[256];
  shared_memory_name(name, shm_name, sizeof shm_name);
  // Whoever creates the object exclusively initialises it; everyone else waits for that.
  int fd = shm_open(shm_name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  NamedMutex* object = nullptr;
  if (fd >= 0) {
    if (ftruncate(fd, sizeof(NamedMutex)) == 0) {
      object = map_object(fd);
      if (object != nullptr && !initialise(object)) {
        munmap(object, sizeof(NamedMutex));
        object = nullptr;
        errno = ENOLCK;
      }
    }
    if (object == nullptr) {
      int error = errno;
      shm_unlink(shm_name);
      errno = error;
    }
  } else if (errno == EEXIST) {
    fd = shm_open(shm_name, O_RDWR | O_CLOEXEC, 0);
    if (fd >= 0) object = open_existing(fd);
  }
  if (object == nullptr) set_last_error(static_cast<unsigned long>(errno));
  if (fd >= 0) {
    int error = errno;
    close(fd);  // the mapping stays valid without the descriptor
    errno = error;
  }
  return object;
}

MutexWait named_mutex_wait(NamedMutex* mutex, unsigned long timeout_ms) {
  if (mutex == nullptr) {
    set_last_error(EINVAL);
    return MutexWait::kFailed;
  }
  timespec deadline{};
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += static_cast<time_t>(timeout_ms / 1000);
  deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  int result = pthread_mutex_timedlock(&mutex->mutex, &deadline);
  switch (result) {
    case 0:
      return MutexWait::kAcquired;
    case EOWNERDEAD:
      // The holder died: we own the mutex now; mark it usable again for everyone.
      pthread_mutex_consistent(&mutex->mutex);
      return MutexWait::kAbandoned;
    case ETIMEDOUT:
      return MutexWait::kTimeout;
    default:
      set_last_error(static_cast<unsigned long>(result));
      return MutexWait::kFailed;
  }
}

bool named_mutex_release(NamedMutex* mutex) {
  if (mutex == nullptr) {
    set_last_error(EINVAL);
    return false;
  }
  int result = pthread_mutex_unlock(&mutex->mutex);
  if (result == 0) return true;
  set_last_error(static_cast<unsigned long>(result));
  return false;
}

void named_mutex_close(NamedMutex* mutex) {
  if (mutex != nullptr) munmap(mutex, sizeof(NamedMutex));
}

unsigned long named_mutex_handle_value(const NamedMutex* mutex) {
  return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(mutex));
}

void named_mutex_remove(const char* name) {
  char shm_name[256];
  shared_memory_name(name, shm_name, sizeof shm_name);
  shm_unlink(shm_name);
}

}  // namespace platform
