// Helpers of the log tests: a fresh log state per test, temporary folders, files, standard output.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/files.h"
#include "sender/log/log.h"
#include "sender/log/log_state.h"

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> made{0};
    const std::string name = "tidewake_log_" + std::to_string(getpid()) + "_" + std::to_string(made++);
    path_ = (std::filesystem::temp_directory_path() / name).string();
    std::filesystem::remove_all(path_);
    EXPECT_TRUE(std::filesystem::create_directory(path_));
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const {
    return path_ + platform::kPathSeparator + name;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

// A file's text as the programs wrote it: read in text mode, so that the "\r\n" a Windows
// text file holds for each "\n" reads back as "\n".
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::uint64_t FileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

// Appends bytes as they are.
inline void Append(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << bytes;
}

// Every log test starts with the state of a new process and leaves none behind.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log_state.services = kPlatformLogServices;
    log_reset();
  }
  void TearDown() override {
    log_reset();
    g_log_state.services = kPlatformLogServices;
  }
};
