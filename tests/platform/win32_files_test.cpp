// Windows file services of the log: appended text with CR LF, create or keep, refusals, directories, replace.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
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

// Appends one text to the file `name`, created when missing; the size it had before.
long long AppendTo(const std::string& path, const char* text, bool create = true) {
  std::uint64_t size = 0;
  platform::FileHandle file = platform::open_append_file(path.c_str(), create, &size);
  if (file == platform::kNoFile) return -1;
  long long written = platform::append_file(file, text, std::strlen(text));
  platform::close_file(file);
  return written < 0 ? -1 : static_cast<long long>(size);
}

TEST_F(Win32Files, TextFilesGetCrLfAndKeepWhatIsThere) {
  std::uint64_t size = 0;
  EXPECT_EQ(platform::kNoFile, platform::open_append_file(Path("log.LOG").c_str(), false, &size));
  EXPECT_EQ(0, AppendTo(Path("log.LOG"), "one\ntwo\n"));
  EXPECT_EQ("one\r\ntwo\r\n", Contents("log.LOG"));
  // Opened again, the file keeps its text and its size is known; the append lands at its end.
  EXPECT_EQ(10, AppendTo(Path("log.LOG"), "three\n"));
  EXPECT_EQ("one\r\ntwo\r\nthree\r\n", Contents("log.LOG"));
}

TEST_F(Win32Files, TwoHandlesAppendAtTheEnd) {
  platform::FileHandle a = platform::open_append_file(Path("log.LOG").c_str(), true, nullptr);
  platform::FileHandle b = platform::open_append_file(Path("log.LOG").c_str(), false, nullptr);
  ASSERT_NE(platform::kNoFile, a);
  ASSERT_NE(platform::kNoFile, b);
  EXPECT_EQ(4, platform::append_file(a, "a1\n", 3));
  EXPECT_EQ(4, platform::append_file(b, "b1\n", 3));
  EXPECT_EQ(4, platform::append_file(a, "a2\n", 3));
  EXPECT_TRUE(platform::same_file(a, Path("log.LOG").c_str()));
  platform::close_file(a);
  platform::close_file(b);
  EXPECT_EQ("a1\r\nb1\r\na2\r\n", Contents("log.LOG"));
}

TEST_F(Win32Files, ADirectoryIsNotOpenedAsAFile) {
  ASSERT_TRUE(platform::create_directory(Path("sub").c_str()));
  EXPECT_EQ(platform::kNoFile, platform::open_append_file(Path("sub").c_str(), true, nullptr));
  EXPECT_EQ(platform::kNoFile, platform::open_append_file(Path("sub").c_str(), false, nullptr));
}

TEST_F(Win32Files, DirectoriesReportAlreadyExistsAndMissingParents) {
  EXPECT_FALSE(platform::create_directory(dir_.c_str()));
  EXPECT_EQ(platform::kErrorAlreadyExists, platform::last_error());
  EXPECT_FALSE(platform::create_directory(Path("sub\\deeper").c_str()));
  EXPECT_EQ(static_cast<unsigned long>(ERROR_PATH_NOT_FOUND), platform::last_error());
}

TEST_F(Win32Files, ReplaceTakesThePlaceOfTheBackupEvenWhileTheFileIsOpen) {
  AppendTo(Path("log.LO_"), "old");
  platform::FileHandle file = platform::open_append_file(Path("log.LOG").c_str(), true, nullptr);
  ASSERT_NE(platform::kNoFile, file);
  platform::append_file(file, "log", 3);
  EXPECT_TRUE(platform::replace_file(Path("log.LOG").c_str(), Path("log.LO_").c_str()));
  EXPECT_FALSE(platform::same_file(file, Path("log.LOG").c_str()));
  platform::close_file(file);
  EXPECT_EQ("log", Contents("log.LO_"));
  EXPECT_EQ("<missing>", Contents("log.LOG"));
  EXPECT_FALSE(platform::replace_file(Path("log.LOG").c_str(), Path("log.LO_").c_str()));
}

}  // namespace
