// Runs a test body in a child process, so that the log's process-wide state starts fresh.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

// Reports a child's failures on standard error: its standard output may be captured.
class StderrFailureReporter : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (result.failed()) {
      std::fprintf(stderr, "%s:%d: Failure (in the child)\n%s\n", result.file_name() ? result.file_name() : "?",
                   result.line_number(), result.summary());
    }
  }
};

// The log keeps its state for the life of the process and nothing resets it; each body
// therefore runs in a forked child, which reports its failures through its exit status.
template <typename Body>
void RunIsolated(Body body) {
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    ::testing::UnitTest::GetInstance()->listeners().Append(new StderrFailureReporter);
    body();
    std::fflush(stdout);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "the child did not end normally (status " << status << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child found failures (see above)";
}

// Date-time texts of these tests are taken in the C locale: the ISO short date has 10
// characters, so "date hh:mm:ss" has 19.
inline bool UseCLocale() {
  setenv("LC_ALL", "C", 1);
  unsetenv("LC_TIME");
  return true;
}
