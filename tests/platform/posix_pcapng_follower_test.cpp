// The pcapng follower: the interface of each packet block, however the stream's bytes are cut.
#include "platform/posix/pcapng_follower.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Writer {
  bool big;
  Bytes out;
  void U16(std::uint32_t v) {
    if (big) out.insert(out.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
    else out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
  }
  void U32(std::uint32_t v) {
    if (big) { U16(v >> 16); U16(v); } else { U16(v); U16(v >> 16); }
  }
  // One block: type, total length, body padded to 4, total length.
  void Block(std::uint32_t type, Bytes body) {
    while (body.size() % 4 != 0) body.push_back(0);
    const std::uint32_t length = static_cast<std::uint32_t>(body.size() + 12);
    U32(type);
    U32(length);
    out.insert(out.end(), body.begin(), body.end());
    U32(length);
  }
  Bytes Le(std::initializer_list<std::uint32_t> words, int width) {
    Writer w{big, {}};
    for (std::uint32_t v : words) width == 2 ? w.U16(v) : w.U32(v);
    return w.out;
  }
  void Section() {
    Bytes body = Le({0x1A2B3C4D}, 4);
    Bytes rest = Le({1, 0}, 2);
    body.insert(body.end(), rest.begin(), rest.end());
    body.insert(body.end(), 8, 0xFF);  // section length not known
    Block(0x0A0D0D0A, body);
  }
  void Interface(const char* name) {
    Bytes body = Le({1, 0}, 2);
    Bytes snap = Le({262144}, 4);
    body.insert(body.end(), snap.begin(), snap.end());
    if (name != nullptr) {
      const std::string text = name;
      Bytes option = Le({2, static_cast<std::uint32_t>(text.size())}, 2);
      body.insert(body.end(), option.begin(), option.end());
      body.insert(body.end(), text.begin(), text.end());
      while (body.size() % 4 != 0) body.push_back(0);
      Bytes end = Le({0, 0}, 2);
      body.insert(body.end(), end.begin(), end.end());
    }
    Block(1, body);
  }
  void Enhanced(std::uint32_t interface) {
    Bytes body = Le({interface, 0, 0, 3, 3}, 4);
    body.insert(body.end(), {1, 2, 3});
    Block(6, body);
  }
};

std::vector<std::string> Names(const Bytes& stream, std::size_t chunk, int packets) {
  platform::PcapngFollower follower;
  for (std::size_t at = 0; at < stream.size(); at += chunk) {
    const std::size_t n = stream.size() - at < chunk ? stream.size() - at : chunk;
    platform::pcapng_feed(&follower, stream.data() + at, n);
  }
  std::vector<std::string> names;
  for (int i = 0; i < packets; ++i) {
    const char* name = platform::pcapng_next_interface(&follower);
    names.push_back(name != nullptr ? name : "(none)");
  }
  return names;
}

TEST(PcapngFollower, NamesEachPacketsInterfaceAcrossSectionsAndCuts) {
  Writer w{false, {}};
  w.Section();
  w.Interface("eth0");
  w.Interface(nullptr);
  w.Enhanced(0);
  w.Enhanced(1);
  w.Block(3, {0, 0, 0, 3, 9, 9, 9});  // a simple packet: interface 0
  w.Enhanced(7);                      // no such interface
  Writer big{true, {}};               // a second section, the other byte order
  big.Section();
  big.Interface("lan1");
  big.Enhanced(0);
  Bytes stream = w.out;
  stream.insert(stream.end(), big.out.begin(), big.out.end());
  const std::vector<std::string> expected = {"eth0", "(none)", "eth0", "(none)", "lan1", "(none)"};
  for (std::size_t chunk : {stream.size(), std::size_t{1}, std::size_t{3}, std::size_t{5}, std::size_t{13}}) {
    EXPECT_EQ(Names(stream, chunk, 6), expected) << "fed " << chunk << " bytes at a time";
  }
}

TEST(PcapngFollower, NamesNothingInAPcapFileOrAfterABrokenBlock) {
  const Bytes pcap = {0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0, 0, 0};
  EXPECT_EQ(Names(pcap, 1, 1), std::vector<std::string>{"(none)"});
  Writer w{false, {}};
  w.Section();
  w.Interface("eth0");
  w.U32(6);
  w.U32(13);  // not a multiple of four: nothing after it can be followed
  w.Enhanced(0);
  EXPECT_EQ(Names(w.out, 7, 1), std::vector<std::string>{"(none)"});
}

}  // namespace
