// A hosts file that is a FIFO is refused at once, without waiting for a writer (POSIX).
#include "common/host_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

using wake::ReadHostFile;

TEST(ReadHostFile, AFifoIsRefusedWithoutWaitingForAWriter) {
  const std::string path = ::testing::TempDir() + "tidewake_hosts_fifo." + std::to_string(getpid());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  // No writer ever comes: an open that waited would hang here, so the alarm ends the test.
  alarm(10);
  const char* reason = nullptr;
  char* text = ReadHostFile(path.c_str(), &reason);
  alarm(0);
  unlink(path.c_str());
  EXPECT_EQ(text, nullptr);
  EXPECT_STREQ(reason, "not a regular file (a FIFO, a device or a directory is not read)");
}

}  // namespace
