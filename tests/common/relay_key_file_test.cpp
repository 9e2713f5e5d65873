// The key file reader of both programs: each bad file is refused with its one line, naming the program.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/relay_key_file.h"
#include "platform/files.h"
#include "platform/private_file.h"
#include "tests/common/key_folder.h"
#include "tests/common/stream_text.h"

namespace {

class RelayKeyFileRead : public KeyFolderTest {
 protected:
  RelayKeyFileRead() : KeyFolderTest("tidewake_keyload_") {}
};

TEST_F(RelayKeyFileRead, EachBadFileIsRefusedWithOneLine) {
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
    EXPECT_FALSE(wake::LoadRelayKeys(path.c_str(), "pilvorne", &ring, err)) << c.name;
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
  EXPECT_FALSE(wake::LoadRelayKeys(Path("missing.key").c_str(), "kestrava", &ring, err));
  EXPECT_EQ(0u, StreamText(err).find("kestrava: cannot read the key file " + Path("missing.key") + ": "));
}

}  // namespace
