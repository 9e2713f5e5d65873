// Windows version resources: what the reader finds in this program's resource equals its record.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/system.h"
#include "platform/version.h"

namespace {

class Win32VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(platform::module_path(path_, sizeof path_), 0u);
    unsigned long handle = 1;
    unsigned long size = platform::file_version_info_size(path_, &handle);
    ASSERT_GT(size, 0u) << "no version information in " << path_;
    EXPECT_EQ(0u, handle);
    block_.resize(size);
    ASSERT_TRUE(platform::file_version_info(path_, handle, size, block_.data()));
  }

  char path_[MAX_PATH];
  std::vector<unsigned char> block_;
};

TEST_F(Win32VersionResource, FixedPartHoldsTheRecordsVersions) {
  const void* value = nullptr;
  unsigned length = 0;
  ASSERT_TRUE(platform::version_query_value(block_.data(), "\\", &value, &length));
  ASSERT_EQ(sizeof(platform::FixedFileInfo), length);
  platform::FixedFileInfo fixed;
  std::memcpy(&fixed, value, sizeof fixed);
  const platform::VersionResource& record = platform::kProgramVersion;
  EXPECT_EQ(platform::kFixedFileInfoSignature, fixed.signature);
  EXPECT_EQ(static_cast<std::uint32_t>(record.file_version[0] << 16 | record.file_version[1]), fixed.file_version_ms);
  EXPECT_EQ(static_cast<std::uint32_t>(record.file_version[2] << 16 | record.file_version[3]), fixed.file_version_ls);
  EXPECT_EQ(static_cast<std::uint32_t>(record.product_version[0] << 16 | record.product_version[1]), fixed.product_version_ms);
  EXPECT_EQ(static_cast<std::uint32_t>(record.product_version[2] << 16 | record.product_version[3]), fixed.product_version_ls);
}

TEST_F(Win32VersionResource, TranslationListsTheRecordsOneLanguage) {
  const void* value = nullptr;
  unsigned length = 0;
  ASSERT_TRUE(platform::version_query_value(block_.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(4u, length);
  std::uint16_t pair[2];
  std::memcpy(pair, value, sizeof pair);
  EXPECT_EQ(platform::kProgramVersion.language, pair[0]);
  EXPECT_EQ(platform::kProgramVersion.code_page, pair[1]);
}

TEST_F(Win32VersionResource, EveryStringOfTheRecordReadsBackUnchanged) {
  const platform::VersionResource& record = platform::kProgramVersion;
  ASSERT_GT(record.string_count, 0);
  for (int i = 0; i < record.string_count; ++i) {
    const platform::VersionString& entry = record.strings[i];
    SCOPED_TRACE(entry.name);
    char key[96];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", record.language, record.code_page, entry.name);
    const void* value = nullptr;
    unsigned length = 0;
    ASSERT_TRUE(platform::version_query_value(block_.data(), key, &value, &length));
    EXPECT_STREQ(entry.value, length == 0 ? "" : static_cast<const char*>(value));
  }
}

TEST_F(Win32VersionResource, UnknownKeysAndOtherFilesHaveNothing) {
  const void* value = nullptr;
  unsigned length = 0;
  EXPECT_FALSE(platform::version_query_value(block_.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
  EXPECT_EQ(0u, platform::file_version_info_size("C:\\no\\such\\file.exe", nullptr));
}

}  // namespace
