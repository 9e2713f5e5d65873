// POSIX services of the log: append-only files of the user's own, the log folder, the named mutex, the process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/time.h"

namespace {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tidewake_platform_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

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

// An unprivileged user id for planting files that belong to someone else (the tests run as
// root in CI; as another user they leave these cases out).
constexpr uid_t kOtherUser = 65534;

TEST(PosixLogFiles, OpenAppendTakesOnlyARegularFileOfOurOwn) {
  enum Kind { kMissing, kRegular, kSymlink, kFifo, kDirectory, kHardLink, kOtherOwner };
  struct Case {
    const char* name;
    Kind kind;
    bool create;
    bool opened;
  };
  const Case cases[] = {
      {"missing, no create", kMissing, false, false}, {"missing, create", kMissing, true, true},
      {"regular", kRegular, false, true},             {"regular, create keeps it", kRegular, true, true},
      {"symbolic link", kSymlink, true, false},       {"fifo", kFifo, true, false},
      {"directory", kDirectory, true, false},         {"second name of another file", kHardLink, true, false},
      {"another user's file", kOtherOwner, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.kind == kOtherOwner && geteuid() != 0) continue;
    TempDir dir;
    const std::string path = dir / "x.LOG", target = dir / "target";
    Write(target, "target text");
    if (c.kind == kRegular || c.kind == kOtherOwner) Write(path, "kept");
    int made = 0;
    if (c.kind == kSymlink) made = symlink(target.c_str(), path.c_str());
    if (c.kind == kFifo) made = mkfifo(path.c_str(), 0600);
    if (c.kind == kDirectory) made = mkdir(path.c_str(), 0700);
    if (c.kind == kHardLink) made = link(target.c_str(), path.c_str());
    if (c.kind == kOtherOwner) made = chown(path.c_str(), kOtherUser, kOtherUser) | chmod(path.c_str(), 0666);
    ASSERT_EQ(made, 0);
    std::uint64_t size = 99;
    platform::FileHandle file = platform::open_append_file(path.c_str(), c.create, &size);
    EXPECT_EQ(file != platform::kNoFile, c.opened);
    if (file != platform::kNoFile) {
      EXPECT_EQ(size, c.kind == kRegular ? 4u : 0u);
      EXPECT_EQ(platform::append_file(file, "+new", 4), 4);
      platform::close_file(file);
      EXPECT_EQ(ReadAll(path), c.kind == kRegular ? "kept+new" : "+new");
      struct stat info {};
      stat(path.c_str(), &info);
      if (c.kind == kMissing) {
        EXPECT_EQ(info.st_mode & 0777, 0600u) << "a new log is private";
      }
    } else {
      EXPECT_NE(platform::last_error(), 0u);
    }
    EXPECT_EQ(ReadAll(target), "target text") << "nothing is written through a link";
  }
}

TEST(PosixLogFiles, AppendsLandAtTheEndWhoeverWrites) {
  TempDir dir;
  const std::string path = dir / "x.LOG";
  platform::FileHandle a = platform::open_append_file(path.c_str(), true, nullptr);
  platform::FileHandle b = platform::open_append_file(path.c_str(), false, nullptr);
  ASSERT_NE(a, platform::kNoFile);
  ASSERT_NE(b, platform::kNoFile);
  platform::append_file(a, "one\n", 4);
  platform::append_file(b, "two\n", 4);
  platform::append_file(a, "three\n", 6);
  platform::close_file(a);
  platform::close_file(b);
  EXPECT_EQ(ReadAll(path), "one\ntwo\nthree\n");
}

TEST(PosixLogFiles, LockSameFileAndReplace) {
  TempDir dir;
  const std::string path = dir / "x.LOG", backup = dir / "x.LO_";
  platform::FileHandle file = platform::open_append_file(path.c_str(), true, nullptr);
  ASSERT_NE(file, platform::kNoFile);
  EXPECT_TRUE(platform::lock_file(file, 0));
  // Another process cannot have the lock while we hold it, and waits no longer than told.
  EXPECT_EQ(InChild([&] {
              platform::FileHandle other = platform::open_append_file(path.c_str(), false, nullptr);
              return other != platform::kNoFile && !platform::lock_file(other, 50) ? 0 : 1;
            }),
            0);
  EXPECT_TRUE(platform::same_file(file, path.c_str()));
  Write(backup, "old");
  EXPECT_TRUE(platform::replace_file(path.c_str(), backup.c_str()));
  EXPECT_FALSE(platform::same_file(file, path.c_str())) << "the path names nothing now";
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(ReadAll(backup), "") << "the backup was replaced";
  EXPECT_FALSE(platform::replace_file(path.c_str(), backup.c_str()));
  platform::close_file(file);
  // Closed: the lock is gone with the descriptor.
  EXPECT_EQ(InChild([&] {
              platform::FileHandle other = platform::open_append_file(backup.c_str(), false, nullptr);
              return other != platform::kNoFile && platform::lock_file(other, 0) ? 0 : 1;
            }),
            0);
  EXPECT_TRUE(platform::create_directory((dir / "sub").c_str()));
  EXPECT_FALSE(platform::create_directory((dir / "sub").c_str()));
  EXPECT_EQ(platform::last_error(), platform::kErrorAlreadyExists);
}

// The default log folder under different environments, each in a child with its own.
TEST(PosixLogFiles, DefaultFolderIsTheUsersOwn) {
  TempDir dir;
  const std::string state = dir / "state", home = dir / "home";
  ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
  const std::string program = "tidewake-folder-test-" + std::to_string(getpid());
  const std::string tmp_own = "/tmp/" + program + "-" + std::to_string(geteuid());
  struct Case {
    const char* name;
    const char* xdg;   // nullptr: unset
    const char* home;  // nullptr: unset
    std::string folder;
  };
  const Case cases[] = {
      {"XDG_STATE_HOME first", state.c_str(), home.c_str(), state + "/" + program},
      {"a relative XDG_STATE_HOME is ignored", "relative", home.c_str(), home + "/.local/state/" + program},
      {"the home's state folder", nullptr, home.c_str(), home + "/.local/state/" + program},
      {"no home: a private folder in /tmp", nullptr, nullptr, tmp_own},
      {"a home that does not exist counts as none", nullptr, "/nonexistent-home", tmp_own},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(tmp_own);
    EXPECT_EQ(InChild([&] {
                c.xdg != nullptr ? setenv("XDG_STATE_HOME", c.xdg, 1) : unsetenv("XDG_STATE_HOME");
                c.home != nullptr ? setenv("HOME", c.home, 1) : unsetenv("HOME");
                char buffer[512] = "";
                if (!platform::default_log_directory(program.c_str(), buffer, sizeof buffer)) return 2;
                struct stat info {};
                if (lstat(buffer, &info) != 0 || !S_ISDIR(info.st_mode) || (info.st_mode & 0777) != 0700) return 3;
                return c.folder == buffer ? 0 : 4;
              }),
              0);
  }
  // In /tmp a folder someone else made first, or one of ours that others can enter, is refused.
  struct Planted {
    const char* name;
    mode_t mode;
    bool other_owner;
  };
  const Planted planted[] = {{"others may enter", 0755, false}, {"another user's", 0700, true}};
  for (const Planted& p : planted) {
    SCOPED_TRACE(p.name);
    if (p.other_owner && geteuid() != 0) continue;
    std::filesystem::remove_all(tmp_own);
    ASSERT_EQ(mkdir(tmp_own.c_str(), p.mode), 0);
    chmod(tmp_own.c_str(), p.mode);
    if (p.other_owner) {
      ASSERT_EQ(chown(tmp_own.c_str(), kOtherUser, kOtherUser), 0);
    }
    EXPECT_EQ(InChild([&] {
                unsetenv("XDG_STATE_HOME");
                unsetenv("HOME");
                char buffer[512];
                return platform::default_log_directory(program.c_str(), buffer, sizeof buffer) ? 1 : 0;
              }),
              0);
  }
  std::filesystem::remove_all(tmp_own);
}

// A mutex name of this test run only, removed again at the end.
class MutexName {
 public:
  explicit MutexName(const char* what) {
    std::snprintf(name_, sizeof name_, "tidewake_log_test_%d_%s", static_cast<int>(getpid()), what);
    Remove();
  }
  ~MutexName() { Remove(); }
  void Remove() const { std::remove(object().c_str()); }
  const char* c_str() const { return name_; }
  // The shared-memory object behind the name, in /dev/shm.
  std::string object() const { return "/dev/shm/" + std::string(name_) + "." + std::to_string(geteuid()); }

