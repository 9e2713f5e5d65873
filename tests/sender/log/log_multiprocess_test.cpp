// Several processes share one log file: whole records, none lost, with the named mutex or without it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/mutex.h"
#include "tests/sender/log/log_test_support.h"

extern char** environ;

namespace {

const int kMaxRecord = 140;  // longer than any record of the tool, a "Mutex Timeout" mark included

// A copy of the tool under a name of this test only: the mutex name comes from the
// program's base name, so parallel runs (and the sanitizer build) never share a mutex.
class Tool {
 public:
  Tool(const TempDir& dir, const char* tag) {
    path_ = dir / ("lw" + std::to_string(getpid()) + tag);
    std::filesystem::copy_file(LOG_WRITER_TOOL, path_);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
    mutex_name_ = std::filesystem::path(path_).filename().string() + "_QELOG";
    std::filesystem::remove_all(MutexObject());
  }
  ~Tool() {
    std::error_code ignored;
    std::filesystem::remove_all(MutexObject(), ignored);
  }
  const std::string& mutex_name() const { return mutex_name_; }
  // The shared-memory object behind the mutex.
  std::string MutexObject() const { return "/dev/shm/" + mutex_name_ + "." + std::to_string(geteuid()); }

  // Starts the tool with `args`; its standard output goes to `out` (a descriptor) or nowhere.
  pid_t Start(const std::vector<std::string>& args, int out = -1) const {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0) {
      posix_spawn_file_actions_adddup2(&actions, out, 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path_.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int result = posix_spawn(&pid, path_.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(result, 0);
    return result == 0 ? pid : -1;
  }

 private:
  std::string path_;
  std::string mutex_name_;
};

// Waits for all processes, at most `seconds`; kills the rest. True when all ended with 0.
bool WaitAll(std::vector<pid_t> pids, int seconds) {
  bool ok = true;
  for (int tick = 0; tick < seconds * 20 && !pids.empty(); ++tick) {
    for (std::size_t i = 0; i < pids.size();) {
      int status = 0;
      if (waitpid(pids[i], &status, WNOHANG) == pids[i]) {
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        pids.erase(pids.begin() + static_cast<long>(i));
      } else {
        ++i;
      }
    }
    if (!pids.empty()) usleep(50000);
  }
  for (pid_t pid : pids) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    ADD_FAILURE() << "process " << pid << " did not finish in " << seconds << " s";
    ok = false;
  }
  return ok;
}

// Records found in a file, checked whole: (writer, sequence) in file order. The two lines of a
// "Mutex Timeout" mark are passed over.
std::vector<std::pair<int, int>> Records(const std::string& path) {
  static const std::regex record(R"([^\r\n]+ \d{2}:\d{2}:\d{2}: P(\d+)-R(\d+) x{50}\|)");
  std::vector<std::pair<int, int>> found;
  std::istringstream lines(ReadText(path));
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "\r" || line.rfind("Mutex Timeout ", 0) == 0) continue;
    std::smatch m;
    EXPECT_TRUE(std::regex_match(line, m, record)) << "torn or mixed record in " << path << ": \"" << line << "\"";
    if (!m.empty()) found.emplace_back(std::stoi(m[1].str()), std::stoi(m[2].str()));
  }
  return found;
}

std::vector<std::string> WriterArgs(const std::string& log, int max_size, int id, int count) {
  return {log, std::to_string(max_size), std::to_string(id), std::to_string(count)};
}

// Every record of every writer once, none torn.
void ExpectEveryRecordOnce(const std::string& log, int writers, int each) {
  std::map<std::pair<int, int>, int> seen;
  for (const auto& record : Records(log)) ++seen[record];
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(writers * each));
  int repeated = 0;
  for (const auto& entry : seen) repeated += entry.second != 1;
  EXPECT_EQ(repeated, 0) << "records written more than once";
}

