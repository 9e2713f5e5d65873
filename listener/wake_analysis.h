// What a payload holds: a magic packet, sound or broken, kestrava's packet header, or neither.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/wake_packet.h"

namespace listener {

// What follows the sync stream.
enum class MagicVerdict {
  kNone,            // no sync stream: not a wake packet
  kValid,           // 16 equal copies of the target
  kBroken,          // a copy differs, or the payload ends before copy 16
  kShortUnsuspend,  // kestrava's short unsuspend datagram: the sync stream and one copy
};

struct WakeAnalysis {
  MagicVerdict verdict;
  std::size_t sync_offset;                // where the six 0xFF bytes start
  std::uint8_t target[wake::kMacLength];  // the MAC most copies carry
  int copies;                             // whole copies after the sync stream, at most 16
  int copies_ok;                          // of those, the ones equal to the target
  int bad_copy;                           // the first copy that differs (1-16), 0 when none does
  std::uint8_t bad_copy_mac[wake::kMacLength];
  std::size_t password_length;            // 0, or a SecureOn password's 4 or 6
  std::uint8_t password[wake::kLongPasswordLength];
  std::size_t trailing;                   // bytes after copy 16 (a password included)

  // kestrava's packet header at the start of the payload.
  bool header_found;
  char tag[wake::kHeaderTagLength + 1];
  std::uint32_t header_length;            // the length field
  bool header_length_ok;                  // equal to the datagram's length
  std::uint32_t sequence;                 // the sequence number; 0 when none is carried
};

// Analyses a payload of `length` bytes of which the first `stored` are in `data` (a
// datagram larger than the receive buffer is looked at as far as it was stored).
WakeAnalysis AnalyzeWake(const std::uint8_t* data, std::size_t stored, std::size_t length);

// A valid magic packet, or kestrava's short unsuspend datagram: a wake a machine acts on.
bool IsWake(const WakeAnalysis& analysis);

// Whether a captured frame is worth showing: a wake, a damaged one whose copies still mostly
// agree, or one with kestrava's header. A stray run of six 0xFF bytes in other traffic is not.
bool CarriesWake(const WakeAnalysis& analysis);

}  // namespace listener
