// Windows named mutex: recursion, waits from other threads, abandonment, the inheritable handle.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "platform/mutex.h"

namespace {

// A name of this process alone, so that parallel test runs do not meet.
std::string UniqueName(const char* what) {
  char name[64];
  std::snprintf(name, sizeof name, "tidewake_test_%s_%lu", what, GetCurrentProcessId());
  return name;
}

struct WaitJob {
  const char* name;
  unsigned long timeout_ms;
  bool release_after;
  platform::MutexWait result;
};

// Opens the mutex by name on a thread of its own and waits for it once.
DWORD WINAPI WaitOnOwnHandle(void* argument) {
  WaitJob* job = static_cast<WaitJob*>(argument);
  platform::NamedMutex* mutex = platform::named_mutex_create(job->name);
  job->result = platform::named_mutex_wait(mutex, job->timeout_ms);
  if (job->release_after) platform::named_mutex_release(mutex);
  // The handle is left open on purpose when not released: the thread ends while owning it.
  return 0;
}

platform::MutexWait WaitOnThread(const std::string& name, unsigned long timeout_ms, bool release_after) {
  WaitJob job{name.c_str(), timeout_ms, release_after, platform::MutexWait::kFailed};
  HANDLE thread = CreateThread(nullptr, 0, WaitOnOwnHandle, &job, 0, nullptr);
  EXPECT_NE(nullptr, thread);
  if (thread == nullptr) return platform::MutexWait::kFailed;
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
  CloseHandle(thread);
  return job.result;
}

TEST(Win32NamedMutex, OwnerMayTakeItAgainAndOthersWaitUntilEveryTakeIsReleased) {
  const std::string name = UniqueName("recursive");
  platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
  ASSERT_NE(nullptr, mutex);
  ASSERT_EQ(platform::MutexWait::kAcquired, platform::named_mutex_wait(mutex, 0));
  ASSERT_EQ(platform::MutexWait::kAcquired, platform::named_mutex_wait(mutex, 0));

  EXPECT_EQ(platform::MutexWait::kTimeout, WaitOnThread(name, 10, true));
  EXPECT_TRUE(platform::named_mutex_release(mutex));
  EXPECT_EQ(platform::MutexWait::kTimeout, WaitOnThread(name, 10, true));
  EXPECT_TRUE(platform::named_mutex_release(mutex));
  EXPECT_EQ(platform::MutexWait::kAcquired, WaitOnThread(name, 1000, true));

  // A release without a take fails.
  EXPECT_FALSE(platform::named_mutex_release(mutex));
  CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(platform::named_mutex_handle_value(mutex))));
}

TEST(Win32NamedMutex, AWaitAfterTheOwnerEndedReportsAbandonedAndOwnsIt) {
  const std::string name = UniqueName("abandoned");
  platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
  ASSERT_NE(nullptr, mutex);
  ASSERT_EQ(platform::MutexWait::kAcquired, WaitOnThread(name, 1000, false));
  EXPECT_EQ(platform::MutexWait::kAbandoned, platform::named_mutex_wait(mutex, 1000));
  // Abandoned means acquired: the one release it needs succeeds, and a second one fails.
  EXPECT_TRUE(platform::named_mutex_release(mutex));
  EXPECT_FALSE(platform::named_mutex_release(mutex));
}

TEST(Win32NamedMutex, HandleIsInheritable) {
  const std::string name = UniqueName("inherit");
  platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
  ASSERT_NE(nullptr, mutex);
  HANDLE handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(platform::named_mutex_handle_value(mutex)));
  DWORD flags = 0;
  ASSERT_TRUE(GetHandleInformation(handle, &flags));
  EXPECT_NE(0u, flags & HANDLE_FLAG_INHERIT);
}

}  // namespace
