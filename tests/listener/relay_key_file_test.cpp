// pilvorne -NewKey: a new key reads back, an existing file is kept, each new key is another.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/relay_key_file.h"
#include "listener/relay_key_file.h"
#include "platform/files.h"
#include "platform/private_file.h"
#include "tests/common/key_folder.h"
#include "tests/common/stream_text.h"

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class RelayKeyFile : public KeyFolderTest {
 protected:
  RelayKeyFile() : KeyFolderTest("tidewake_newkey_") {}
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
  EXPECT_TRUE(wake::LoadRelayKeys(path.c_str(), "pilvorne", &ring, err_));
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

}  // namespace
