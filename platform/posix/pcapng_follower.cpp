// Following a pcapng stream's blocks as its bytes go by: the interfaces it describes, and which one each packet block came in on.
#include "platform/posix/pcapng_follower.h"

#include <cstring>

namespace platform {

namespace {

// Block types, and where their fields lie (offsets from the block's start). Every block is
// type (4), total length (4), body, total length (4), in the byte order of its section, which
// the section header block's byte-order magic tells.
constexpr std::uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint32_t kInterfaceDescription = 1;
constexpr std::uint32_t kObsoletePacket = 2;       // interface id: 2 bytes at 8
constexpr std::uint32_t kSimplePacket = 3;         // always interface 0
constexpr std::uint32_t kEnhancedPacket = 6;       // interface id: 4 bytes at 8
constexpr std::size_t kHeadLength = 12;            // also the shortest block
constexpr std::size_t kDescriptionOptions = 16;    // link type (2), reserved (2), snap length (4)
constexpr std::uint16_t kOptionEnd = 0;
constexpr std::uint16_t kOptionName = 2;           // if_name, UTF-8
// Bounds: a description block read in full up to this size, names kept, packets queued ahead.
constexpr std::size_t kDescriptionRoom = 4096;
constexpr std::size_t kNameRoom = 256;
constexpr std::size_t kNamesKept = 4096;
constexpr std::size_t kPacketsQueued = 1 << 20;

std::uint32_t Read32(const std::uint8_t* p, bool big) {
  return big ? static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]
             : static_cast<std::uint32_t>(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
}
std::uint16_t Read16(const std::uint8_t* p, bool big) {
  return static_cast<std::uint16_t>(big ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
}

// The if_name option of a whole interface description block; -1 without one.
int NameOf(PcapngFollower* f) {
  const std::vector<std::uint8_t>& b = f->description;
  const std::size_t end = b.size() >= 4 ? b.size() - 4 : 0;  // the trailing length
  for (std::size_t at = kDescriptionOptions; at + 4 <= end;) {
    const std::uint16_t code = Read16(&b[at], f->big_endian);
    const std::uint16_t length = Read16(&b[at + 2], f->big_endian);
    if (code == kOptionEnd || at + 4 + length > end) break;
    if (code == kOptionName && f->names.size() < kNamesKept) {
      std::size_t n = length < kNameRoom ? length : kNameRoom;
      while (n > 0 && b[at + 4 + n - 1] == '\0') --n;
      f->names.emplace_back(reinterpret_cast<const char*>(&b[at + 4]), n);
      return static_cast<int>(f->names.size() - 1);
    }
    at += 4 + ((length + 3u) & ~3u);
  }
  return -1;
}

void QueuePacket(PcapngFollower* f, std::uint32_t interface) {
  if (f->packets.size() >= kPacketsQueued) return;
  f->packets.push_back(interface < f->section.size() ? f->section[interface] : -1);
}

// A block's head is in: what it is, how long, and for packet blocks their interface.
bool StartBlock(PcapngFollower* f) {
  f->type = Read32(f->head, f->big_endian);
  if (f->type == kSectionHeader) {
    const std::uint32_t magic = Read32(f->head + 8, false);
    if (magic == kByteOrderMagic) {
      f->big_endian = false;
    } else if (Read32(f->head + 8, true) == kByteOrderMagic) {
      f->big_endian = true;
    } else {
      return false;
    }
    f->section.clear();
  }
  const std::uint32_t length = Read32(f->head + 4, f->big_endian);
  if (length < kHeadLength || length % 4 != 0) return false;
  f->remaining = length - kHeadLength;
  if (f->type == kInterfaceDescription) {
    f->description.assign(f->head, f->head + kHeadLength);
  } else if (f->type == kEnhancedPacket) {
    QueuePacket(f, Read32(f->head + 8, f->big_endian));
  } else if (f->type == kSimplePacket) {
    QueuePacket(f, 0);
  } else if (f->type == kObsoletePacket) {
    QueuePacket(f, Read16(f->head + 8, f->big_endian));
  }
  return true;
}

void EndBlock(PcapngFollower* f) {
  if (f->type == kInterfaceDescription) {
    f->section.push_back(NameOf(f));
    f->description.clear();
  }
  f->head_have = 0;
}

}  // namespace

void pcapng_feed(PcapngFollower* f, const std::uint8_t* data, std::size_t size) {
  if (!f->decided && f->head_have + size >= 4) {
    std::uint8_t first[4];
    const std::size_t from_head = f->head_have < 4 ? f->head_have : 4;
    std::memcpy(first, f->head, from_head);
    std::memcpy(first + from_head, data, 4 - from_head);
    f->decided = true;
    f->active = Read32(first, false) == kSectionHeader;
  }
  while (size > 0 && (f->active || !f->decided)) {
    if (f->head_have < kHeadLength) {
      const std::size_t n = kHeadLength - f->head_have < size ? kHeadLength - f->head_have : size;
      std::memcpy(f->head + f->head_have, data, n);
      f->head_have += n;
      data += n;
      size -= n;
      if (f->head_have < kHeadLength || !f->decided) continue;
      if (!StartBlock(f)) {
        // A malformed block: from here on no packet's interface can be told.
        f->active = false;
        return;
      }
      if (f->remaining == 0) EndBlock(f);
      continue;
    }
    const std::size_t n = f->remaining < size ? static_cast<std::size_t>(f->remaining) : size;
    if (f->type == kInterfaceDescription && f->description.size() < kDescriptionRoom) {
      const std::size_t keep = kDescriptionRoom - f->description.size() < n ? kDescriptionRoom - f->description.size() : n;
      f->description.insert(f->description.end(), data, data + keep);
    }
    f->remaining -= n;
    data += n;
    size -= n;
    if (f->remaining == 0) EndBlock(f);
  }
}

const char* pcapng_next_interface(PcapngFollower* f) {
  if (f->packets.empty()) return nullptr;
  const int index = f->packets.front();
  f->packets.pop_front();
  return index >= 0 ? f->names[static_cast<std::size_t>(index)].c_str() : nullptr;
}

}  // namespace platform