TEST(LogMultiProcess, RotatingLogKeepsWholeRecordsInOrder) {
  TempDir dir;
  Tool tool(dir, "r");
  const std::string log = dir / "shared.LOG", backup = dir / "shared.LO_";
  const int kWriters = 4, kEach = 300, kLimit = 8192;
  std::vector<pid_t> pids;
  for (int id = 0; id < kWriters; ++id) pids.push_back(tool.Start(WriterArgs(log, kLimit, id, kEach)));
  ASSERT_TRUE(WaitAll(pids, 120));
  ASSERT_TRUE(Exists(backup)) << "the log rotated";
  std::map<int, int> last_sequence;
  for (const std::string& file : {backup, log}) {
    EXPECT_LT(ReadText(file).size(), static_cast<std::size_t>(kLimit + kMaxRecord))
        << file << " grew past the limit by more than one record";
    for (const auto& [id, sequence] : Records(file)) {
      // Records of one writer appear in the order written, each once.
      auto previous = last_sequence.find(id);
      if (previous != last_sequence.end()) {
        EXPECT_GT(sequence, previous->second) << "writer " << id;
      }
      last_sequence[id] = sequence;
    }
  }
}

TEST(LogMultiProcess, LargeLogKeepsEveryRecordOnce) {
  TempDir dir;
  Tool tool(dir, "l");
  const std::string log = dir / "shared.LOG";
  const int kWriters = 4, kEach = 150;
  std::vector<pid_t> pids;
  for (int id = 0; id < kWriters; ++id) pids.push_back(tool.Start(WriterArgs(log, 1 << 20, id, kEach)));
  ASSERT_TRUE(WaitAll(pids, 120));
  ExpectEveryRecordOnce(log, kWriters, kEach);
  EXPECT_FALSE(Exists(dir / "shared.LO_"));
}

TEST(LogMultiProcess, AKilledHolderDoesNotStopTheOthers) {
  TempDir dir;
  Tool tool(dir, "k");
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  pid_t holder = tool.Start({"--hold"}, pipe_ends[1]);
  close(pipe_ends[1]);
  char said[5] = {};
  ASSERT_EQ(read(pipe_ends[0], said, 4), 4);
  close(pipe_ends[0]);
  ASSERT_STREQ(said, "held");
  kill(holder, SIGKILL);  // dies holding the mutex
  waitpid(holder, nullptr, 0);

  const std::string log = dir / "shared.LOG";
  std::vector<pid_t> pids;
  for (int id = 0; id < 2; ++id) pids.push_back(tool.Start(WriterArgs(log, 1 << 20, id, 20)));
  ASSERT_TRUE(WaitAll(pids, 120));
  EXPECT_EQ(Records(log).size(), 40u);
  EXPECT_EQ(ReadText(log).find("Mutex Timeout"), std::string::npos)
      << "the abandoned mutex was acquired, not waited out";
  // The mutex was made consistent again and released by the writers.
  platform::NamedMutex* mutex = platform::named_mutex_create(tool.mutex_name().c_str());
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(platform::named_mutex_wait(mutex, 1000), platform::MutexWait::kAcquired);
  EXPECT_TRUE(platform::named_mutex_release(mutex));
  platform::named_mutex_close(mutex);
}

