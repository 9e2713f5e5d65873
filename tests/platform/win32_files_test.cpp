// Windows file services of the log: text mode, create or keep, refusals, directories, rename.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/files.h"
#include "platform/system.h"

namespace {

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
    char name[64];
    std::snprintf(name, sizeof name, "tidewake_files_%lu", GetCurrentProcessId());
    dir_ = std::string(temp) + name;
    RemoveAll();
    ASSERT_TRUE(platform::create_directory(dir_.c_str()));
  }
  void TearDown() override { RemoveAll(); }

  std::string Path(const char* name) const { return dir_ + "\\" + name; }

  std::string Contents(const char* name) const {
    std::FILE* f = std::fopen(Path(name).c_str(), "rb");
    if (f == nullptr) return "<missing>";
    std::string text;
    int c;
    while ((c = std::fgetc(f)) != EOF) text += static_cast<char>(c);
    std::fclose(f);
    return text;
  }

  void RemoveAll() {
    for (const char* name : {"log.LOG", "log.LO_", "sub\\deeper", "sub"}) {
      DeleteFileA(Path(name).c_str());
      RemoveDirectoryA(Path(name).c_str());
    }
    RemoveDirectoryA(dir_.c_str());
  }

  std::string dir_;
};

TEST_F(Win32Files, TextModeWritesLineEndsAsCrLfAndKeepsWhatIsThere) {
  ASSERT_EQ(nullptr, platform::open_file(Path("log.LOG").c_str(), false));

  std::FILE* f = platform::open_file(Path("log.LOG").c_str(), true);
  ASSERT_NE(nullptr, f);
  std::fputs("one\ntwo\n", f);
  std::fclose(f);
  EXPECT_EQ("one\r\ntwo\r\n", Contents("log.LOG"));

  // Opened again, the file keeps its text; the log appends after a seek to the end.
  f = platform::open_file(Path("log.LOG").c_str(), true);
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(0, std::fseek(f, 0, SEEK_END));
  std::fputs("three\n", f);
  EXPECT_EQ(17, std::ftell(f));
  std::fclose(f);
  EXPECT_EQ("one\r\ntwo\r\nthree\r\n", Contents("log.LOG"));
}

TEST_F(Win32Files, ADirectoryIsNotOpenedAsAFile) {
  ASSERT_TRUE(platform::create_directory(Path("sub").c_str()));
  EXPECT_EQ(nullptr, platform::open_file(Path("sub").c_str(), true));
  EXPECT_EQ(nullptr, platform::open_file(Path("sub").c_str(), false));
}

TEST_F(Win32Files, DirectoriesReportAlreadyExistsAndMissingParents) {
  EXPECT_FALSE(platform::create_directory(dir_.c_str()));
  EXPECT_EQ(platform::kErrorAlreadyExists, platform::last_error());
  EXPECT_FALSE(platform::create_directory(Path("sub\\deeper").c_str()));
  EXPECT_EQ(static_cast<unsigned long>(ERROR_PATH_NOT_FOUND), platform::last_error());
}

TEST_F(Win32Files, RenameRefusesAnExistingTargetUntilItIsDeleted) {
  for (const char* name : {"log.LOG", "log.LO_"}) {
    std::FILE* f = platform::open_file(Path(name).c_str(), true);
    ASSERT_NE(nullptr, f);
    std::fputs(name, f);
    std::fclose(f);
  }
  EXPECT_FALSE(platform::rename_file(Path("log.LOG").c_str(), Path("log.LO_").c_str()));
  EXPECT_TRUE(platform::delete_file(Path("log.LO_").c_str()));
  EXPECT_TRUE(platform::rename_file(Path("log.LOG").c_str(), Path("log.LO_").c_str()));
  EXPECT_EQ("log.LOG", Contents("log.LO_"));
  EXPECT_FALSE(platform::delete_file(Path("log.LOG").c_str()));
  EXPECT_EQ(static_cast<unsigned long>(ERROR_FILE_NOT_FOUND), platform::last_error());
}

}  // namespace
