// Following a pcapng stream's blocks as its bytes go by: the interfaces it describes, and which one each packet block came in on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace platform {

// libpcap reads a pcapng file's packets but does not say which interface each came in on; the
// stream handed to it passes through this follower first, which reads the same bytes ahead of
// libpcap and queues, for every packet block in order, the name of its interface (the
// interface description block's if_name option). A stream that is not pcapng (a pcap file)
// names no interface.
struct PcapngFollower {
  bool decided = false;        // the first four bytes told whether it is pcapng
  bool active = false;         // pcapng, and no block so far was malformed
  bool big_endian = false;     // of the current section
  std::uint8_t head[12] = {};  // a block's type, length and first four body bytes
  std::size_t head_have = 0;
  std::uint32_t type = 0;
  std::uint64_t remaining = 0; // bytes of the current block still to go by
  std::vector<std::uint8_t> description;  // an interface description block being read
  std::vector<int> section;    // the current section's interfaces: indexes into `names`
  std::vector<std::string> names;
  std::deque<int> packets;     // per packet block gone by and not yet taken: its name's index, -1 unknown
};

// The bytes that follow those fed before.
void pcapng_feed(PcapngFollower* follower, const std::uint8_t* data, std::size_t size);

// The interface name of the next packet block, in the order they went by; nullptr when it is
// not known (no such option, not pcapng, or nothing queued). Valid while the follower lives.
const char* pcapng_next_interface(PcapngFollower* follower);

}  // namespace platform
