// Tests of the platform services of the log: files, the named mutex, process services.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "platform/files.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/time.h"
#include "platform/system.h"
#include "tests/sender/log/isolated.h"
#include "tests/sender/log/log_test_files.h"

namespace {

TEST(LogPlatformFiles, OpenFileRefusesLinksAndSpecialFiles) {
  enum Kind { kMissing, kRegular, kSymlink, kFifo, kDirectory };
  struct Case {
    const char* name;
    Kind kind;
    bool create;
    bool opened;
  };
  const Case cases[] = {
      {"missing, no create", kMissing, false, false}, {"missing, create", kMissing, true, true},
      {"regular", kRegular, false, true},             {"regular, create keeps it", kRegular, true, true},
      {"symbolic link", kSymlink, false, false},      {"symbolic link, create", kSymlink, true, false},
      {"fifo", kFifo, true, false},                   {"directory", kDirectory, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir / "x.LOG", target = dir / "target";
    Append(target, "target text");
    if (c.kind == kRegular) Append(path, "kept");
    int made = 0;
    if (c.kind == kSymlink) made = symlink(target.c_str(), path.c_str());
    if (c.kind == kFifo) made = mkfifo(path.c_str(), 0600);
    if (c.kind == kDirectory) made = mkdir(path.c_str(), 0700);
    ASSERT_EQ(made, 0);
    std::FILE* file = platform::open_file(path.c_str(), c.create);
    EXPECT_EQ(file != nullptr, c.opened);
    if (file != nullptr) {
      std::fseek(file, 0, SEEK_END);
      std::fputs("+new", file);
      std::fclose(file);
      EXPECT_EQ(ReadAll(path), c.kind == kRegular ? "kept+new" : "+new");
    } else {
      EXPECT_NE(platform::last_error(), 0u);
    }
    EXPECT_EQ(ReadAll(target), "target text") << "a link is never followed";
  }
}

TEST(LogPlatformFiles, DirectoriesRenameAndDelete) {
  TempDir dir;
  const std::string sub = dir / "sub";
  EXPECT_TRUE(platform::create_directory(sub.c_str()));
  EXPECT_FALSE(platform::create_directory(sub.c_str()));
  EXPECT_EQ(platform::last_error(), platform::kErrorAlreadyExists);
  EXPECT_FALSE(platform::create_directory((dir / "no/such").c_str()));
  EXPECT_NE(platform::last_error(), platform::kErrorAlreadyExists);

  Append(dir / "a", "a");
  Append(dir / "b", "b");
  EXPECT_TRUE(platform::rename_file((dir / "a").c_str(), (dir / "b").c_str()));
  EXPECT_EQ(ReadAll(dir / "b"), "a");
  EXPECT_FALSE(platform::rename_file((dir / "a").c_str(), (dir / "c").c_str()));
  EXPECT_TRUE(platform::delete_file((dir / "b").c_str()));
  EXPECT_FALSE(platform::delete_file((dir / "b").c_str()));
  EXPECT_FALSE(Exists(dir / "b"));

  EXPECT_STREQ(platform::default_log_directory(), "/tmp");
  EXPECT_EQ(platform::kPathSeparator, '/');
}

// A mutex name of this test run only, removed again at the end.
class MutexName {
 public:
  explicit MutexName(const char* what) {
    std::snprintf(name_, sizeof name_, "tidewake_log_test_%d_%s", static_cast<int>(getpid()), what);
    platform::named_mutex_remove(name_);
  }
  ~MutexName() { platform::named_mutex_remove(name_); }
  const char* c_str() const { return name_; }

 private:
  char name_[96];
};

// Runs `body` in a child process and returns its exit code (or 100 + signal).
template <typename Body>
int InChild(Body body) {
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(LogPlatformMutex, RecursiveTakesAndReleases) {
  MutexName name("recursive");
  platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(platform::named_mutex_wait(mutex, 100), platform::MutexWait::kAcquired);
  EXPECT_EQ(platform::named_mutex_wait(mutex, 100), platform::MutexWait::kAcquired);
  EXPECT_TRUE(platform::named_mutex_release(mutex));
  // Still held once: another process cannot take it.
  EXPECT_EQ(InChild([&] {
              platform::NamedMutex* other = platform::named_mutex_create(name.c_str());
              return other == nullptr ? 2 : static_cast<int>(platform::named_mutex_wait(other, 20));
            }),
            static_cast<int>(platform::MutexWait::kTimeout));
  EXPECT_TRUE(platform::named_mutex_release(mutex));
  EXPECT_FALSE(platform::named_mutex_release(mutex)) << "not owned any more";
  EXPECT_NE(platform::last_error(), 0u);
  // Released: another process takes it at once.
  EXPECT_EQ(InChild([&] {
              platform::NamedMutex* other = platform::named_mutex_create(name.c_str());
              if (other == nullptr) return 2;
              int r = static_cast<int>(platform::named_mutex_wait(other, 1000));
              platform::named_mutex_release(other);
              return r;
            }),
            static_cast<int>(platform::MutexWait::kAcquired));
}

TEST(LogPlatformMutex, AHolderThatDiesLeavesItAbandoned) {
  MutexName name("abandoned");
  platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
  ASSERT_NE(mutex, nullptr);
  // The child takes the mutex and is killed while holding it.
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  std::fflush(stdout);
  pid_t holder = fork();
  if (holder == 0) {
    platform::NamedMutex* own = platform::named_mutex_create(name.c_str());
    char held = own != nullptr && platform::named_mutex_wait(own, 1000) == platform::MutexWait::kAcquired ? 'y' : 'n';
    if (write(pipe_ends[1], &held, 1) != 1) _exit(3);
    for (int i = 0; i < 600; ++i) usleep(100000);  // bounded: killed long before
    _exit(0);
  }
  char held = 0;
  ASSERT_EQ(read(pipe_ends[0], &held, 1), 1);
  ASSERT_EQ(held, 'y');
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(pipe_ends[0]);
  close(pipe_ends[1]);
  EXPECT_EQ(platform::named_mutex_wait(mutex, 2000), platform::MutexWait::kAbandoned);
  EXPECT_TRUE(platform::named_mutex_release(mutex));
  EXPECT_EQ(platform::named_mutex_wait(mutex, 2000), platform::MutexWait::kAcquired) << "usable again";
  EXPECT_TRUE(platform::named_mutex_release(mutex));
}

TEST(LogPlatformProcess, ThreadIdentifiers) {
  unsigned long main_id = platform::current_thread_id();
  EXPECT_EQ(main_id, static_cast<unsigned long>(syscall(SYS_gettid)));
  unsigned long other_id = main_id;
  std::thread([&] { other_id = platform::current_thread_id(); }).join();
  EXPECT_NE(other_id, main_id);
}

TEST(LogPlatformProcess, StandardOutputPresence) {
  EXPECT_EQ(InChild([] { return platform::standard_output_present() ? 1 : 0; }), 1);
  EXPECT_EQ(InChild([] {
              close(1);
              return platform::standard_output_present() ? 1 : 0;
            }),
            0);
}

TEST(LogPlatformProcess, TimeZoneNamesAndTheClock) {
  struct Case {
    const char* tz;
    const wchar_t* standard_name;
    const wchar_t* daylight_name;
    int daylight;  // -1: not checked
  };
  const Case cases[] = {
      {"UTC0", L"UTC", L"UTC", 0},
      {"EST5EDT", L"EST", L"EDT", -1},
      {"AAA-1BBB,J1/0,J365/25", L"AAA", L"BBB", 1},  // daylight saving all year
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tz);
    RunIsolated([&] {
      setenv("TZ", c.tz, 1);
      tzset();
      platform::TimeZoneNames names{};
      EXPECT_TRUE(platform::time_zone_names(&names));
      EXPECT_STREQ(names.standard_name, c.standard_name);
      EXPECT_STREQ(names.daylight_name, c.daylight_name);
      platform::TimeWithMs now{};
      platform::time_with_ms(&now);
      EXPECT_LT(now.milliseconds, 1000);
      EXPECT_LE(std::llabs(now.seconds - static_cast<long long>(std::time(nullptr))), 60);
      if (c.daylight >= 0) {
        EXPECT_EQ(now.daylight != 0, c.daylight != 0);
      }
    });
  }
}

}  // namespace