// A program installed deep in the file system still knows its whole path: its log and its
// mutex are named after its file, however long the folders above it are.
TEST(LogMultiProcess, ADeeplyInstalledWriterKeepsItsNames) {
  TempDir dir;
  std::string deep = dir.path();
  while (deep.size() < 400) deep += "/a-folder-of-forty-characters-or-so-long";
  std::filesystem::create_directories(deep);
  const std::string name = "deep" + std::to_string(getpid());
  const std::string program = deep + "/" + name;
  std::filesystem::copy_file(LOG_WRITER_TOOL, program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  const std::string state = dir / "state";
  // The default log path (an empty path argument) under XDG_STATE_HOME.
  const std::string command = "XDG_STATE_HOME=" + state + " " + program + " '' 100000 7 3 >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(Records(state + "/" + name + "/" + name + ".LOG").size(), 3u);
  const std::string object = "/dev/shm/" + name + "_QELOG." + std::to_string(geteuid());
  EXPECT_TRUE(Exists(object)) << object;
  std::filesystem::remove(object);
}

// Writers whose named mutex is out of reach: held by a stopped process, impossible to make
// (a folder stands at its object's name), or replaced by garbage of the right size. Each
// writer waits for the mutex no longer than its bounded wait (5 x 2 s), then writes without it
// under the file's own lock; garbage is found broken by all of them at once and made again,
// one mutex for all. No record is lost or torn, and a rotating log stays within a record of
// its limit.
class MutexOutOfReach : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string how = GetParam();
    if (how == "stopped holder") {
      int pipe_ends[2];
      ASSERT_EQ(pipe(pipe_ends), 0);
      holder_ = tool_.Start({"--hold"}, pipe_ends[1]);
      close(pipe_ends[1]);
      char said[5] = {};
      ASSERT_EQ(read(pipe_ends[0], said, 4), 4);
      close(pipe_ends[0]);
      ASSERT_STREQ(said, "held");
      kill(holder_, SIGSTOP);
    } else if (how == "no object") {
      ASSERT_TRUE(std::filesystem::create_directory(tool_.MutexObject()));
    } else if (how == "garbage") {
      // The size of a good object, from one made and removed again: garbage of that size is
      // mapped and waited on before it is found broken.
      platform::NamedMutex* good = platform::named_mutex_create(tool_.mutex_name().c_str());
      ASSERT_NE(good, nullptr);
      platform::named_mutex_close(good);
      const std::uint64_t size = FileSize(tool_.MutexObject());
      std::filesystem::remove(tool_.MutexObject());
      std::ofstream(tool_.MutexObject(), std::ios::binary) << std::string(static_cast<std::size_t>(size), '\x5A');
      ASSERT_EQ(chmod(tool_.MutexObject().c_str(), 0600), 0);
    }
  }
  void TearDown() override {
    if (holder_ > 0) {
      kill(holder_, SIGKILL);
      kill(holder_, SIGCONT);
      waitpid(holder_, nullptr, 0);
    }
  }
  // Eight writers at once; true when all ended well within their bounded waits.
  bool RunWriters(const std::string& log, int max_size, int each) {
    std::vector<pid_t> pids;
    for (int id = 0; id < kWriters; ++id) pids.push_back(tool_.Start(WriterArgs(log, max_size, id, each)));
    return WaitAll(pids, 120);
  }

  static constexpr int kWriters = 8;
  TempDir dir_;
  Tool tool_{dir_, "o"};
  pid_t holder_ = -1;
};

TEST_P(MutexOutOfReach, EveryRecordOnceNoneTorn) {
  const std::string log = dir_ / "shared.LOG";
  const int kEach = 5000;
  ASSERT_TRUE(RunWriters(log, 64 << 20, kEach));
  ExpectEveryRecordOnce(log, kWriters, kEach);
}

TEST_P(MutexOutOfReach, RotationKeepsTheLimit) {
  const std::string log = dir_ / "shared.LOG", backup = dir_ / "shared.LO_";
  const int kLimit = 8192;
  ASSERT_TRUE(RunWriters(log, kLimit, 500));
  ASSERT_TRUE(Exists(backup));
  for (const std::string& file : {backup, log}) {
    Records(file);  // every line whole
    EXPECT_LT(FileSize(file), static_cast<std::uint64_t>(kLimit + kMaxRecord))
        << file << " grew past the limit by more than one record";
  }
}

INSTANTIATE_TEST_SUITE_P(LogMultiProcess, MutexOutOfReach,
                         ::testing::Values("stopped holder", "no object", "garbage"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == ' ' ? '_' : c;
                           return name;
                         });

}  // namespace
