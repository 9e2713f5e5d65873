// The wake analysis: the sync stream found anywhere, the copies judged against their majority, the header read.
#include "listener/wake_analysis.h"

#include <cstring>

namespace listener {

namespace {

std::uint32_t ReadLittleEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool SameMac(const std::uint8_t* a, const std::uint8_t* b) {
  return std::memcmp(a, b, wake::kMacLength) == 0;
}

// "KESTRAV" and one of 'A', '2', '4', then the length field and the sequence number.
void ReadHeader(const std::uint8_t* data, std::size_t stored, std::size_t length, WakeAnalysis* out) {
  if (stored < wake::kHeaderLength) return;
  const std::size_t kFixed = wake::kHeaderTagKindOffset;  // "KESTRAV"
  if (std::memcmp(data + wake::kHeaderTagOffset, wake::kHeaderTag, kFixed) != 0) return;
  const char kind = static_cast<char>(data[wake::kHeaderTagKindOffset]);
  if (kind != wake::kHeaderTag[kFixed] && kind != wake::kTagKindShortUnsuspend &&
      kind != wake::kTagKindDirectMagic) {
    return;
  }
  out->header_found = true;
  std::memcpy(out->tag, data + wake::kHeaderTagOffset, wake::kHeaderTagLength);
  out->tag[wake::kHeaderTagLength] = '\0';
  out->header_length = ReadLittleEndian32(data + wake::kHeaderLengthOffset);
  out->header_length_ok = out->header_length == length;
  out->sequence = ReadLittleEndian32(data + wake::kHeaderSequenceOffset);  // 0: none
}

// The copies after a sync stream at `sync`: the target is the MAC most of them carry (a
// Boyer-Moore vote, then a count), so that one bad copy, the first included, is the one
// reported rather than the other fifteen.
WakeAnalysis JudgeCopies(const std::uint8_t* data, std::size_t stored, std::size_t length, std::size_t sync) {
  WakeAnalysis a{};
  a.sync_offset = sync;
  const std::uint8_t* copy = data + sync + wake::kSyncLength;
  const std::size_t room = stored - sync - wake::kSyncLength;
  a.copies = static_cast<int>(room / wake::kMacLength > wake::kMacRepeats ? wake::kMacRepeats
                                                                           : room / wake::kMacLength);
  if (a.copies == 0) {
    a.verdict = MagicVerdict::kBroken;
    return a;
  }
  const std::uint8_t* candidate = copy;
  int votes = 0;
  for (int i = 0; i < a.copies; ++i) {
    const std::uint8_t* c = copy + i * wake::kMacLength;
    if (votes == 0) {
      candidate = c;
      votes = 1;
    } else {
      votes += SameMac(c, candidate) ? 1 : -1;
    }
  }
  for (int i = 0; i < a.copies; ++i) a.copies_ok += SameMac(copy + i * wake::kMacLength, candidate);
  // Without a majority no copy stands out: the first one is the target.
  if (a.copies_ok * 2 <= a.copies) {
    candidate = copy;
    a.copies_ok = 0;
    for (int i = 0; i < a.copies; ++i) a.copies_ok += SameMac(copy + i * wake::kMacLength, candidate);
  }
  std::memcpy(a.target, candidate, wake::kMacLength);
  for (int i = 0; i < a.copies && a.bad_copy == 0; ++i) {
    if (!SameMac(copy + i * wake::kMacLength, candidate)) {
      a.bad_copy = i + 1;
      std::memcpy(a.bad_copy_mac, copy + i * wake::kMacLength, wake::kMacLength);
    }
  }
  const bool whole = a.copies == wake::kMacRepeats;
  a.verdict = whole && a.bad_copy == 0 ? MagicVerdict::kValid : MagicVerdict::kBroken;
  if (whole) {
    const std::size_t end = sync + wake::kPasswordOffset;
    a.trailing = length > end ? length - end : 0;
    if ((a.trailing == wake::kShortPasswordLength || a.trailing == wake::kLongPasswordLength) &&
        stored >= end + a.trailing) {
      a.password_length = a.trailing;
      std::memcpy(a.password, data + end, a.trailing);
    }
  }
  return a;
}

// Which of two candidate sync positions explains the payload better: more good copies, then
// more copies; the earlier one on a tie.
bool Better(const WakeAnalysis& a, const WakeAnalysis& b) {
  if (a.copies_ok != b.copies_ok) return a.copies_ok > b.copies_ok;
  return a.copies > b.copies;
}

}  // namespace

WakeAnalysis AnalyzeWake(const std::uint8_t* data, std::size_t stored, std::size_t length) {
  if (data == nullptr) stored = 0;
  if (stored > length) stored = length;
  WakeAnalysis best{};
  bool found = false;
  // Every place where six 0xFF bytes start is a candidate: a run of more than six (a
  // sequence number or a MAC with 0xFF bytes beside the sync stream) leaves several. Most
  // traffic holds no such run, so the search jumps from one 0xFF byte to the next.
  for (std::size_t i = 0; i < stored && !(found && best.verdict == MagicVerdict::kValid);) {
    const void* at = std::memchr(data + i, wake::kSyncByte, stored - i);
    if (at == nullptr) break;
    const std::size_t start = static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - data);
    std::size_t end = start;
    while (end < stored && data[end] == wake::kSyncByte) ++end;
    for (std::size_t sync = start; sync + wake::kSyncLength <= end; ++sync) {
      WakeAnalysis candidate = JudgeCopies(data, stored, length, sync);
      if (!found || Better(candidate, best)) best = candidate;
      found = true;
      if (best.verdict == MagicVerdict::kValid) break;
    }
    i = end;
  }
  if (!found) best = WakeAnalysis{};
  ReadHeader(data, stored, length, &best);

  // kestrava's short unsuspend datagram: the sync stream and one copy, nothing after, at the
  // start of the payload or right after a KESTRAV2 header.
  const std::size_t body = best.header_found ? wake::kHeaderLength : 0;
  const bool short_tag = !best.header_found || best.tag[wake::kHeaderTagKindOffset] == wake::kTagKindShortUnsuspend;
  if (found && best.copies == 1 && best.bad_copy == 0 && short_tag && best.sync_offset == body &&
      length == body + wake::kShortBodyLength) {
    best.verdict = MagicVerdict::kShortUnsuspend;
  }
  return best;
}

bool IsWake(const WakeAnalysis& analysis) {
  return analysis.verdict == MagicVerdict::kValid || analysis.verdict == MagicVerdict::kShortUnsuspend;
}

bool CarriesWake(const WakeAnalysis& analysis) {
  return IsWake(analysis) || analysis.header_found || analysis.copies_ok * 2 > wake::kMacRepeats;
}

}  // namespace listener
