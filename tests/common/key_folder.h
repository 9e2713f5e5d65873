// A fixture for the key file tests: a folder of the test's own, and two temporary streams for the lines printed.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/files.h"

class KeyFolderTest : public ::testing::Test {
 protected:
  explicit KeyFolderTest(const char* prefix) : prefix_(prefix) {}
  void SetUp() override {
    // A folder of the test's own name: each test runs in a process of its own, side by side.
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = (std::filesystem::temp_directory_path() / (prefix_ + test)).string();
    std::filesystem::remove_all(dir_);
    ASSERT_TRUE(std::filesystem::create_directory(dir_));
    out_ = std::tmpfile();
    err_ = std::tmpfile();
    ASSERT_TRUE(out_ != nullptr && err_ != nullptr);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string Path(const char* name) const { return dir_ + platform::kPathSeparator + name; }

  std::string prefix_;
  std::string dir_;
  FILE* out_ = nullptr;
  FILE* err_ = nullptr;
};
