// Windows private files: a new one's access list holds no one else, and each access list is judged by who else it lets in.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <string>

#include "platform/private_file.h"
#include "platform/system.h"

namespace {

class Win32PrivateFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
    char name[64];
    std::snprintf(name, sizeof name, "tidewake_private_%lu.key", GetCurrentProcessId());
    path_ = std::string(temp) + name;
    DeleteFileA(path_.c_str());
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }

  // Replaces the file's access list with one that lets the user in and then what the SDDL
  // text `entries` describes.
  void SetAccessList(const char* entries) const {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD needed = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &needed));
    CloseHandle(token);
    LPSTR user = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &user));
    const std::string sddl = std::string(entries).find("NO_ACCESS") != std::string::npos
                                 ? std::string(entries)
                                 : "D:P(A;;FA;;;" + std::string(user) + ")" + entries;
    LocalFree(user);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_TRUE(SetFileSecurityA(path_.c_str(), DACL_SECURITY_INFORMATION, descriptor));
    LocalFree(descriptor);
  }

  platform::FileAccess Read() const {
    char buffer[64];
    std::size_t length = 0;
    platform::FileAccess access{};
    EXPECT_TRUE(platform::read_private_file(path_.c_str(), buffer, sizeof buffer, &length, &access));
    EXPECT_EQ(4u, length);
    return access;
  }

  std::string path_;
};

TEST_F(Win32PrivateFile, ANewFileIsTheOwnersAndNeverOverwritten) {
  ASSERT_TRUE(platform::write_new_private_file(path_.c_str(), "key\n", 4));
  const platform::FileAccess access = Read();
  EXPECT_TRUE(access.owned_by_user || access.owned_by_administrator);
  EXPECT_FALSE(access.others_can_read);
  EXPECT_FALSE(access.others_can_write);
  EXPECT_FALSE(platform::write_new_private_file(path_.c_str(), "new\n", 4));
  EXPECT_EQ(platform::kErrorAlreadyExists, platform::last_error());
}

TEST_F(Win32PrivateFile, OthersAreEveryTrusteeButTheOwnerSystemAndAdministrators) {
  ASSERT_TRUE(platform::write_new_private_file(path_.c_str(), "key\n", 4));
  const struct {
    const char* what;
    const char* sddl;
    bool read;
    bool write;
  } cases[] = {
      {"SYSTEM and Administrators", "(A;;FA;;;SY)(A;;FA;;;BA)", false, false},
      {"Everyone may read", "(A;;FR;;;WD)", true, false},
      {"Users may append", "(A;;0x4;;;BU)", false, true},
      {"Users may change the access list", "(A;;WD;;;BU)", false, true},
      {"Everyone may do everything", "(A;;GA;;;WD)", true, true},
      {"only for what a folder would hold", "(A;OIIO;FA;;;WD)", false, false},
      {"no access list at all", "D:NO_ACCESS_CONTROL", true, true},
  };
  for (const auto& c : cases) {
    SetAccessList(c.sddl);
    const platform::FileAccess access = Read();
    EXPECT_EQ(c.read, access.others_can_read) << c.what;
    EXPECT_EQ(c.write, access.others_can_write) << c.what;
  }
}

}  // namespace
