// The key file's permissions on POSIX: a file that others may read or write, or another user's, is refused with ssh's kind of line.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/relay_key_file.h"
#include "platform/private_file.h"
#include "tests/common/stream_text.h"

namespace {

class RelayKeyPermissions : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tidewake_key_modes_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
    path_ = dir_ + "/relay.key";
    const std::string key = "tidewake-relay-key-v1 0123456789abcdef " + std::string(64, '1') + "\n";
    ASSERT_TRUE(platform::write_new_private_file(path_.c_str(), key.data(), key.size()));
  }
  void TearDown() override {
    unlink(path_.c_str());
    rmdir(dir_.c_str());
  }

  // Whether the file loads, and what was said.
  bool Load(std::string* said) const {
    FILE* err = std::tmpfile();
    wake::RelayKeyRing ring;
    const bool loaded = wake::LoadRelayKeys(path_.c_str(), "pilvorne", &ring, err);
    *said = StreamText(err);
    return loaded;
  }

  std::string dir_;
  std::string path_;
};

TEST_F(RelayKeyPermissions, ANewKeyFileIsTheOwnersAlone) {
  struct stat info {};
  ASSERT_EQ(0, stat(path_.c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 07777);
}

TEST_F(RelayKeyPermissions, GroupOrOtherBitsRefuseTheFile) {
  const struct {
    mode_t mode;
    const char* how;  // nullptr: taken
  } cases[] = {
      {0600, nullptr},    {0400, nullptr},    {0700, nullptr},
      {0640, "readable"}, {0604, "readable"}, {0620, "writable"},
      {0602, "writable"}, {0660, "readable and writable"}, {0666, "readable and writable"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(0, chmod(path_.c_str(), c.mode));
    std::string said;
    const bool loaded = Load(&said);
    EXPECT_EQ(c.how == nullptr, loaded) << std::oct << c.mode;
    const std::string expected = c.how == nullptr ? std::string()
        : "pilvorne: " + path_ + " is " + c.how + " by others; chmod 600 " + path_ + "\n";
    EXPECT_EQ(expected, said) << std::oct << c.mode;
  }
}

TEST_F(RelayKeyPermissions, AnotherUsersFileIsRefusedEvenWhenPrivate) {
  if (geteuid() != 0) GTEST_SKIP() << "giving the file to another user needs root";
  ASSERT_EQ(0, chown(path_.c_str(), 65534, 65534));
  std::string said;
  EXPECT_FALSE(Load(&said));
  EXPECT_EQ("pilvorne: " + path_ + " belongs to another user; a key file must be your own\n", said);
}

}  // namespace
