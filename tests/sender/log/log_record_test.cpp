// Tests of log record formatting: prefixes, indentation, stamps, overflow, date-time texts.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/time.h"
#include "sender/log/log.h"
#include "tests/sender/log/log_test_support.h"

namespace {

// The date-time texts of this machine: the short date of its locale, a blank and the time
// (with ".mmm"), as patterns of their widths; and the indentation under each.
std::string DateTimePattern(bool with_ms) {
  const std::size_t width = std::strlen(with_ms ? format_date_time_ms(nullptr, 0) : format_date_time(nullptr, 0));
  const std::string time = with_ms ? " \\d{2}:\\d{2}:\\d{2}\\.\\d{3}" : " \\d{2}:\\d{2}:\\d{2}";
  return "[^\\r\\n]{" + std::to_string(width - (with_ms ? 13 : 9)) + "}" + time;
}
int Indentation(bool with_ms) {
  const int width = static_cast<int>(std::strlen(with_ms ? format_date_time_ms(nullptr, 0) : format_date_time(nullptr, 0)));
  return width >= 24 ? 21 : width + 2;
}

// log_format_record with a buffer of `size` bytes; the record as a string.
std::string Format(int size, const char* format, ...) {
  std::vector<char> buffer(static_cast<std::size_t>(size), '#');
  va_list args;
  va_start(args, format);
  int n = log_format_record(buffer.data(), size, format, args);
  va_end(args);
  EXPECT_GE(n, 2);
  EXPECT_LT(n, size) << "the record must leave room for its terminator";
  EXPECT_EQ(buffer[static_cast<std::size_t>(n)], '\0');
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string Spaces(int count) { return std::string(static_cast<std::size_t>(count), ' '); }

// One step of a record sequence: mode, format (no arguments), the expected record as a
// regular expression (the separator included).
struct Step {
  int mode;
  const char* format;
  std::string expected;
};

struct SequenceCase {
  const char* name;
  std::vector<Step> steps;
};

TEST_F(LogTest, SequencesLineUpUnderTheTimePrefix) {
  const std::string d = DateTimePattern(false), dms = DateTimePattern(true);
  const std::string indent = Spaces(Indentation(false)), indent_ms = Spaces(Indentation(true));
  const std::vector<SequenceCase> cases = {
      {"time prefix keeps colon and space, leaves the line open",
       {{0, "%T: x=5", "\r\n" + d + ": x=5"}, {0, "next\n", "\r\nnext\n"}}},
      {"closed line after a time prefix: indented under it",
       {{0, "%T: a\n", "\r\n" + d + ": a\n"}, {0, "next\n", "\r\n" + indent + "next\n"},
        {0, "again\n", "\r\n" + indent + "again\n"}}},
      {"no indentation before the first time prefix",
       {{0, "next\n", "\r\nnext\n"}, {0, "more\n", "\r\nmore\n"}}},
      {"milliseconds: a wider prefix, a deeper indentation",
       {{0x80, "%T: a\n", "\r\n" + dms + ": a\n"}, {0x80, "next\n", "\r\n" + indent_ms + "next\n"}}},
      {"width follows the last prefix",
       {{0x80, "%T: a\n", "\r\n" + dms + ": a\n"}, {0, "%T: b\n", "\r\n" + d + ": b\n"},
        {0, "next\n", "\r\n" + indent + "next\n"}}},
      {"empty format is the separator alone and closes the line",
       {{0, "%T: open", "\r\n" + d + ": open"}, {0, "", "\r\n"}, {0, "next\n", "\r\n" + indent + "next\n"}}},
      {"stamped records set no time prefix seen and close the line",
       {{1, "%T: open", "\r\nopen \\$\\$<.*\n"}, {0, "next\n", "\r\nnext\n"}}},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    log_reset();
    for (const Step& step : c.steps) {
      log_set_record_mode(step.mode, nullptr);
      std::string record = Format(1024, step.format);
      EXPECT_TRUE(std::regex_match(record, std::regex(step.expected)))
          << "format \"" << step.format << "\" gave \"" << record << "\"";
    }
  }
}

// The zone names the stamp chooses between, as narrow text.
std::string ZoneNames() {
  platform::TimeZoneNames names{};
  platform::time_zone_names(&names);
  std::string standard, daylight;
  for (const wchar_t* c = names.standard_name; *c != 0; ++c) standard += static_cast<char>(*c);
  for (const wchar_t* c = names.daylight_name; *c != 0; ++c) daylight += static_cast<char>(*c);
  return standard + "|" + daylight;
}

TEST_F(LogTest, StampedStyleDropsTheTimeMarkAndLineEnds) {
  struct Case {
    const char* format;
    const char* message;  // what stands between the separator and " $$<"
  };
  const Case cases[] = {
      {"%T: hello\n", "hello"}, {"%T hello", "hello"},      {"%Thello", "hello"},
      {"%T:: hello", ": hello"}, {"hello\r\n\r\n", "hello"}, {"", ""},
      {"\r\n\n", ""},            {"a\rb\n", "a\rb"},
  };
  log_set_record_mode(1, "NET");
  const std::string zones = ZoneNames();
  for (const Case& c : cases) {
    std::string record = Format(1024, c.format);
    std::smatch m;
    // The day has two digits, as every other field of the time stamp.
    std::regex stamp(
        "\r\n([^]*) \\$\\$<NET><(\\w{3} \\w{3} \\d{2} \\d{2}:\\d{2}:\\d{2})\\.(\\d{3}) (\\d{4}) ([^>]*)>"
        "<thread=(\\d+) \\(0x([0-9A-F]+)\\)>\n");
    ASSERT_TRUE(std::regex_match(record, m, stamp)) << "format \"" << c.format << "\" gave \"" << record << "\"";
    EXPECT_EQ(m[1].str(), c.message) << c.format;
    EXPECT_NE(("|" + zones + "|").find("|" + m[5].str() + "|"), std::string::npos) << m[5].str() << " in " << zones;
    EXPECT_EQ(std::stoul(m[6].str()), std::stoul(m[7].str(), nullptr, 16)) << "decimal and hex thread ids differ";
  }
}

TEST_F(LogTest, StampShowsTheDaylightNameWhileDaylightSavingIsInForce) {
  // A zone that is in daylight saving all year round (the rule spans the whole year).
  static char tz[] = "TZ=AAA-1BBB,J1/0,J365/25";
  putenv(tz);
  log_set_record_mode(1, nullptr);
  std::string record = Format(1024, "x");
  static char utc[] = "TZ=UTC0";
  putenv(utc);
  EXPECT_NE(record.find(" BBB><thread="), std::string::npos) << record;
  EXPECT_NE(record.find(" $$<><"), std::string::npos) << "empty prefix: " << record;
}

TEST_F(LogTest, RecordPrefixIsCutTo79Characters) {
  std::string long_prefix(100, 'p');
  log_set_record_mode(1, long_prefix.c_str());
  std::string record = Format(1024, "m");
  EXPECT_NE(record.find("$$<" + std::string(79, 'p') + "><"), std::string::npos) << record;
  log_set_record_mode(1, nullptr);
  EXPECT_NE(Format(1024, "m").find("$$<><"), std::string::npos) << "the prefix is cleared";
}

TEST_F(LogTest, OversizedRecordsAreCutWithThreeDots) {
  struct Case {
    int mode;
    int size;
    int message_length;  // beyond the room for the message: separator and indentation
    bool cut;
  };
  // In the time-prefix style the room for the message is size - 2 - the indentation. An
  // output that fills the room completely would leave no terminator, so it is cut as well.
  const int room = 64 - 2 - Indentation(false), large_room = 1024 - 2 - Indentation(false);
  const Case cases[] = {
      {0, 64, room - 1, false},          {0, 64, room, true}, {0, 64, 500, true},
      {0, 1024, large_room - 1, false}, {0, 1024, large_room, true},
      {1, 64, 500, true},                {1, 64, 30, true},  // the stamp overflows
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " size " << c.size << " length " << c.message_length);
    log_reset();
    Format(1024, "%T: a\n");  // a time prefix has been seen
    log_set_record_mode(c.mode, nullptr);
    std::string message(static_cast<std::size_t>(c.message_length), 'm');
    std::string record = Format(c.size, "%s", message.c_str());
    log_set_record_mode(0, nullptr);
    std::string next = Format(1024, "x");
    if (c.cut) {
      EXPECT_EQ(record.size(), static_cast<std::size_t>(c.size - 1));
      EXPECT_EQ(record.substr(record.size() - 5), "...\r\n");
      EXPECT_EQ(next, "\r\n" + Spaces(Indentation(false)) + "x") << "a cut record closes its line";
    } else {
      EXPECT_EQ(record, "\r\n" + Spaces(Indentation(false)) + message);
      EXPECT_EQ(next, "\r\nx") << "the line stays open";
    }
  }
}

TEST_F(LogTest, CutRecordWithAnEmbeddedTerminatorEndsThere) {
  std::string tail(100, 't');
  std::string record = Format(64, "ab%cd%s", 0, tail.c_str());
  EXPECT_EQ(record, std::string("\r\nab"));
}

// 2005-07-04 10:15:02.381 UTC as a count of 100-ns intervals since 1601.
const std::uint64_t kFileTime = (1120472102ULL + 11644473600ULL) * 10000000ULL + 3810000ULL;

// The short date of 2005-07-04 in this machine's format.
std::string ShortDate() {
  platform::SystemTime day{2005, 7, 1, 4, 0, 0, 0, 0};
  char date[64];
  EXPECT_GT(platform::short_date(day, date, sizeof date), 0);
  return date;
}

TEST_F(LogTest, DateTimeTextsOfAGivenFileTime) {
  char buffer[40];
  EXPECT_EQ(format_date_time(buffer, kFileTime), ShortDate() + " 10:15:02");
  EXPECT_EQ(format_date_time_ms(buffer, kFileTime), ShortDate() + " 10:15:02.381");
  EXPECT_EQ(format_date_time(buffer, kFileTime), buffer);
}

TEST_F(LogTest, StaticDateTimeBuffersAlternatePerFormatter) {
  char* plain[3];
  char* with_ms[3];
  for (int i = 0; i < 3; ++i) {
    plain[i] = format_date_time(nullptr, 0);
    with_ms[i] = format_date_time_ms(nullptr, kFileTime);
  }
  EXPECT_NE(plain[0], plain[1]);
  EXPECT_EQ(plain[0], plain[2]);
  EXPECT_NE(with_ms[0], with_ms[1]);
  EXPECT_EQ(with_ms[0], with_ms[2]);
  for (char* p : plain) {
    EXPECT_NE(p, with_ms[0]);
    EXPECT_NE(p, with_ms[1]);
  }
  // Two results of one expression stay valid together.
  char* a = format_date_time(nullptr, kFileTime);
  char* b = format_date_time(nullptr, kFileTime + 10000000ULL);
  EXPECT_EQ(a, ShortDate() + " 10:15:02");
  EXPECT_EQ(b, ShortDate() + " 10:15:03");
}

}  // namespace
