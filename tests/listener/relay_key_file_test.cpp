// pilvorne -NewKey and the key file reader: a new key reads back, an existing file is kept, each bad file gets its one line.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "listener/relay_key_file.h"
#include "platform/files.h"
#include "platform/private_file.h"
#include "tests/listener/stream_text.h"

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class RelayKeyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> made{0};
    dir_ = (std::filesystem::temp_directory_path() / ("tidewake_keys_" + std::to_string(made++))).string();
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

  std::string dir_;
  FILE* out_ = nullptr;
  FILE* err_ = nullptr;
};

TEST_F(RelayKeyFile, ANewKeyReadsBackAndAnExistingFileIsNeverOverwritten) {
  const std::string path = Path("relay.key");
  ASSERT_EQ(0, listener::WriteNewRelayKey(path.c_str(), out_, err_));
  const std::string said = StreamText(out_);
  const std::string text = FileText(path);
  EXPECT_EQ(wake::kRelayKeyLineLength, text.size());
  // "New relay key <identifier> written to <path>": the identifier of the file's key.
  ASSERT_EQ(0u, said.find("New relay key "));
  EXPECT_EQ(text.substr(22, 16), said.substr(14, 16));
  EXPECT_EQ(" written to " + path + "\n", said.substr(30));

  wake::RelayKeyRing ring;
  EXPECT_TRUE(listener::LoadRelayKeys(path.c_str(), "pilvorne", &ring, err_));
  EXPECT_EQ(1, ring.count);
  EXPECT_EQ("", StreamText(err_));

  err_ = std::tmpfile();
  EXPECT_EQ(1, listener::WriteNewRelayKey(path.c_str(), stdout, err_));
  EXPECT_EQ("pilvorne: " + path + " exists already; a key file is never overwritten\n", StreamText(err_));
  EXPECT_EQ(text, FileText(path));

  // Each new key is another.
  const std::string second = Path("second.key");
  ASSERT_EQ(0, listener::WriteNewRelayKey(second.c_str(), out_ = std::tmpfile(), err_ = std::tmpfile()));
  EXPECT_NE(text.substr(22), FileText(second).substr(22));
}

TEST_F(RelayKeyFile, EachBadFileIsRefusedWithOneLine) {
  const std::string key = "tidewake-relay-key-v1 0123456789abcdef " + std::string(64, '0') + "\n";
  const struct {
    const char* name;
    std::string text;
    std::string line;  // after "pilvorne: <path>"
  } cases[] = {
      {"bad.key", "# mine\n" + key + "rubbish\n", " line 3 is not a key line (tidewake-relay-key-v1 ID KEY)\n"},
      {"empty.key", "# nothing yet\n", " holds no key\n"},
      {"twice.key", key + key, " line 2: a second key with the same identifier\n"},
      {"large.key", std::string(wake::kRelayKeyFileRoom + 1, '#'), ""},
  };
  for (const auto& c : cases) {
    const std::string path = Path(c.name);
    ASSERT_TRUE(platform::write_new_private_file(path.c_str(), c.text.data(), c.text.size()));
    FILE* err = std::tmpfile();
    wake::RelayKeyRing ring;
    EXPECT_FALSE(listener::LoadRelayKeys(path.c_str(), "pilvorne", &ring, err)) << c.name;
    EXPECT_EQ(0, ring.count) << c.name;
    const std::string said = StreamText(err);
    if (c.line.empty()) {
      EXPECT_EQ(0u, said.find("pilvorne: cannot read the key file " + path + ": ")) << said;
    } else {
      EXPECT_EQ("pilvorne: " + path + c.line, said);
    }
  }
  FILE* err = std::tmpfile();
  wake::RelayKeyRing ring;
  EXPECT_FALSE(listener::LoadRelayKeys(Path("missing.key").c_str(), "kestrava", &ring, err));
  EXPECT_EQ(0u, StreamText(err).find("kestrava: cannot read the key file " + Path("missing.key") + ": "));
}

}  // namespace
