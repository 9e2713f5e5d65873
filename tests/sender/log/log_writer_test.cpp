// Tests of the log file writer with a fake mutex and a fake file service (renames fail).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "sender/log/log.h"
#include "tests/fakes/fake_files.h"
#include "tests/fakes/fake_mutex.h"
#include "tests/sender/log/isolated.h"
#include "tests/sender/log/log_test_files.h"

namespace {

using platform::MutexWait;

const bool kCLocale = UseCLocale();
const std::string kDate = "\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}";

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

TEST(LogWriter, MaxSizeZeroTurnsTheLogOff) {
  TempDir dir;
  RunIsolated([&] {
    CaptureStandardOutput(dir / "stdout");
    log_set_path((dir / "x.LOG").c_str());
    log_set_max_size(0);
    EXPECT_EQ(log_printf("x\n"), 0);
    EXPECT_EQ(LOG_PRINTF_TIMED(": y\n"), 0);
    EXPECT_EQ(fake_mutex::state.creates, 0);
    EXPECT_FALSE(Exists(dir / "x.LOG"));
    EXPECT_EQ(ReadAll(dir / "stdout"), "");
  });
}

TEST(LogWriter, SmallLimitsAreRaisedTo8192) {
  struct Case {
    std::int32_t set;
    int limit;
  };
  const Case cases[] = {{100, 8192}, {1, 8192}, {-5, 8192}, {8192, 8192}, {9000, 9000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    TempDir dir;
    RunIsolated([&] {
      CaptureStandardOutput(dir / "stdout");
      log_set_path((dir / "x.LOG").c_str());
      log_set_max_size(c.set);
      int records = 0;
      while (!Exists(dir / "x.LO_") && records < 200) Log100(++records);
      // The file rotates with the first record that brings it to the limit.
      int expected = (c.limit + 99) / 100;
      EXPECT_EQ(records, expected);
      EXPECT_EQ(ReadAll(dir / "x.LO_").size(), static_cast<std::size_t>(expected * 100));
      EXPECT_FALSE(Exists(dir / "x.LOG")) << "the next record starts a new file";
      Log100(999);
      EXPECT_EQ(ReadAll(dir / "x.LOG").size(), 100u);
      EXPECT_EQ(ReadAll(dir / "stdout").size(), static_cast<std::size_t>(expected * 100 + 100));
    });
  }
}

TEST(LogWriter, RotationReplacesTheBackupAndStartsANewFile) {
  TempDir dir;
  RunIsolated([&] {
    CaptureStandardOutput(dir / "stdout");
    Append(dir / "x.LO_", "old backup\n");
    Append(dir / "x.LOG", std::string(16380, 'f'));
    log_set_path((dir / "x.LOG").c_str());
    log_set_rotation_callback(CountRotation);
    Log100(1);
    std::string backup = ReadAll(dir / "x.LO_");
    EXPECT_EQ(backup.size(), 16480u);
    EXPECT_EQ(backup.find("old backup"), std::string::npos);
    EXPECT_FALSE(Exists(dir / "x.LOG"));
    EXPECT_EQ(g_callbacks, 1);
    EXPECT_EQ(log_printf("next\n"), 6);
    EXPECT_EQ(ReadAll(dir / "x.LOG"), "next\n");
    EXPECT_EQ(fake_mutex::state.takes, 0);
  });
}

TEST(LogWriter, CounterLinesFollowEveryRotation) {
  struct Case {
    const char* name;
    int release_failures;
    unsigned long release_error;
    int rename_failures;
    int callbacks;         // at the first rotation
    std::string new_file;  // pattern of the file after the first rotation
  };
  const std::string d = kDate;
  const std::vector<Case> cases = {
      {"no errors", 0, 0, 0, 1, ""},
      {"two failed releases", 2, 6, 0, 1, d + ": MutexReleaseErrors = 2 \\(00000006\\)\n"},
      {"rename failing twice", 0, 0, 2, 1, d + ": LogRenameErrors = 1\n"},
      {"rename failing once: no callback, no line", 0, 0, 1, 0, ""},
      {"both", 1, 0x5, 2, 1, d + ": MutexReleaseErrors = 1 \\(00000005\\)\n" + d + ": LogRenameErrors = 1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    RunIsolated([&] {
      CaptureStandardOutput(dir / "stdout");
      const std::string log = dir / "x.LOG", backup = dir / "x.LO_";
      log_set_path(log.c_str());
      log_set_max_size(8192);
      log_set_rotation_callback(CountRotation);
      fake_mutex::state.release_failures = c.release_failures;
      fake_mutex::state.release_error = c.release_error;
      log_printf("one\n");
      log_printf("two\n");
      Append(log, std::string(8192, 'f'));
      fake_files::rename_failures = c.rename_failures;
      log_printf("three\n");
      if (c.rename_failures >= 2) {
        EXPECT_FALSE(Exists(backup)) << "both renames failed";
        EXPECT_EQ(g_callbacks, 0);
        log_printf("four\n");  // the oversized file tries the rotation again
      }
      EXPECT_TRUE(Exists(backup));
      EXPECT_EQ(g_callbacks, c.callbacks);
      EXPECT_TRUE(Matches(ReadAll(log), c.new_file)) << "new file: \"" << ReadAll(log) << "\"";
      // The counters are never reset: the next rotation repeats the totals.
      Append(log, std::string(8192, 'g'));
      log_printf("five\n");
      EXPECT_TRUE(Matches(ReadAll(log), c.new_file)) << "after the second rotation: \"" << ReadAll(log) << "\"";
      EXPECT_EQ(fake_mutex::state.takes, 0) << "every take of the mutex is released";
    });
  }
}

TEST(LogWriter, ReturnValueAndLineContinuation) {
  struct Call {
    const char* format;  // "%T" formats go through the unchecked call
    std::int32_t result;
    bool hook_previous;  // the flag handed to the line hook
  };
  const Call calls[] = {
      {"%T: x\n", 24, false}, {"abc", 26, true}, {"def\n", 5, false}, {"g\n", 24, true}, {"%T: y", 24, true},
  };
  static std::vector<std::string> hooked;
  static std::vector<bool> previous;
  TempDir dir;
  RunIsolated([&] {
    CaptureStandardOutput(dir / "stdout");
    log_set_path((dir / "x.LOG").c_str());
    log_set_line_hook([](const char* text, std::int32_t length, bool last) {
      hooked.emplace_back(text, static_cast<std::size_t>(length));
      previous.push_back(last);
    });
    for (const Call& call : calls) {
      EXPECT_EQ(log_printf_unchecked(call.format), call.result) << call.format;
    }
    ASSERT_EQ(hooked.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(previous[i], calls[i].hook_previous) << calls[i].format;
      EXPECT_EQ(hooked[i].substr(0, 2), "\r\n");
      EXPECT_EQ(hooked[i].size(), static_cast<std::size_t>(calls[i].result));
    }
    const std::string expected = "^" + kDate + ": x\n {21}abcdef\n {21}g\n" + kDate + ": y$";
    EXPECT_TRUE(Matches(ReadAll(dir / "x.LOG"), expected)) << ReadAll(dir / "x.LOG");
    EXPECT_EQ(ReadAll(dir / "stdout"), ReadAll(dir / "x.LOG"));
  });
}

TEST(LogWriter, PendingRecordsAreWrittenFirst) {
  struct Case {
    const char* name;
    bool flush_with_empty_call;
  };
  const Case cases[] = {{"by the next log call", false}, {"by log_flush_pending", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    RunIsolated([&] {
      CaptureStandardOutput(dir / "stdout");
      log_set_path((dir / "x.LOG").c_str());
      EXPECT_FALSE(log_flush_pending());
      EXPECT_EQ(fake_mutex::state.creates, 0) << "nothing pending: nothing done";
      EXPECT_EQ(log_queue_record("q%d\n", 1), 5);
      EXPECT_EQ(log_queue_record("q2 no line feed"), 17);
      EXPECT_FALSE(Exists(dir / "x.LOG")) << "queuing writes nothing";
      if (c.flush_with_empty_call) {
        EXPECT_FALSE(log_flush_pending());
        EXPECT_EQ(ReadAll(dir / "x.LOG"), "q1\nq2 no line feed");
      }
      log_printf("own\n");
      EXPECT_EQ(ReadAll(dir / "x.LOG"), "q1\nq2 no line feedown\n");
      EXPECT_EQ(ReadAll(dir / "stdout"), ReadAll(dir / "x.LOG"));
      EXPECT_EQ(log_printf_unchecked(""), 0) << "the list is empty again";
    });
  }
}

TEST(LogWriter, RecordsQueuedByTheRotationCallbackWaitForTheNextCall) {
  TempDir dir;
  RunIsolated([&] {
    CaptureStandardOutput(dir / "stdout");
    log_set_path((dir / "x.LOG").c_str());
    log_set_rotation_callback([](std::int32_t) {
      log_queue_record("queued in callback\n");
      log_printf("logged in callback\n");
    });
    Append(dir / "x.LOG", std::string(16384, 'f'));
    log_printf("rotating\n");
    EXPECT_EQ(ReadAll(dir / "x.LOG"), "logged in callback\n");
    log_printf("after\n");
    EXPECT_EQ(ReadAll(dir / "x.LOG"), "logged in callback\nqueued in callback\nafter\n");
  });
}

TEST(LogWriter, PathsAndDirectories) {
  struct Case {
    const char* name;
    const char* set_path;  // relative to the test directory; nullptr: the default path
    const char* file;      // where the record must land, relative to the test directory
  };
  const Case cases[] = {
      {"missing parents are created", "a/b/c/x.LOG", "a/b/c/x.LOG"},
      {"default path in a missing directory", nullptr, "TEMP/sub/log_writer_test.LOG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    RunIsolated([&] {
      CaptureStandardOutput(dir / "stdout");
      std::snprintf(fake_files::default_directory, sizeof fake_files::default_directory, "%s",
                    (dir / "TEMP/sub").c_str());
      log_set_path(c.set_path != nullptr ? (dir / c.set_path).c_str() : nullptr);
      log_printf("hello\n");
      EXPECT_EQ(ReadAll(dir / c.file), "hello\n");
      log_set_path("");  // a path is set: the default is not built again
      log_printf("again\n");
      EXPECT_EQ(ReadAll(dir / c.file), "hello\nagain\n");
    });
  }
}

TEST(LogWriter, DashMeansStandardOutputOnly) {
  TempDir dir;
  RunIsolated([&] {
    CaptureStandardOutput(dir / "stdout");
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    log_set_path("-");
    for (int i = 1; i <= 200; ++i) Log100(i);
    EXPECT_EQ(ReadAll(dir / "stdout").size(), 20000u);
    EXPECT_EQ(fake_files::renames, 0);
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      (void)entry;
      ++entries;
    }
    EXPECT_EQ(entries, 1u) << "only the captured standard output";
  });
}

