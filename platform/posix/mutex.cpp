// POSIX named mutex: a robust, recursive, process-shared pthread mutex in a shared-memory object of the user's own.
#include "platform/mutex.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system.h"

namespace platform {

namespace {

// What lives in the shared memory.
struct SharedObject {
  pthread_mutex_t mutex;
  std::uint32_t layout;  // kLayout: the creator's idea of this record, size included
  std::uint32_t ready;   // kReady once the creator has initialised the mutex
};

const std::uint32_t kReady = 0x51454C47u;
const std::uint32_t kLayout = 0x54570000u | static_cast<std::uint32_t>(sizeof(SharedObject));
// How long an opener waits for the creating process to finish the initialisation: after
// that the object is taken for broken.
const int kInitialisationWaitMs = 2000;
const mode_t kObjectMode = 0600;

// "/" and the name, any further '/' (not allowed in a shared-memory name) as '_', then the
// user's id: every user has a mutex of their own, which nobody else can hold or plant.
void shared_memory_name(const char* name, char* out, std::size_t room) {
  std::snprintf(out, room, "/%s.%u", name, static_cast<unsigned>(geteuid()));
  for (char* c = out + 1; *c != '\0'; ++c) {
    if (*c == '/') *c = '_';
  }
}

SharedObject* map_object(int fd) {
  void* address = mmap(nullptr, sizeof(SharedObject), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) return nullptr;
  return static_cast<SharedObject*>(address);
}

bool initialise(SharedObject* object) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
            pthread_mutex_init(&object->mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  if (ok) {
    object->layout = kLayout;
    __atomic_store_n(&object->ready, kReady, __ATOMIC_RELEASE);
  }
  return ok;
}

enum class Opened { kUsable, kBroken, kForeign };

// An object that exists already: checked before it is mapped (owner, mode, size), then its
// shape once the creator has finished, waiting at most `wait_ms` for a creator still at work.
// Another user's object is foreign and never mapped; one of ours that does not get the right
// size and shape in time is broken.
Opened open_existing(int fd, int wait_ms, SharedObject** out) {
  struct stat info {};
  for (int waited = 0;; ++waited) {
    if (fstat(fd, &info) != 0) return Opened::kBroken;
    if (info.st_uid != geteuid()) return Opened::kForeign;
    if ((info.st_mode & 07777) != kObjectMode) return Opened::kBroken;
    if (static_cast<std::size_t>(info.st_size) == sizeof(SharedObject)) break;
    // A size other than ours, or still 0 after the creator had its time, is not ours to map:
    // a shorter object would fault on access.
    if (info.st_size != 0 || waited >= wait_ms) return Opened::kBroken;
    sleep_ms(1);
  }
  SharedObject* object = map_object(fd);
  if (object == nullptr) return Opened::kBroken;
  for (int waited = 0; waited <= wait_ms; ++waited) {
    if (__atomic_load_n(&object->ready, __ATOMIC_ACQUIRE) == kReady) {
      if (object->layout != kLayout) break;
      *out = object;
      return Opened::kUsable;
    }
    sleep_ms(1);
  }
  munmap(object, sizeof(SharedObject));
  return Opened::kBroken;
}

// The object's own lock (flock on its descriptor) orders the processes that create it and
// those that would remove it as broken: a creator holds it until the mutex is ready, and a
// remover takes it, so that a slow creator's object is never taken for broken and removed.
// False when it cannot be had within the wait.
bool lock_object(int fd) {
  for (int waited = 0; waited <= kInitialisationWaitMs; ++waited) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    sleep_ms(1);
  }
  return false;
}

bool same_object(int a, int b) {
  struct stat first {}, second {};
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// The object `fd` was found broken: under its lock, and only while the name still refers to
// it, it is looked at once more (its creator may just have finished) and removed when it is
// still broken. A name that refers to another object now was remade by another process:
// that one is left alone. Returns the object when the second look found it usable.
SharedObject* remove_if_still_broken(int fd, const char* shm_name) {
  if (!lock_object(fd)) return nullptr;
  SharedObject* object = nullptr;
  int again = shm_open(shm_name, O_RDWR | O_CLOEXEC, 0);
  if (again >= 0 && same_object(fd, again)) {
    if (open_existing(fd, 0, &object) != Opened::kUsable) shm_unlink(shm_name);
  }
  if (again >= 0) close(again);
  flock(fd, LOCK_UN);
  return object;
}

// Creates the object exclusively and initialises it under its lock; nullptr (errno set)
// when that fails, with EEXIST when another process has one already.
SharedObject* create_object(const char* shm_name, int* fd_out) {
  int fd = shm_open(shm_name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kObjectMode);
  *fd_out = fd;
  if (fd < 0) return nullptr;
  SharedObject* object = nullptr;
  // fchmod: the umask must not leave the object with less than the mode openers check.
  if (flock(fd, LOCK_EX) == 0 && fchmod(fd, kObjectMode) == 0 && ftruncate(fd, sizeof(SharedObject)) == 0) {
    object = map_object(fd);
    if (object != nullptr && !initialise(object)) {
      munmap(object, sizeof(SharedObject));
      object = nullptr;
      errno = ENOLCK;
    }
  }
  if (object == nullptr) {
    int error = errno;
    shm_unlink(shm_name);
    errno = error;
  }
  flock(fd, LOCK_UN);
  return object;
}

}  // namespace

// The handle of one process: its mapping of the object, and the object's inode.
struct NamedMutex {
  SharedObject* object;
  unsigned long inode;
};

NamedMutex* named_mutex_create(const char* name) {
  char shm_name[256];
  shared_memory_name(name, shm_name, sizeof shm_name);
  SharedObject* object = nullptr;
  int fd = -1;
  // Whoever creates the object exclusively initialises it; everyone else checks it and waits
  // for that. A broken object of ours is removed and made again; processes that find it
  // broken at once end up with one new object between them, not one each.
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts && object == nullptr; ++attempt) {
    object = create_object(shm_name, &fd);
    if (object != nullptr || errno != EEXIST) break;
    fd = shm_open(shm_name, O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
      if (errno == ENOENT) continue;  // removed meanwhile: create it
      break;
    }
    Opened opened = open_existing(fd, kInitialisationWaitMs, &object);
    if (opened == Opened::kForeign) {
      close(fd);
      fd = -1;
      errno = EACCES;
      break;
    }
    if (opened == Opened::kBroken) {
      object = remove_if_still_broken(fd, shm_name);
      if (object == nullptr) {
        close(fd);
        fd = -1;
        errno = EINVAL;
      }
    }
  }
  NamedMutex* handle = nullptr;
  if (object != nullptr) {
    struct stat info {};
    handle = static_cast<NamedMutex*>(std::malloc(sizeof(NamedMutex)));
    if (handle == nullptr) {
      munmap(object, sizeof(SharedObject));
      errno = ENOMEM;
    } else {
      handle->object = object;
      handle->inode = fstat(fd, &info) == 0 ? static_cast<unsigned long>(info.st_ino) : 0;
    }
  }
  if (fd >= 0) {
    int error = errno;
    close(fd);  // the mapping stays valid without the descriptor
    errno = error;
  }
  return handle;
}

MutexWait named_mutex_wait(NamedMutex* mutex, unsigned long timeout_ms) {
  if (mutex == nullptr) {
    set_last_error(EINVAL);
    return MutexWait::kFailed;
  }
  // The deadline on the monotonic clock: a change of the time of day neither cuts the wait
  // short nor stretches it.
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(timeout_ms / 1000);
  deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  int result = pthread_mutex_clocklock(&mutex->object->mutex, CLOCK_MONOTONIC, &deadline);
  switch (result) {
    case 0:
      return MutexWait::kAcquired;
    case EOWNERDEAD:
      // The holder died: we own the mutex now; mark it usable again for everyone.
      pthread_mutex_consistent(&mutex->object->mutex);
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
  int result = pthread_mutex_unlock(&mutex->object->mutex);
  if (result == 0) return true;
  set_last_error(static_cast<unsigned long>(result));
  return false;
}

void named_mutex_close(NamedMutex* mutex) {
  if (mutex == nullptr) return;
  munmap(mutex->object, sizeof(SharedObject));
  std::free(mutex);
}

unsigned long named_mutex_handle_value(const NamedMutex* mutex) {
  return mutex != nullptr ? mutex->inode : 0;
}

}  // namespace platform
