// Windows private files: a new one lets no one else in, and each access list is judged by who else it lets in.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <string>

#include "platform/private_file.h"
#include "platform/system.h"
#include "platform/win32/file_access.h"

namespace {

// The process's user: its SID in the caller's buffer, and as SDDL text.
struct User {
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  PSID sid = nullptr;
  std::string text;
};
void GetUser(User* user) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD needed = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user->buffer, sizeof user->buffer, &needed));
  CloseHandle(token);
  user->sid = reinterpret_cast<TOKEN_USER*>(user->buffer)->User.Sid;
  LPSTR text = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidA(user->sid, &text));
  user->text = text;
  LocalFree(text);
}

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

// The judgement itself, over security descriptors of every kind.
TEST(Win32FileAccess, OthersAreEveryTrusteeButTheOwnerSystemAndAdministrators) {
  User me_user;
  GetUser(&me_user);
  PSID user = me_user.sid;
  const std::string& me = me_user.text;
  const struct {
    const char* what;
    std::string sddl;
    bool mine, admin, read, write;
  } cases[] = {
      {"owner, SYSTEM and Administrators", "O:" + me + "D:P(A;;FA;;;" + me + ")(A;;FA;;;SY)(A;;FA;;;BA)",
       true, false, false, false},
      {"the owner rights trustee", "O:" + me + "D:P(A;;FA;;;OW)", true, false, false, false},
      {"Everyone may read", "O:" + me + "D:P(A;;FA;;;" + me + ")(A;;FR;;;WD)", true, false, true, false},
      {"Users may append", "O:" + me + "D:(A;;0x4;;;BU)", true, false, false, true},
      {"Users may change the access list", "O:" + me + "D:(A;;WD;;;BU)", true, false, false, true},
      {"Users may take the ownership", "O:" + me + "D:(A;;WO;;;BU)", true, false, false, true},
      {"Everyone may do everything", "O:" + me + "D:(A;;GA;;;WD)", true, false, true, true},
      {"an entry only for what a folder holds", "O:" + me + "D:(A;OIIO;FA;;;WD)", true, false, false, false},
      {"owned by Administrators", "O:BAD:(A;;FA;;;BA)", false, true, false, false},
      {"owned by Everyone", "O:WDD:(A;;FA;;;WD)", false, false, false, false},
  };
  for (const auto& c : cases) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(c.sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                     nullptr)) << c.what;
    platform::FileAccess access{};
    EXPECT_TRUE(platform::file_access_from_descriptor(descriptor, user, &access)) << c.what;
    LocalFree(descriptor);
    EXPECT_EQ(c.mine, access.owned_by_user) << c.what;
    EXPECT_EQ(c.admin, access.owned_by_administrator) << c.what;
    EXPECT_EQ(c.read, access.others_can_read) << c.what;
    EXPECT_EQ(c.write, access.others_can_write) << c.what;
  }
  // No access list at all: everyone may do everything.
  SECURITY_DESCRIPTOR open{};
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorOwner(&open, user, FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  platform::FileAccess access{};
  EXPECT_TRUE(platform::file_access_from_descriptor(&open, user, &access));
  EXPECT_TRUE(access.owned_by_user && access.others_can_read && access.others_can_write);
}

}  // namespace