TEST(LogWriter, UnopenableFileStillEchoes) {
  TempDir dir;
  RunIsolated([&] {
    CaptureStandardOutput(dir / "stdout");
    Append(dir / "plain", "a file, not a directory");
    log_set_path((dir / "plain/x.LOG").c_str());
    EXPECT_EQ(log_printf("lost to disk\n"), 14);
    EXPECT_EQ(ReadAll(dir / "stdout"), "lost to disk\n");
    EXPECT_EQ(fake_mutex::state.takes, 0);
  });
}

TEST(LogWriter, WithoutStandardOutputAtTheFirstCallOnlyTheFileIsWritten) {
  TempDir dir;
  RunIsolated([&] {
    log_set_path((dir / "x.LOG").c_str());
    std::fflush(stdout);
    close(1);
    log_printf("one\n");
    CaptureStandardOutput(dir / "stdout");  // a standard output appears later
    log_printf("two\n");
    std::fflush(stdout);
    EXPECT_EQ(ReadAll(dir / "x.LOG"), "one\ntwo\n");
    EXPECT_EQ(ReadAll(dir / "stdout"), "");
  });
}

TEST(LogWriter, MutexWaitsAreBounded) {
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
    TempDir dir;
    RunIsolated([&] {
      CaptureStandardOutput(dir / "stdout");
      auto& s = fake_mutex::state;
      s.fail_create = c.fail_create;
      for (MutexWait w : c.script) s.script[s.script_length++] = w;
      log_set_path((dir / "x.LOG").c_str());
      std::int32_t n = log_printf("line\n");
      EXPECT_EQ(s.waits, c.waits);
      EXPECT_EQ(s.releases, c.releases);
      EXPECT_EQ(s.takes, 0);
      if (c.waits > 0) {
        EXPECT_EQ(s.last_timeout, 2000u);
      }
      EXPECT_STREQ(s.name, "log_writer_test_QELOG");
      const std::string mark = "\r\nMutex Timeout 1234abcd\r\n";
      EXPECT_EQ(ReadAll(dir / "x.LOG"), c.marked ? "line\n" + mark : "line\n");
      EXPECT_EQ(n, c.marked ? static_cast<std::int32_t>(7 + mark.size() - 1) : 6);
      // After a time-out the process only tries the mutex, and marks no further record.
      int waits = s.waits;
      log_printf("next\n");
      if (c.fail_create) {
        EXPECT_EQ(s.creates, 2) << "the creation is tried again";
      } else {
        EXPECT_EQ(s.waits, waits + 1);
        EXPECT_EQ(s.last_timeout, c.marked ? 0u : 2000u);
      }
      EXPECT_EQ(ReadAll(dir / "x.LOG"), (c.marked ? "line\n" + mark : "line\n") + "next\n");
    });
  }
}

TEST(LogWriter, TimeoutMarkStaysWithinTheRecordBuffer) {
  TempDir dir;
  RunIsolated([&] {
    CaptureStandardOutput(dir / "stdout");
    auto& s = fake_mutex::state;
    for (int i = 0; i < 5; ++i) s.script[s.script_length++] = MutexWait::kTimeout;
    log_set_path((dir / "x.LOG").c_str());
    std::string big(3000, 'b');
    log_printf("%s", big.c_str());
    std::string written = ReadAll(dir / "x.LOG");
    EXPECT_EQ(written.size(), 1021u) << "1024 bytes less separator and terminator";
    EXPECT_EQ(written.substr(written.size() - 26), "\r\nMutex Timeout 1234abcd\r\n");
  });
}

}  // namespace