 private:
  char name_[96];
};

TEST(PosixLogMutex, RecursiveTakesAndReleases) {
  MutexName name("recursive");
  platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
  ASSERT_NE(mutex, nullptr);
  struct stat info {};
  ASSERT_EQ(stat(name.object().c_str(), &info), 0) << "the object carries the user's id";
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(platform::named_mutex_handle_value(mutex), static_cast<unsigned long>(info.st_ino))
      << "the log shows the object's inode, not an address";
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
  platform::named_mutex_close(mutex);
}

TEST(PosixLogMutex, AHolderThatDiesLeavesItAbandoned) {
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
  platform::named_mutex_close(mutex);
}

// Objects found under the mutex's name that are not a good mutex of ours: a broken one of ours
// is made again (and works), another user's is never used, and none of them stalls the opener
// past its bounded wait or kills it.
TEST(PosixLogMutex, ObjectsThatAreNotAGoodMutexOfOurs) {
  enum Kind { kZeroSize, kGarbage, kWrongMode, kShort, kOtherOwner };
  struct Case {
    const char* name;
    Kind kind;
    bool usable;  // a mutex comes back (a new one), or none
  };
  const Case cases[] = {
      {"zero size", kZeroSize, true},  {"garbage of the right size", kGarbage, true},
      {"mode 0666", kWrongMode, true}, {"too short to map", kShort, true},
      {"another user's", kOtherOwner, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.kind == kOtherOwner && geteuid() != 0) continue;
    MutexName name("planted");
    // The size of a good object, read from one made and removed again.
    platform::NamedMutex* good = platform::named_mutex_create(name.c_str());
    ASSERT_NE(good, nullptr);
    struct stat info {};
    ASSERT_EQ(stat(name.object().c_str(), &info), 0);
    const off_t size = info.st_size;
    platform::named_mutex_close(good);
    name.Remove();

    int fd = open(name.object().c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    fchmod(fd, c.kind == kWrongMode || c.kind == kOtherOwner ? 0666 : 0600);
    if (c.kind == kGarbage || c.kind == kWrongMode || c.kind == kOtherOwner) {
      std::string garbage(static_cast<std::size_t>(size), '\xA5');
      ASSERT_EQ(write(fd, garbage.data(), garbage.size()), static_cast<ssize_t>(garbage.size()));
    }
    if (c.kind == kShort) {
      ASSERT_EQ(ftruncate(fd, 8), 0);
    }
    if (c.kind == kOtherOwner) {
      ASSERT_EQ(fchown(fd, kOtherUser, kOtherUser), 0);
    }
    close(fd);

    platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
    EXPECT_EQ(mutex != nullptr, c.usable);
    if (mutex != nullptr) {
      EXPECT_EQ(platform::named_mutex_wait(mutex, 100), platform::MutexWait::kAcquired);
      EXPECT_TRUE(platform::named_mutex_release(mutex));
      platform::named_mutex_close(mutex);
    } else {
      ASSERT_EQ(stat(name.object().c_str(), &info), 0);
      EXPECT_EQ(info.st_uid, kOtherUser) << "another user's object is left alone";
    }
  }
}

// Processes that all find the object broken at once (here: garbage of the right size, never
// marked ready) end up with one new mutex between them, not one each.
TEST(PosixLogMutex, ProcessesThatFindItBrokenAtOnceShareOneNewMutex) {
  MutexName name("remade");
  platform::NamedMutex* good = platform::named_mutex_create(name.c_str());
  ASSERT_NE(good, nullptr);
  struct stat info {};
  ASSERT_EQ(stat(name.object().c_str(), &info), 0);
  platform::named_mutex_close(good);
  name.Remove();
  {
    std::ofstream garbage(name.object(), std::ios::binary);
    garbage << std::string(static_cast<std::size_t>(info.st_size), '\x5A');
  }
  ASSERT_EQ(chmod(name.object().c_str(), 0600), 0);

  constexpr int kProcesses = 8;
  int go[2], results[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(results), 0);
  std::fflush(stdout);
  for (int i = 0; i < kProcesses; ++i) {
    if (fork() == 0) {
      char start;
      if (read(go[0], &start, 1) != 1) _exit(1);
      platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
      unsigned long inode = platform::named_mutex_handle_value(mutex);
      _exit(write(results[1], &inode, sizeof inode) == sizeof inode ? 0 : 1);
    }
  }
  ASSERT_EQ(write(go[1], std::string(kProcesses, 'g').data(), kProcesses), kProcesses);
  std::vector<unsigned long> inodes(kProcesses);
  for (unsigned long& inode : inodes) ASSERT_EQ(read(results[0], &inode, sizeof inode), static_cast<ssize_t>(sizeof inode));
  for (int i = 0; i < kProcesses; ++i) wait(nullptr);
  for (int fd : {go[0], go[1], results[0], results[1]}) close(fd);
  ASSERT_EQ(stat(name.object().c_str(), &info), 0);
  for (unsigned long inode : inodes) EXPECT_EQ(inode, static_cast<unsigned long>(info.st_ino));
}

TEST(PosixLogMutex, AHeldMutexTimesOut) {
  MutexName name("timeout");
  platform::NamedMutex* mutex = platform::named_mutex_create(name.c_str());
  ASSERT_NE(mutex, nullptr);
  ASSERT_EQ(platform::named_mutex_wait(mutex, 100), platform::MutexWait::kAcquired);
  EXPECT_EQ(InChild([&] {
              platform::NamedMutex* other = platform::named_mutex_create(name.c_str());
              return other == nullptr ? 2 : static_cast<int>(platform::named_mutex_wait(other, 300));
            }),
            static_cast<int>(platform::MutexWait::kTimeout));
  EXPECT_TRUE(platform::named_mutex_release(mutex));
  platform::named_mutex_close(mutex);
}

// The wait's deadline is on the monotonic clock, so that setting the time of day can neither
// end it early nor stretch it: the timed futex wait of AHeldMutexTimesOut, seen by strace, must
// not be one on the real-time clock.
TEST(PosixLogMutex, TheWaitRunsOnTheMonotonicClock) {
  if (std::system("command -v strace >/dev/null 2>&1") != 0) {
    if (const char* ci = std::getenv("CI"); ci != nullptr && std::string(ci) == "true") FAIL() << "strace is missing";
    GTEST_SKIP() << "strace is not installed";
  }
  TempDir dir;
  const std::string trace = dir / "trace";
  char self[4096];
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  self[readlink("/proc/self/exe", self, sizeof self - 1)] = '\0';
  // LeakSanitizer cannot run under ptrace: the sanitizer build's inner run goes without it.
  const std::string command = "ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=futex -o " + trace + " " + self +
                              " --gtest_filter=PosixLogMutex.AHeldMutexTimesOut >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::istringstream lines(ReadAll(trace));
  std::string line;
  int timed_waits = 0;
  while (std::getline(lines, line)) {
    if (line.find("FUTEX_WAIT_BITSET") == std::string::npos || line.find("tv_sec") == std::string::npos) continue;
    ++timed_waits;
    EXPECT_EQ(line.find("FUTEX_CLOCK_REALTIME"), std::string::npos) << line;
  }
  EXPECT_GE(timed_waits, 1) << "no timed wait seen";
}

TEST(PosixLogProcess, ThreadIdentifiers) {
  unsigned long main_id = platform::current_thread_id();
  EXPECT_EQ(main_id, static_cast<unsigned long>(syscall(SYS_gettid)));
  unsigned long other_id = main_id;
  std::thread([&] { other_id = platform::current_thread_id(); }).join();
  EXPECT_NE(other_id, main_id);
}

TEST(PosixLogProcess, StandardStreams) {
  EXPECT_EQ(InChild([] { return platform::standard_output_present() ? 1 : 0; }), 1);
  EXPECT_EQ(InChild([] {
              close(1);
              return platform::standard_output_present() ? 1 : 0;
            }),
            0);
  // Closed at start, the three streams are opened on /dev/null, so that the next file opened
  // does not take their place.
  EXPECT_EQ(InChild([] {
              close(0);
              close(1);
              close(2);
              platform::open_standard_streams();
              if (open("/dev/null", O_RDONLY) <= 2) return 1;
              for (int fd = 0; fd <= 2; ++fd) {
                char target[64] = "";
                std::string link = "/proc/self/fd/" + std::to_string(fd);
                if (readlink(link.c_str(), target, sizeof target - 1) <= 0 || std::strcmp(target, "/dev/null") != 0) return 2;
              }
              return 0;
            }),
            0);
}

TEST(PosixLogProcess, TimeZoneNamesAndTheClock) {
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
    EXPECT_EQ(InChild([&] {
                setenv("TZ", c.tz, 1);
                tzset();
                platform::TimeZoneNames names{};
                if (!platform::time_zone_names(&names)) return 1;
                if (std::wcscmp(names.standard_name, c.standard_name) != 0) return 2;
                if (std::wcscmp(names.daylight_name, c.daylight_name) != 0) return 3;
                platform::TimeWithMs now{};
                platform::time_with_ms(&now);
                if (now.milliseconds >= 1000) return 4;
                if (std::llabs(now.seconds - static_cast<long long>(std::time(nullptr))) > 60) return 5;
                if (c.daylight >= 0 && (now.daylight != 0) != (c.daylight != 0)) return 6;
                return 0;
              }),
              0);
  }
}

}  // namespace
