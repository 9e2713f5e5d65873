// Windows version information: what the reader finds in this program's resource equals its generated record.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/system.h"
#include "platform/version.h"

namespace {

TEST(Win32VersionResource, ReadsBackTheProgramsRecord) {
  char path[MAX_PATH];
  ASSERT_GT(platform::module_path(path, sizeof path), 0u);
  platform::VersionRecord read{};
  ASSERT_TRUE(platform::read_version_record(path, &read)) << "no version information in " << path;
  const platform::VersionRecord& record = platform::kProgramVersion;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(record.file_version[i], read.file_version[i]) << i;
  EXPECT_TRUE(read.has_file_version_text);
  EXPECT_STREQ(record.file_version_text, read.file_version_text);
  EXPECT_TRUE(read.has_legal_copyright);
  EXPECT_STREQ(record.legal_copyright, read.legal_copyright);
}

TEST(Win32VersionResource, OtherFilesHaveNothing) {
  platform::VersionRecord read{};
  EXPECT_FALSE(platform::read_version_record("C:\\no\\such\\file.exe", &read));
}

}  // namespace
