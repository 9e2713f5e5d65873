// The POSIX version reader: it serves the program's compiled-in record for the program's own file only.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/system.h"
#include "platform/version.h"

namespace platform {
// This executable's own record.
const VersionRecord kProgramVersion = {{3, 1, 4, 1}, "3, 1, 4, 1", true, "(C) test", true};
}  // namespace platform

namespace {

std::string SelfPath() {
  char path[4096];
  return std::string(path, platform::module_path(path, sizeof path));
}

TEST(ReadVersionRecord, ServedForTheProgramsOwnFileOnly) {
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
      {name + ".exe.exe", false}, {name + "x", false}, {name.substr(1), false}, {"/bin/sh", false},
      {"", false},
  };
  for (const auto& c : cases) {
    platform::VersionRecord record{};
    EXPECT_EQ(platform::read_version_record(c.path.c_str(), &record), c.served) << c.path;
    if (!c.served) continue;
    EXPECT_EQ(record.file_version[2], 4) << c.path;
    EXPECT_STREQ(record.file_version_text, "3, 1, 4, 1") << c.path;
    EXPECT_STREQ(record.legal_copyright, "(C) test") << c.path;
  }
  EXPECT_FALSE(platform::read_version_record(nullptr, nullptr));
}

}  // namespace
