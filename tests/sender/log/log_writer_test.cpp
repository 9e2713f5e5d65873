// Tests of the log file writer against real files, its mutex and renames wrapped to inject faults.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/system.h"
#include "sender/log/log.h"
#include "sender/log/log_state.h"
#include "tests/sender/log/log_test_support.h"

namespace {

using platform::MutexWait;

// The faults a test injects, behind the writer's service record: a scripted named mutex (no
// real one is made) and renames that fail; everything else is the platform's.
struct Faults {
  int creates = 0;
  bool fail_create = false;
  std::string mutex_name;
  std::vector<MutexWait> script;  // results of the next waits; then every wait acquires
  std::size_t script_position = 0;
  int waits = 0;
  unsigned long last_timeout = 0;
  int takes = 0;                  // acquired waits not yet released
  int releases = 0;
  int release_failures = 0;       // the next releases that fail ...
  unsigned long release_error = 0;  // ... with this last error
  int renames = 0;
  int rename_failures = 0;        // the next renames that fail
  std::string default_directory;
  bool output_present = true;
  std::string output;             // what the log echoed to standard output
};
Faults g_faults;
int g_fake_mutex = 0;

platform::NamedMutex* FakeCreate(const char* name) {
  ++g_faults.creates;
  g_faults.mutex_name = name;
  if (g_faults.fail_create) return nullptr;
  return reinterpret_cast<platform::NamedMutex*>(&g_fake_mutex);
}

MutexWait FakeWait(platform::NamedMutex*, unsigned long timeout_ms) {
  ++g_faults.waits;
  g_faults.last_timeout = timeout_ms;
  MutexWait result = MutexWait::kAcquired;
  if (g_faults.script_position < g_faults.script.size()) result = g_faults.script[g_faults.script_position++];
  if (result == MutexWait::kAcquired || result == MutexWait::kAbandoned) ++g_faults.takes;
  return result;
}

bool FakeRelease(platform::NamedMutex*) {
  ++g_faults.releases;
  --g_faults.takes;
  if (g_faults.release_failures > 0) {
    --g_faults.release_failures;
    platform::set_last_error(g_faults.release_error);
    return false;
  }
  return true;
}

unsigned long FakeHandleValue(const platform::NamedMutex*) { return 0x1234abcdUL; }
void FakeClose(platform::NamedMutex*) {}

bool FailingReplace(const char* from, const char* to) {
  ++g_faults.renames;
  if (g_faults.rename_failures > 0) {
    --g_faults.rename_failures;
    platform::set_last_error(32);  // in use by another process
    return false;
  }
  return platform::replace_file(from, to);
}

bool OutputPresent() { return g_faults.output_present; }
void WriteOutput(const char* text, std::size_t length) { g_faults.output.append(text, length); }

bool TestDefaultDirectory(const char*, char* buffer, std::size_t size) {
  std::snprintf(buffer, size, "%s", g_faults.default_directory.c_str());
  return true;
}

class LogWriter : public LogTest {
 protected:
  void SetUp() override {
    LogTest::SetUp();
    g_faults = Faults();
    g_faults.default_directory = dir_ / "nonexistent-default";
    g_log_state.services = {TestDefaultDirectory, FailingReplace, FakeCreate,  FakeWait, FakeRelease,
                            FakeHandleValue,      FakeClose,      OutputPresent, WriteOutput};
  }
  // What the log echoed, with "\r\n" read as "\n" as the file is.
  static std::string Output() { return g_faults.output; }
  std::string Log() const { return dir_ / "x.LOG"; }
  std::string Backup() const { return dir_ / "x.LO_"; }

