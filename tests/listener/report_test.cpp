// What the inspector prints: the -Explain line, JSON strings, and -Json lines parsed back with a JSON parser.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "listener/inspect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes kMac = {0x02, 0x54, 0x57, 0x00, 0x00, 0x14};

Bytes Magic(const Bytes& before, int copies, const Bytes& after = {}) {
  Bytes p = before;
  p.insert(p.end(), 6, 0xFF);
  for (int i = 0; i < copies; ++i) p.insert(p.end(), kMac.begin(), kMac.end());
  p.insert(p.end(), after.begin(), after.end());
  return p;
}

const Bytes kHeader118 = {'K', 'E', 'S', 'T', 'R', 'A', 'V', 'A', 118, 0, 0, 0, 3, 0, 0, 0};

listener::Observation Udp(const Bytes& payload, const char* interface_name) {
  listener::Observation o{};
  o.local = {2026, 12, 3, 9, 14, 3, 27, 5};
  o.utc_offset_minutes = -330;
  o.via = listener::Via::kUdp;
  o.from = {4, {192, 0, 2, 10}};
  o.to = {4, {192, 0, 2, 255}};
  o.from_port = 40000;
  o.port = 1778;
  o.to_kind = listener::DestinationKind::kSubnetBroadcast;
  std::snprintf(o.interface_name, sizeof o.interface_name, "%s", interface_name);
  o.vlan = -1;
  o.payload = payload.data();
  o.stored = o.length = static_cast<int>(payload.size());
  listener::ClassifyObservation(&o);
  return o;
}

listener::Observation EtherType(const Bytes& payload) {
  listener::Observation o = Udp(payload, "");
  o.via = listener::Via::kEtherType;
  o.from = o.to = platform::IpAddress{};
  std::memcpy(o.from_mac, kMac.data(), 6);
  o.from_mac[5] = 0x0a;
  std::memset(o.to_mac, 0xFF, 6);
  o.to_mac_known = true;
  o.from_port = o.port = -1;
  o.to_kind = listener::DestinationKind::kLimitedBroadcast;
  o.vlan = 10;
  return o;
}

std::string Explain(const listener::Observation& o) {
  char text[1024];
  listener::TextLine line{text, sizeof text, 0};
  listener::AppendExplainLine(&line, o, listener::AnalyzeWake(o.payload, o.stored, o.length));
  return std::string(text, line.length);
}

std::string Json(const listener::Observation& o) {
  char text[4096];
  listener::TextLine line{text, sizeof text, 0};
  listener::AppendJsonLine(&line, o, listener::AnalyzeWake(o.payload, o.stored, o.length));
  return std::string(text, line.length);
}

