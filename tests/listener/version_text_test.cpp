// The version text of pilvorne's version line: the rewrite and the read from its own file.
#include <gtest/gtest.h>

#include <cstring>

#include "listener/listener.h"
#include "platform/system.h"

namespace {

TEST(RewriteVersionText, DropsBlanksMakesCommasFullStopsKeeps19) {
  const struct {
    const char* value;
    const char* text;
  } cases[] = {
      {"1, 0, 1, 2", "1.0.1.2"},
      {"2. 0. 0. 4", "2.0.0.4"},
      {"", ""},
      {" , ", "."},
      {"12345678901234567890123", "1234567890123456789"},
      {"1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0", "1234567890123456789"},
  };
  for (const auto& c : cases) {
    char text[listener::kVersionTextSize];
    std::memset(text, 'Z', sizeof text);
    listener::RewriteVersionText(c.value, text);
    EXPECT_STREQ(text, c.text) << c.value;
  }
}

TEST(ReadVersionText, OwnFileGivesItsFileVersionOtherFilesLeaveTheText) {
  char path[260];
  ASSERT_NE(platform::module_path(path, sizeof path), 0u);
  const struct {
    const char* path;
    const char* text;
  } cases[] = {{path, "1.0.1.2"}, {"/", "??"}, {"other.exe", "??"}, {"", "??"}};
  for (const auto& c : cases) {
    char text[listener::kVersionTextSize] = "??";
    listener::ReadVersionText(c.path, text);
    EXPECT_STREQ(text, c.text) << c.path;
  }
}

}  // namespace
