// Tests of date-time prefixes whose short date is not ten characters (fake calendar).
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>

#include "sender/log/log.h"
#include "tests/fakes/fake_calendar.h"
#include "tests/sender/log/log_test_support.h"

namespace {

std::string Format(const char* format) {
  char buffer[1024];
  auto call = [&](const char* f, ...) {
    va_list args;
    va_start(args, f);
    int n = log_format_record(buffer, sizeof buffer, f, args);
    va_end(args);
    return n;
  };
  int n = call(format);
  return std::string(buffer, static_cast<std::size_t>(n));
}

TEST_F(LogTest, IndentationFollowsThePrefixWidth) {
  struct Case {
    const char* short_date;
    int mode;
    std::string prefix;  // the date-time text
    int indentation;
  };
  const Case cases[] = {
      {"2005-07-04", 0, "2005-07-04 10:15:02", 21},
      {"2005-07-04", 0x80, "2005-07-04 10:15:02.381", 25},
      {"7/4/05", 0, "7/4/05 10:15:02", 17},
      {"04.07.2005", 0x80, "04.07.2005 10:15:02.381", 25},
      {"Mo 04.07.2005", 0x80, "Mo 04.07.2005 10:15:02.381", 21},  // width 26: fixed 21
      {"Mon, 04.07.2005", 0, "Mon, 04.07.2005 10:15:02", 21},     // width 24: fixed 21
      {"Mon 04.07.2005", 0, "Mon 04.07.2005 10:15:02", 25},       // width 23
      // A short date longer than its 20-character field is left out.
      {"Monday, 4 July 2005 AD", 0, " 10:15:02", 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.short_date);
    log_reset();
    std::strcpy(fake_calendar::short_date, c.short_date);
    log_set_record_mode(c.mode, nullptr);
    EXPECT_EQ(Format("%T: a\n"), "\r\n" + c.prefix + ": a\n");
    EXPECT_EQ(Format("next\n"), "\r\n" + std::string(static_cast<std::size_t>(c.indentation), ' ') + "next\n");
  }
}

// The stamp's time of day: ctime's text with the day in two digits (the fake calendar says
// Monday, 4 July 2005, 10:15:02.381).
TEST_F(LogTest, StampWritesTheDayInTwoDigits) {
  log_set_record_mode(1, "NET");
  const std::string record = Format("x");
  EXPECT_NE(record.find("$$<NET><Mon Jul 04 10:15:02.381 2005 "), std::string::npos) << record;
}

TEST_F(LogTest, StaticBuffersHoldTheLongestText) {
  std::strcpy(fake_calendar::short_date, "1234567890123456789");  // 19: the most that fits
  char* text = format_date_time_ms(nullptr, 0);
  EXPECT_STREQ(text, "1234567890123456789 10:15:02.381");
  EXPECT_LT(std::strlen(text), 40u);
}

}  // namespace
