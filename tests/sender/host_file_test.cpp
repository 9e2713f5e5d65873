// Tests of hosts files: fields, comments, MAC forms, bad lines with their numbers, files that are refused.
#include "sender/host_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Parsed {
  std::vector<WakeTarget> hosts;
  std::vector<std::string> bad;  // "line: reason: field"
};

Parsed ParseText(const std::string& text, int room = 8) {
  static std::vector<char> buffer;  // the targets refer into it
  buffer.assign(text.begin(), text.end());
  buffer.push_back('\0');
  Parsed parsed;
  std::vector<WakeTarget> hosts(static_cast<std::size_t>(room) + 1);
  const int count = ParseHostText(
      buffer.data(), hosts.data(), room,
      [](void* context, int line, const char* reason, const char* field) {
        static_cast<Parsed*>(context)->bad.push_back(std::to_string(line) + ": " + reason + ": " + field);
      },
      &parsed);
  parsed.hosts.assign(hosts.begin(), hosts.begin() + count);
  return parsed;
}

std::string Mac(const WakeTarget& t) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", t.mac[0], t.mac[1], t.mac[2], t.mac[3],
                t.mac[4], t.mac[5]);
  return text;
}

TEST(ParseHostText, FieldsCommentsAndBlankLines) {
  const Parsed p = ParseText(
      "# the lab's hosts\r\n"
      "\n"
      "02:00:00:00:00:20 192.0.2.20 nas   # the file server\r\n"
      "   02-00-00-00-00-21\tprinter\n"
      "2:0:0:0:0:22 198.51.100.22\n"
      "02:00:00:00:00:23 ff02::1%lan0 all\n"
      "\t  \n"
      "02:00:00:00:00:24");  // the last line without its line end
  ASSERT_EQ(p.bad, std::vector<std::string>{});
  ASSERT_EQ(p.hosts.size(), 5u);
  const struct {
    const char* mac;
    AddressFamily family;
    const char* name;
    int line;
  } expected[] = {
      {"02:00:00:00:00:20", AddressFamily::kIpv4, "nas", 3},
      {"02:00:00:00:00:21", AddressFamily::kNone, "printer", 4},
      {"02:00:00:00:00:22", AddressFamily::kIpv4, nullptr, 5},
      {"02:00:00:00:00:23", AddressFamily::kIpv6, "all", 6},
      {"02:00:00:00:00:24", AddressFamily::kNone, nullptr, 8},
  };
  for (std::size_t i = 0; i < 5; ++i) {
    const WakeTarget& t = p.hosts[i];
    EXPECT_EQ(Mac(t), expected[i].mac) << i;
    EXPECT_EQ(t.address.family, expected[i].family) << i;
    EXPECT_EQ(t.line, expected[i].line) << i;
    if (expected[i].name == nullptr) {
      EXPECT_EQ(t.name, nullptr) << i;
    } else {
      ASSERT_NE(t.name, nullptr) << i;
      EXPECT_STREQ(t.name, expected[i].name);
    }
  }
  EXPECT_EQ(p.hosts[0].address.ipv4, htonl(0xC0000214));
  EXPECT_STREQ(p.hosts[3].address.scope, "lan0");
}

TEST(ParseHostText, BadLinesAreReportedWithTheirNumbersAndTheRestRead) {
  const Parsed p = ParseText(
      "02:00:00:00:00:20 192.0.2.20\n"
      "02:00:00:00:zz:21 192.0.2.21\n"     // 2: bad MAC
      "02:00:00:00:00:22 192.0.2.300\n"    // 3: meant as an address, not one
      "02:00:00:00:00:23 fe80::1%\n"       // 4: an empty scope
      "020000000024\n"                     // 5: no separators
      "02:00:00:00:00:25 192.0.2.25 nas extra\n"  // 6: a field too many
      "02:00:00:00:00:26 nas extra\n"             // 7: as well
      "# 02:00:00:00:00:27 is away\n"
      "02:00:00:00:00:28 198.51.100.28 printer\n");
  EXPECT_EQ(p.bad, (std::vector<std::string>{
                       "2: not a MAC address: 02:00:00:00:zz:21",
                       "3: not an IPv4 or IPv6 address: 192.0.2.300",
                       "4: not an IPv4 or IPv6 address: fe80::1%",
                       "5: not a MAC address: 020000000024",
                       "6: a field after the name: extra",
                       "7: a field after the name: extra",
                   }));
  ASSERT_EQ(p.hosts.size(), 2u);
  EXPECT_EQ(p.hosts[0].line, 1);
  EXPECT_EQ(p.hosts[1].line, 9);
}

TEST(ParseHostText, HostsBeyondTheRoomAreBadLines) {
  const Parsed p = ParseText("1:2:3:4:5:6\n1:2:3:4:5:7\n1:2:3:4:5:8\n", 2);
  EXPECT_EQ(p.hosts.size(), 2u);
  EXPECT_EQ(p.bad, std::vector<std::string>{"3: beyond the 1000 hosts a file may name: 1:2:3:4:5:8"});
}

class HostFileOnDisk : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }
  void Write(const std::string& bytes) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::string path_ = ::testing::TempDir() + "tidewake_hosts_test.txt";
};

TEST_F(HostFileOnDisk, ReadWholeOrRefusedWithAReason) {
  const char* reason = nullptr;
  Write("02:00:00:00:00:20 192.0.2.20\n");
  char* text = ReadHostFile(path_.c_str(), &reason);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "02:00:00:00:00:20 192.0.2.20\n");
  std::free(text);

  Write(std::string("02:00:00:00:00:20\n\0\n", 20));
  EXPECT_EQ(ReadHostFile(path_.c_str(), &reason), nullptr);
  EXPECT_STREQ(reason, "holds a NUL byte: not a text file");

  Write(std::string(static_cast<std::size_t>(kMaxHostFileBytes) + 1, '#'));
  EXPECT_EQ(ReadHostFile(path_.c_str(), &reason), nullptr);
  EXPECT_STREQ(reason, "larger than the 1 MiB a hosts file may have");

  Write(std::string(static_cast<std::size_t>(kMaxHostFileBytes), '#'));
  text = ReadHostFile(path_.c_str(), &reason);
  EXPECT_NE(text, nullptr);
  std::free(text);

  std::remove(path_.c_str());
  EXPECT_EQ(ReadHostFile(path_.c_str(), &reason), nullptr);
  EXPECT_STREQ(reason, std::strerror(ENOENT));
}

}  // namespace