TEST(ExplainLine, PayloadAndArrival) {
  Bytes bad = Magic({}, 15);
  bad[6 + 8 * 6] = 0x99;  // copy 9
  const Bytes valid = Magic(kHeader118, 16), password = Magic({0}, 16, {1, 2, 3, 4, 5, 6});
  const Bytes zeds(118, 'Z'), frame = Magic({}, 16);
  listener::Observation to_this_host = EtherType(frame);  // a cooked frame: no destination MAC
  to_this_host.to_mac_known = false;
  to_this_host.to_kind = listener::DestinationKind::kUnicast;
  to_this_host.vlan = -1;
  std::snprintf(to_this_host.interface_name, sizeof to_this_host.interface_name, "eth0");
  // A later fragment holding a whole magic packet, on an interface whose name holds an escape
  // sequence; a UDP length field that claimed more than the packet held.
  listener::Observation fragment = Udp(frame, "eth\x1b[2J0");
  fragment.fragment = true;
  fragment.fragment_offset = 1480;
  listener::Observation lying = Udp(frame, "eth0");
  lying.udp_length_field = 1000;
  const struct {
    listener::Observation o;
    const char* line;
  } cases[] = {
      {fragment,
       "   magic packet for 02:54:57:00:00:14, sync at byte 0, all 16 copies equal; IPv4 fragment at byte 1480 "
       "of its datagram; to 192.0.2.255 (subnet-broadcast) on eth\\u001b[2J0\n"},
      {lying,
       "   magic packet for 02:54:57:00:00:14, sync at byte 0, all 16 copies equal; the UDP length field says "
       "1000 bytes, the packet holds 110; to 192.0.2.255 (subnet-broadcast) on eth0\n"},
      {Udp(valid, "eth0"),
       "   magic packet for 02:54:57:00:00:14, sync at byte 16, all 16 copies equal; header KESTRAVA, "
       "length field 118 matches, sequence number 3; to 192.0.2.255 (subnet-broadcast) on eth0\n"},
      {Udp(bad, "eth0"),
       "   broken magic packet for 02:54:57:00:00:14, sync at byte 0: copy 9 of 16 is 99:54:57:00:00:14, "
       "the payload ends after copy 15 of 16; to 192.0.2.255 (subnet-broadcast) on eth0\n"},
      {Udp(password, ""),
       "   magic packet for 02:54:57:00:00:14, sync at byte 1, all 16 copies equal, SecureOn password "
       "01:02:03:04:05:06; to 192.0.2.255 (subnet-broadcast)\n"},
      {Udp(zeds, "eth0"), "   not a wake packet: no sync stream; to 192.0.2.255 (subnet-broadcast) on eth0\n"},
      {EtherType(frame),
       "   magic packet for 02:54:57:00:00:14, sync at byte 0, all 16 copies equal; to FF:FF:FF:FF:FF:FF "
       "(limited-broadcast) vlan 10\n"},
      {to_this_host,
       "   magic packet for 02:54:57:00:00:14, sync at byte 0, all 16 copies equal; to an address not shown "
       "(unicast) on eth0\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Explain(c.o), c.line);
}

TEST(JsonString, EscapesAndInvalidUtf8) {
  const struct {
    const char* text;
    const char* json;
  } cases[] = {
      {"eth0", "\"eth0\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"tab\there\n\x01\x7f", "\"tab\\u0009here\\u000a\\u0001\\u007f\""},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
      {"\x80x", "\"\\ufffdx\""},             // a lone continuation byte
      {"\xc3", "\"\\ufffd\""},               // cut at the end
      {"\xc0\xaf", "\"\\ufffd\\ufffd\""},    // an overlong '/'
      {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},  // a surrogate
  };
  for (const auto& c : cases) {
    char text[128];
    listener::TextLine line{text, sizeof text, 0};
    listener::AppendJsonString(&line, c.text);
    EXPECT_EQ(std::string(text, line.length), c.json);
  }
}

TEST(JsonLine, OneObjectPerLineWithExactlyTheFields) {
  const Bytes valid = Magic(kHeader118, 16), password = Magic({}, 16, {1, 2, 3, 4}), junk(50, 'x');
  listener::Observation unknown_to = Udp(junk, "");
  unknown_to.to = platform::IpAddress{};
  unknown_to.to_kind = listener::DestinationKind::kUnknown;
  unknown_to.from = {6, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
  unknown_to.time_unknown = true;  // a capture time past the year 9999
  const struct {
    listener::Observation o;
    const char* json;  // the expected object, in JSON
  } cases[] = {
      {Udp(valid, "eth\"0\\\x01\xc3"),
       R"j({"time":"2026-12-09T14:03:27.005-05:30","from":"192.0.2.10","from_port":40000,"to":"192.0.2.255",
           "to_kind":"subnet-broadcast","interface":"eth\"0\\\u0001\ufffd","via":"udp","port":1778,"len":118,
           "kind":"broadcast magic packet(hdr)","mac":"02:54:57:00:00:14",
           "magic":{"offset":16,"target":"02:54:57:00:00:14","copies_ok":16,"password":null},
           "header":{"tag":"KESTRAVA","length":118,"length_ok":true,"seq":3}})j"},
      {EtherType(password),
       R"j({"time":"2026-12-09T14:03:27.005-05:30","from":"02:54:57:00:00:0A","from_port":null,"to":"FF:FF:FF:FF:FF:FF",
           "to_kind":"limited-broadcast","interface":null,"via":"ethertype-0x0842","port":null,"len":106,
           "kind":"Not a QE magic pkt","mac":"02:54:57:00:00:14",
           "magic":{"offset":0,"target":"02:54:57:00:00:14","copies_ok":16,"password":"01:02:03:04"},"header":null})j"},
      {unknown_to,
       R"j({"time":null,"from":"2001:db8::1","from_port":40000,"to":null,"to_kind":null,
           "interface":null,"via":"udp","port":1778,"len":50,"kind":"Not a QE magic pkt","mac":"78:78:78:78:78:78",
           "magic":null,"header":null})j"},
  };
  const std::vector<std::string> kFields = {"time", "from", "from_port", "to", "to_kind", "interface", "via",
                                            "port", "len", "kind", "mac", "magic", "header"};
  for (const auto& c : cases) {
    const std::string line = Json(c.o);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
    ASSERT_FALSE(parsed.is_discarded()) << line;
    // Exactly these members, in this order on the line (the parser itself sorts them).
    std::size_t previous = 0;
    for (const std::string& field : kFields) {
      const std::size_t at = line.find("\"" + field + "\":");
      EXPECT_TRUE(at != std::string::npos && at >= previous) << field << " in " << line;
      previous = at;
    }
    EXPECT_EQ(parsed.size(), kFields.size());
    EXPECT_EQ(parsed, nlohmann::json::parse(c.json)) << line;
  }
}

}  // namespace
