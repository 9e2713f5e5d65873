// Tests of hosts files: fields, comments, MAC forms, bad lines with their numbers, files that are refused.
#include "common/host_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace {

using wake::AddressFamily;
using wake::WakeTarget;
using wake::ParseHostText;
using wake::ReadHostFile;
using wake::kMaxHostFileBytes;

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

// Each line: the fields read, or the line's number with why and the field at fault.
TEST(ParseHostText, FieldsCommentsAndBadLines) {
  const Parsed p = ParseText(
      "# the lab's hosts\r\n"
      "\n"
      "02:00:00:00:00:20 192.0.2.20 nas   # the file server\r\n"
      "   02-00-00-00-00-21\tprinter\n"
      "2:0:0:0:0:22 ff02::1%lan0\n"
      "02:00:00:00:zz:23 192.0.2.23\n"          // 6: bad MAC
      "02:00:00:00:00:24 192.0.2.300\n"         // 7: meant as an address, not one
      "020000000025\n"                          // 8: no separators
      "02:00:00:00:00:26 nas extra\n"           // 9: a field too many
      "\t  \n"
      "02:00:00:00:00:27");                      // 11, without its line end
  EXPECT_EQ(p.bad, (std::vector<std::string>{
                       "6: not a MAC address: 02:00:00:00:zz:23",
                       "7: not an IPv4 or IPv6 address: 192.0.2.300",
                       "8: not a MAC address: 020000000025",
                       "9: a field after the name: extra",
                   }));
  const struct {
    const char* mac;
    AddressFamily family;
    const char* name;
    int line;
  } expected[] = {
      {"02:00:00:00:00:20", AddressFamily::kIpv4, "nas", 3},
      {"02:00:00:00:00:21", AddressFamily::kNone, "printer", 4},
      {"02:00:00:00:00:22", AddressFamily::kIpv6, nullptr, 5},
      {"02:00:00:00:00:27", AddressFamily::kNone, nullptr, 11},
  };
  ASSERT_EQ(p.hosts.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    const WakeTarget& t = p.hosts[i];
    EXPECT_EQ(Mac(t), expected[i].mac) << i;
    EXPECT_EQ(t.address.family, expected[i].family) << i;
    EXPECT_EQ(t.line, expected[i].line) << i;
    EXPECT_EQ(std::string(t.name != nullptr ? t.name : "-"), expected[i].name != nullptr ? expected[i].name : "-");
  }
  EXPECT_EQ(p.hosts[0].address.ipv4, htonl(0xC0000214));
  EXPECT_STREQ(p.hosts[2].address.scope, "lan0");

  // A byte-order mark before the first line, as Windows editors write one.
  const Parsed marked = ParseText("\xEF\xBB\xBF" "02:00:00:00:00:20 192.0.2.20\r\n");
  EXPECT_TRUE(marked.bad.empty()) << marked.bad[0];
  ASSERT_EQ(marked.hosts.size(), 1u);
  EXPECT_EQ(Mac(marked.hosts[0]), "02:00:00:00:00:20");

  const Parsed full = ParseText("1:2:3:4:5:6\n1:2:3:4:5:7\n1:2:3:4:5:8\n", 2);
  EXPECT_EQ(full.hosts.size(), 2u);
  EXPECT_EQ(full.bad, std::vector<std::string>{"3: beyond the 1000 hosts a file may name: 1:2:3:4:5:8"});
}

// The relay field stands anywhere after the MAC; the other fields are read as without it.
TEST(ParseHostText, RelayField) {
  const struct {
    const char* line;
    const char* relay;   // nullptr: none
    const char* name;
    const char* bad;     // the line's refusal, "" when read
  } cases[] = {
      {"02:00:00:00:00:20 192.0.2.20 nas relay=203.0.113.5", "203.0.113.5", "nas", ""},
      {"02:00:00:00:00:20 RELAY=relay.example:1800 nas", "relay.example:1800", "nas", ""},
      {"02:00:00:00:00:20 relay=gw nas 192.0.2.20", nullptr, nullptr, "a field after the name: 192.0.2.20"},
      {"02:00:00:00:00:20 relay=", nullptr, nullptr, "not a relay: relay=HOST or relay=HOST:PORT, the port 1 to 65535: relay="},
      {"02:00:00:00:00:20 relay=:1779", nullptr, nullptr, "not a relay: relay=HOST or relay=HOST:PORT, the port 1 to 65535: relay=:1779"},
      {"02:00:00:00:00:20 relay=gw:0", nullptr, nullptr, "not a relay: relay=HOST or relay=HOST:PORT, the port 1 to 65535: relay=gw:0"},
      {"02:00:00:00:00:20 relay=gw:1:2", nullptr, nullptr, "not a relay: relay=HOST or relay=HOST:PORT, the port 1 to 65535: relay=gw:1:2"},
      {"02:00:00:00:00:20 relay=a relay=b", nullptr, nullptr, "a second relay field: relay=b"},
      {"02:00:00:00:00:20 192.0.2.20 nas extra", nullptr, nullptr, "a field after the name: extra"},
  };
  for (const auto& c : cases) {
    const Parsed p = ParseText(c.line);
    if (*c.bad != '\0') {
      EXPECT_TRUE(p.hosts.empty()) << c.line;
      EXPECT_EQ(p.bad, std::vector<std::string>{std::string("1: ") + c.bad}) << c.line;
      continue;
    }
    ASSERT_EQ(p.hosts.size(), 1u) << c.line << (p.bad.empty() ? "" : p.bad[0]);
    EXPECT_STREQ(p.hosts[0].relay, c.relay) << c.line;
    EXPECT_STREQ(p.hosts[0].name, c.name) << c.line;
  }
  wake::RelayEndpointText endpoint;
  ASSERT_TRUE(wake::ReadRelayText("relay.example", &endpoint));
  EXPECT_EQ(std::string(endpoint.host, endpoint.host_length) + ":" + std::to_string(endpoint.port), "relay.example:1779");
  ASSERT_TRUE(wake::ReadRelayText("203.0.113.5:65535", &endpoint));
  EXPECT_EQ(std::string(endpoint.host, endpoint.host_length) + ":" + std::to_string(endpoint.port), "203.0.113.5:65535");
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
  const struct {
    std::string bytes;  // empty: no file
    const char* reason;
  } cases[] = {
      {"02:00:00:00:00:20 192.0.2.20\n", nullptr},
      {std::string(static_cast<std::size_t>(kMaxHostFileBytes), '#'), nullptr},
      {std::string(static_cast<std::size_t>(kMaxHostFileBytes) + 1, '#'), "larger than the 1 MiB a hosts file may have"},
      {std::string("02:00:00:00:00:20\n\0\n", 20), "holds a NUL byte: not a text file"},
      {"", std::strerror(ENOENT)},
      {"directory", "not a regular file (a FIFO, a device or a directory is not read)"},
  };
  for (const auto& c : cases) {
    std::remove(path_.c_str());
    if (!c.bytes.empty() && c.bytes != "directory") Write(c.bytes);
    const char* reason = "unset";
    char* text = ReadHostFile(c.bytes == "directory" ? ::testing::TempDir().c_str() : path_.c_str(), &reason);
    if (c.reason == nullptr) {
      ASSERT_NE(text, nullptr) << reason;
      EXPECT_EQ(std::string(text), c.bytes);
    } else {
      EXPECT_EQ(text, nullptr);
      EXPECT_STREQ(reason, c.reason);
    }
    std::free(text);
  }
}

}  // namespace