  TempDir dir_;
};

// The date-time prefix of this machine, as a pattern of its width.
std::string DatePattern() {
  return "[^\\r\\n]{" + std::to_string(std::strlen(format_date_time(nullptr, 0)) - 9) + "} \\d{2}:\\d{2}:\\d{2}";
}

bool Matches(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

// A record of exactly 100 characters, line feed included.
std::int32_t Log100(int number) { return log_printf("record %04d %87s\n", number, "r"); }

int g_callbacks = 0;
void CountRotation(std::int32_t value) {
  EXPECT_EQ(value, 2);
  ++g_callbacks;
}

TEST_F(LogWriter, MaxSizeZeroTurnsTheLogOff) {
  log_set_path(Log().c_str());
  log_set_max_size(0);
  EXPECT_EQ(log_printf("x\n"), 0);
  EXPECT_EQ(LOG_PRINTF_TIMED(": y\n"), 0);
  EXPECT_EQ(g_faults.creates, 0);
  EXPECT_FALSE(Exists(Log()));
  EXPECT_EQ(Output(), "");
}

TEST_F(LogWriter, SmallLimitsAreRaisedTo8192) {
  struct Case {
    std::int32_t set;
    std::uint64_t limit;
  };
  const Case cases[] = {{100, 8192}, {1, 8192}, {-5, 8192}, {8192, 8192}, {9000, 9000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    log_reset();
    std::remove(Log().c_str());
    std::remove(Backup().c_str());
    g_faults.output.clear();
    log_set_path(Log().c_str());
    log_set_max_size(c.set);
    Log100(0);
    const std::uint64_t record = FileSize(Log());  // 100 bytes, 101 in a Windows text file
    int records = 1;
    while (!Exists(Backup()) && records < 200) Log100(records++);
    // The file rotates with the first record that brings it to the limit.
    const int expected = static_cast<int>((c.limit + record - 1) / record);
    EXPECT_EQ(records, expected);
    EXPECT_EQ(FileSize(Backup()), static_cast<std::uint64_t>(expected) * record);
    EXPECT_FALSE(Exists(Log())) << "the next record starts a new file";
    Log100(999);
    EXPECT_EQ(FileSize(Log()), record);
    EXPECT_EQ(Output().size(), static_cast<std::size_t>(expected * 100 + 100));
  }
}

TEST_F(LogWriter, RotationReplacesTheBackupAndStartsANewFile) {
  Append(Backup(), "old backup\n");
  Append(Log(), std::string(16380, 'f'));
  log_set_path(Log().c_str());
  log_set_rotation_callback(CountRotation);
  g_callbacks = 0;
  Log100(1);
  std::string backup = ReadText(Backup());
  EXPECT_EQ(backup.size(), 16480u);
  EXPECT_EQ(backup.find("old backup"), std::string::npos);
  EXPECT_FALSE(Exists(Log()));
  EXPECT_EQ(g_callbacks, 1);
  EXPECT_EQ(log_printf("next\n"), 6);
  EXPECT_EQ(ReadText(Log()), "next\n");
  EXPECT_EQ(g_faults.takes, 0);
}

TEST_F(LogWriter, CounterLinesFollowEveryRotation) {
  struct Case {
    const char* name;
    int release_failures;
    unsigned long release_error;
    int rename_failures;
    int callbacks;         // at the first rotation
    std::string new_file;  // pattern of the file after the first rotation
  };
  const std::string d = DatePattern();
  const std::vector<Case> cases = {
      {"no errors", 0, 0, 0, 1, ""},
      {"two failed releases", 2, 6, 0, 1, d + ": MutexReleaseErrors = 2 \\(00000006\\)\n"},
      {"rename failing twice", 0, 0, 2, 1, d + ": LogRenameErrors = 1\n"},
      {"rename failing once: no callback, no line", 0, 0, 1, 0, ""},
      {"both", 1, 0x5, 2, 1, d + ": MutexReleaseErrors = 1 \\(00000005\\)\n" + d + ": LogRenameErrors = 1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_reset();
    std::remove(Log().c_str());
    std::remove(Backup().c_str());
    g_callbacks = 0;
    g_faults.output.clear();
    log_set_path(Log().c_str());
    log_set_max_size(8192);
    log_set_rotation_callback(CountRotation);
    g_faults.release_failures = c.release_failures;
    g_faults.release_error = c.release_error;
    log_printf("one\n");
    log_printf("two\n");
    Append(Log(), std::string(8192, 'f'));
    g_faults.rename_failures = c.rename_failures;
    log_printf("three\n");
    if (c.rename_failures >= 2) {
      EXPECT_FALSE(Exists(Backup())) << "both renames failed";
      EXPECT_EQ(g_callbacks, 0);
      log_printf("four\n");  // the oversized file tries the rotation again
    }
    EXPECT_TRUE(Exists(Backup()));
    EXPECT_EQ(g_callbacks, c.callbacks);
    EXPECT_TRUE(Matches(ReadText(Log()), c.new_file)) << "new file: \"" << ReadText(Log()) << "\"";
    // The counters are never reset: the next rotation repeats the totals.
    Append(Log(), std::string(8192, 'g'));
    log_printf("five\n");
    EXPECT_TRUE(Matches(ReadText(Log()), c.new_file)) << "after the second rotation: \"" << ReadText(Log()) << "\"";
    EXPECT_EQ(g_faults.takes, 0) << "every take of the mutex is released";
  }
}

TEST_F(LogWriter, ReturnValueAndLineContinuation) {
  const int prefix = static_cast<int>(std::strlen(format_date_time(nullptr, 0)));
  const int indent = prefix >= 24 ? 21 : prefix + 2;
  struct Call {
    const char* format;  // "%T" formats go through the unchecked call
    std::int32_t result;
    bool hook_previous;  // the flag handed to the line hook
  };
  const Call calls[] = {
      {"%T: x\n", 2 + prefix + 3, false}, {"abc", 2 + indent + 3, true},   {"def\n", 2 + 3, false},
      {"g\n", 2 + indent + 1, true},      {"%T: y", 2 + prefix + 3, true},
  };
  static std::vector<std::string> hooked;
  static std::vector<bool> previous;
  hooked.clear();
  previous.clear();
  log_set_path(Log().c_str());
  log_set_line_hook([](const char* text, std::int32_t length, bool last) {
    hooked.emplace_back(text, static_cast<std::size_t>(length));
    previous.push_back(last);
  });
  for (const Call& call : calls) EXPECT_EQ(log_printf_unchecked(call.format), call.result) << call.format;
  ASSERT_EQ(hooked.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(previous[i], calls[i].hook_previous) << calls[i].format;
    EXPECT_EQ(hooked[i].substr(0, 2), "\r\n");
    EXPECT_EQ(hooked[i].size(), static_cast<std::size_t>(calls[i].result));
  }
  const std::string spaces(static_cast<std::size_t>(indent), ' ');
  const std::string expected = "^" + DatePattern() + ": x\n" + spaces + "abcdef\n" + spaces + "g\n" + DatePattern() + ": y$";
  EXPECT_TRUE(Matches(ReadText(Log()), expected)) << ReadText(Log());
  EXPECT_EQ(Output(), ReadText(Log()));
}

TEST_F(LogWriter, PendingRecordsAreWrittenFirst) {
  struct Case {
    const char* name;
    bool flush_with_empty_call;
  };
  const Case cases[] = {{"by the next log call", false}, {"by log_flush_pending", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_reset();
    std::remove(Log().c_str());
    g_faults.creates = 0;
    g_faults.output.clear();
    log_set_path(Log().c_str());
    EXPECT_FALSE(log_flush_pending());
    EXPECT_EQ(g_faults.creates, 0) << "nothing pending: nothing done";
    EXPECT_EQ(log_queue_record("q%d\n", 1), 5);
    EXPECT_EQ(log_queue_record("q2 no line feed"), 17);
    EXPECT_FALSE(Exists(Log())) << "queuing writes nothing";
    if (c.flush_with_empty_call) {
      EXPECT_FALSE(log_flush_pending());
      EXPECT_EQ(ReadText(Log()), "q1\nq2 no line feed");
    }
    log_printf("own\n");
    EXPECT_EQ(ReadText(Log()), "q1\nq2 no line feedown\n");
    EXPECT_EQ(Output(), ReadText(Log()));
    EXPECT_EQ(log_printf_unchecked(""), 0) << "the list is empty again";
  }
}

TEST_F(LogWriter, RecordsQueuedByTheRotationCallbackWaitForTheNextCall) {
  log_set_path(Log().c_str());
  log_set_rotation_callback([](std::int32_t) {
    log_queue_record("queued in callback\n");
    log_printf("logged in callback\n");
  });
  Append(Log(), std::string(16384, 'f'));
  log_printf("rotating\n");
  EXPECT_EQ(ReadText(Log()), "logged in callback\n");
  log_printf("after\n");
  EXPECT_EQ(ReadText(Log()), "logged in callback\nqueued in callback\nafter\n");
}

TEST_F(LogWriter, PathsAndDirectories) {
  struct Case {
    const char* name;
    const char* set_path;  // relative to the test folder; nullptr: the default path
    std::string file;      // where the record must land, relative to the test folder
  };
  const std::string sep(1, platform::kPathSeparator);
  const Case cases[] = {
      {"missing parents are created", "a/b/c/x.LOG", "a" + sep + "b" + sep + "c" + sep + "x.LOG"},
      {"default path in a missing folder", nullptr, "TEMP" + sep + "sub" + sep + "log_writer_test.LOG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_reset();
    g_faults.default_directory = dir_ / ("TEMP" + sep + "sub");
    std::string path = c.set_path != nullptr ? dir_ / c.set_path : std::string();
    for (char& ch : path) {
      if (ch == '/') ch = platform::kPathSeparator;
    }
    log_set_path(c.set_path != nullptr ? path.c_str() : nullptr);
    log_printf("hello\n");
    EXPECT_EQ(ReadText(dir_ / c.file), "hello\n");
    log_set_path("");  // a path is set: the default is not built again
    log_printf("again\n");
    EXPECT_EQ(ReadText(dir_ / c.file), "hello\nagain\n");
  }
}

TEST_F(LogWriter, DashMeansStandardOutputOnly) {
  log_set_path("-");
  for (int i = 1; i <= 200; ++i) Log100(i);
  EXPECT_EQ(Output().size(), 20000u);
  EXPECT_EQ(g_faults.renames, 0);
  EXPECT_FALSE(Exists("-"));
}

TEST_F(LogWriter, UnopenableFileStillEchoes) {
  Append(dir_ / "plain", "a file, not a folder");
  log_set_path((dir_ / "plain" + platform::kPathSeparator + "x.LOG").c_str());
  EXPECT_EQ(log_printf("lost to disk\n"), 14);
  EXPECT_EQ(Output(), "lost to disk\n");
  EXPECT_EQ(g_faults.takes, 0);
}

TEST_F(LogWriter, WithoutStandardOutputAtTheFirstCallOnlyTheFileIsWritten) {
  log_set_path(Log().c_str());
  g_faults.output_present = false;
  log_printf("one\n");
  g_faults.output_present = true;  // a standard output appears later
  log_printf("two\n");
  EXPECT_EQ(Output(), "");
  EXPECT_EQ(ReadText(Log()), "one\ntwo\n");
}

TEST_F(LogWriter, MutexWaitsAreBounded) {
  const MutexWait T = MutexWait::kTimeout;
  struct Case {
    const char* name;
    bool fail_create;
    std::vector<MutexWait> script;
    int waits;
    int releases;
    bool marked;
  };
  const std::vector<Case> cases = {
      {"acquired", false, {}, 1, 1, false},
      {"abandoned by a dead holder: acquired", false, {MutexWait::kAbandoned}, 1, 1, false},
      {"two time-outs, then acquired", false, {T, T, MutexWait::kAcquired}, 3, 1, false},
      {"five time-outs: written without the mutex", false, {T, T, T, T, T}, 5, 0, true},
      {"failing wait: written at once", false, {MutexWait::kFailed}, 1, 0, false},
      {"no mutex: written at once", true, {}, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_reset();
    std::remove(Log().c_str());
    g_faults = Faults();
    g_faults.default_directory = dir_ / "nonexistent-default";
    g_faults.fail_create = c.fail_create;
    g_faults.script = c.script;
    log_set_path(Log().c_str());
    std::int32_t n = log_printf("line\n");
    EXPECT_EQ(g_faults.waits, c.waits);
    EXPECT_EQ(g_faults.releases, c.releases);
    EXPECT_EQ(g_faults.takes, 0);
    if (c.waits > 0) {
      EXPECT_EQ(g_faults.last_timeout, 2000u);
    }
    EXPECT_EQ(g_faults.mutex_name, "log_writer_test_QELOG");
    const std::string mark = "\r\nMutex Timeout 1234abcd\r\n";
    EXPECT_EQ(ReadText(Log()), c.marked ? "line\n" + mark : "line\n");
    EXPECT_EQ(Output(), ReadText(Log())) << "the mark is echoed too";
    EXPECT_EQ(n, c.marked ? static_cast<std::int32_t>(7 + mark.size() - 1) : 6);
    // After a time-out the process only tries the mutex, and marks no further record.
    int waits = g_faults.waits;
    log_printf("next\n");
    if (c.fail_create) {
      EXPECT_EQ(g_faults.creates, 2) << "the creation is tried again";
    } else {
      EXPECT_EQ(g_faults.waits, waits + 1);
      EXPECT_EQ(g_faults.last_timeout, c.marked ? 0u : 2000u);
    }
    EXPECT_EQ(ReadText(Log()), (c.marked ? "line\n" + mark : "line\n") + "next\n");
  }
}

TEST_F(LogWriter, TimeoutMarkStaysWithinTheRecordBuffer) {
  g_faults.script.assign(5, MutexWait::kTimeout);
  log_set_path(Log().c_str());
  std::string big(3000, 'b');
  log_printf("%s", big.c_str());
  std::string written = ReadText(Log());
  EXPECT_EQ(written.size(), 1021u) << "1024 bytes less separator and terminator";
  EXPECT_EQ(written.substr(written.size() - 26), "\r\nMutex Timeout 1234abcd\r\n");
  EXPECT_EQ(Output(), written) << "standard output shows the record as the file does";
}

}  // namespace
