// Windows log stamp: the wide zone name from GetTimeZoneInformation reaches the record as narrow text.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "platform/process.h"
#include "sender/log/log.h"

namespace {

std::string FormatRecord(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int n = log_format_record(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) out += static_cast<char>(*text);
  return out;
}

TEST(Win32LogStamp, CarriesTheZoneNameAndTheThread) {
  platform::TimeZoneNames names{};
  ASSERT_TRUE(platform::time_zone_names(&names));
  const std::string standard = Narrow(names.standard_name);
  const std::string daylight = Narrow(names.daylight_name);
  ASSERT_FALSE(standard.empty());

  log_set_record_mode(1, "NET");
  const std::string record = FormatRecord("Resolving %s\n", "host");
  log_set_record_mode(0, nullptr);

  ASSERT_EQ(0u, record.find("\r\nResolving host $$<NET><")) << record;
  // A narrow "%s" reading of the wide name would stop after its first character.
  const bool has_zone = record.find(" " + standard + ">") != std::string::npos ||
                        (!daylight.empty() && record.find(" " + daylight + ">") != std::string::npos);
  EXPECT_TRUE(has_zone) << record << " lacks \"" << standard << "\" / \"" << daylight << "\"";
  const std::string thread = "<thread=" + std::to_string(platform::current_thread_id()) + " (0x";
  EXPECT_NE(std::string::npos, record.find(thread)) << record;
  EXPECT_EQ('\n', record.back());
}

}  // namespace
