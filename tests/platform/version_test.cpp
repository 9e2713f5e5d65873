// The version resource reader: which files it serves, and the value queries on its block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/version.h"

namespace platform {
namespace {
const VersionString kTestStrings[] = {{"FileVersion", "3, 1, 4, 1"}, {"LegalCopyright", "(C) test"}};
}  // namespace
// This executable's own record; its key "040904e4" needs lower-case hexadecimal.
const VersionResource kProgramVersion = {0x0409, 0x04E4, {3, 1, 4, 1}, {3, 1, 0, 0}, kTestStrings, 2};
}  // namespace platform

namespace {

std::string SelfPath() {
  char path[4096];
  return std::string(path, platform::module_path(path, sizeof path));
}

TEST(FileVersionInfo, ServedForTheProgramsOwnFileOnly) {
  std::string self = SelfPath();
  std::string name = self.substr(self.rfind('/') + 1);
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  const struct {
    std::string path;
    bool served;
  } cases[] = {
      {self, true}, {"/proc/self/exe", true}, {self.substr(0, self.rfind('/')) + "/./" + name, true},
      {upper, true}, {name + ".exe", true}, {upper + ".EXE", true},
      {name + ".exe.exe", false}, {name + "x", false}, {"/bin/sh", false}, {"", false},
  };
  for (const auto& c : cases) {
    unsigned long size = platform::file_version_info_size(c.path.c_str(), nullptr);
    EXPECT_EQ(size != 0, c.served) << c.path;
    std::vector<unsigned char> block(size + 1);
    EXPECT_EQ(platform::file_version_info(c.path.c_str(), 0, size, block.data()), c.served) << c.path;
    // A block one byte short is refused rather than overrun.
    if (c.served) {
      EXPECT_FALSE(platform::file_version_info(c.path.c_str(), 0, size - 1, block.data()));
    }
  }
}

TEST(VersionQueryValue, KeysIgnoreCaseAndValuesPointIntoTheBlock) {
  std::string self = SelfPath();
  std::vector<unsigned char> block(platform::file_version_info_size(self.c_str(), nullptr));
  ASSERT_TRUE(platform::file_version_info(self.c_str(), 0, block.size(), block.data()));
  const void* value = nullptr;
  unsigned length = 0;
  ASSERT_TRUE(platform::version_query_value(block.data(), "\\", &value, &length));
  const auto* fixed = static_cast<const platform::FixedFileInfo*>(value);
  EXPECT_EQ(fixed->signature, platform::kFixedFileInfoSignature);
  EXPECT_EQ(fixed->file_version_ms, 0x00030001u);
  EXPECT_EQ(fixed->file_version_ls, 0x00040001u);
  ASSERT_TRUE(platform::version_query_value(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  std::uint16_t pair[2];
  std::memcpy(pair, value, sizeof pair);
  EXPECT_EQ(pair[0], 0x0409);
  EXPECT_EQ(pair[1], 0x04E4);

  const struct {
    const char* key;
    const char* text;   // nullptr: not found
  } cases[] = {
      {"\\StringFileInfo\\040904e4\\FileVersion", "3, 1, 4, 1"},
      {"\\stringfileinfo\\040904E4\\LegalCopyRight", "(C) test"},
      {"\\StringFileInfo\\080904b0\\FileVersion", nullptr},
      {"\\StringFileInfo\\040904e4\\FileVersio", nullptr},
      {"\\StringFileInfo\\040904e4", nullptr},
      {"\\StringFileInfo\\040904e4\\FileVersion\\More", nullptr},
      {"\\VarFileInfo\\Translation\\More", nullptr},
  };
  for (const auto& c : cases) {
    bool found = platform::version_query_value(block.data(), c.key, &value, &length);
    ASSERT_EQ(found, c.text != nullptr) << c.key;
    if (!found) continue;
    EXPECT_STREQ(static_cast<const char*>(value), c.text) << c.key;
    EXPECT_EQ(length, std::strlen(c.text) + 1) << c.key;
    EXPECT_TRUE(value >= block.data() && static_cast<const unsigned char*>(value) + length <=
                                             block.data() + block.size()) << c.key;
  }
}

}  // namespace
