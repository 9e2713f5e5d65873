// Windows system texts through FormatMessageA: SystemErrorText's one line, the module path.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/system.h"
#include "sender/error_text.h"

namespace {

// The system's own text for a code, line ends removed, as the one-line text must read.
std::string ExpectedLine(unsigned long code) {
  char* raw = platform::system_message_alloc(code);
  if (raw == nullptr) return std::string();
  std::string text(raw);
  platform::free_system_message(raw);
  EXPECT_FALSE(text.empty());
  EXPECT_NE('\n', text.back()) << "the platform gives the text without FormatMessage's line end";
  std::string line;
  for (char c : text) {
    if (c != '\r' && c != '\n') line += c;
  }
  return line;
}

struct KnownCode {
  unsigned long code;
  const char* name;
};

class SystemErrorTextKnown : public ::testing::TestWithParam<KnownCode> {};

TEST_P(SystemErrorTextKnown, GivesTheSystemTextOnOneLine) {
  const unsigned long code = GetParam().code;
  const std::string expected = ExpectedLine(code);
  ASSERT_FALSE(expected.empty()) << GetParam().name << " has a system text";
  const char* text = SystemErrorText(static_cast<std::uint32_t>(code));
  EXPECT_EQ(expected, text);
  EXPECT_EQ(nullptr, std::strchr(text, '\r'));
  EXPECT_EQ(nullptr, std::strchr(text, '\n'));
}

INSTANTIATE_TEST_SUITE_P(Win32, SystemErrorTextKnown,
                         ::testing::Values(KnownCode{ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
                                           KnownCode{ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
                                           KnownCode{ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
                                           KnownCode{ERROR_ALREADY_EXISTS, "ERROR_ALREADY_EXISTS"},
                                           KnownCode{ERROR_BAD_EXE_FORMAT, "ERROR_BAD_EXE_FORMAT"}));

TEST(Win32SystemErrorText, InsertMarkersStayAsWritten) {
  // The text of ERROR_BAD_EXE_FORMAT names the program through the insert %1.
  EXPECT_NE(nullptr, std::strstr(SystemErrorText(ERROR_BAD_EXE_FORMAT), "%1"));
}

TEST(Win32SystemErrorText, CodesWithoutTextGiveTheFallback) {
  EXPECT_STREQ("Error 0x20000001", SystemErrorText(0x20000001u));
  EXPECT_EQ(nullptr, platform::system_message_alloc(0x20000001u));
}

TEST(Win32SystemErrorText, ZeroStandsForTheLastError) {
  const std::string expected = ExpectedLine(ERROR_ACCESS_DENIED);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(expected, SystemErrorText(0));
}

TEST(Win32ModulePath, NamesThisProgramAndCutsToTheRoom) {
  char path[MAX_PATH];
  unsigned long n = platform::module_path(path, sizeof path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::strlen(path), n);
  const std::string name = "win32_system_test.exe";
  ASSERT_GT(n, name.size());
  EXPECT_EQ(0, _stricmp(path + n - name.size(), name.c_str())) << path;

  char small[6];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(5u, platform::module_path(small, sizeof small));
  EXPECT_EQ('\0', small[5]);
  EXPECT_EQ(0, std::strncmp(small, path, 5));
}

}  // namespace
