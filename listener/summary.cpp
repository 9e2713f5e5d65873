// The -Summary counts: datagrams, wakes per sender and target, sequence numbers missing, repeated, out of order.
#include <cstdio>
#include <iterator>

#include "common/address_text.h"
#include "listener/inspect.h"
#include "listener/listener.h"
#include "listener/texts.h"

namespace listener {

namespace {

// At most this many gaps are listed; the count covers them all.
constexpr int kMissingListed = 10;

bool Seen(const SequenceTrack& track, std::uint32_t n) {
  auto it = track.ranges.upper_bound(n);
  if (it == track.ranges.begin()) return false;
  --it;
  return n <= it->second;
}

// Adds n to the pair's ranges; `ranges` counts the ranges of all pairs. A number that would
// need a range of its own when there is no room left is only counted as untracked.
void Track(SequenceTrack* track, std::size_t* ranges, std::uint32_t n) {
  if (Seen(*track, n)) {
    ++track->repeated;
    return;
  }
  // Joined to the range that ends just before it and to the one that starts just after it.
  auto next = track->ranges.upper_bound(n);
  auto previous = next == track->ranges.begin() ? track->ranges.end() : std::prev(next);
  const bool joins_previous = previous != track->ranges.end() && previous->second + 1 == n;
  const bool joins_next = next != track->ranges.end() && next->first == n + 1;
  if (!joins_previous && !joins_next && *ranges >= kSequenceRangeRoom) {
    ++track->untracked;
    return;
  }
  if (n < track->highest) ++track->out_of_order;
  if (n > track->highest) track->highest = n;
  std::uint32_t first = n, last = n;
  if (joins_previous) {
    first = previous->first;
    track->ranges.erase(previous);
    --*ranges;
  }
  if (joins_next) {
    last = next->second;
    track->ranges.erase(next);
    --*ranges;
  }
  track->ranges[first] = last;
  ++*ranges;
}

// The numbers from 1 to the highest seen that never came, counted and the first gaps listed.
void AppendMissing(TextLine* line, const SequenceTrack& track) {
  unsigned long long missing = track.highest;
  for (const auto& range : track.ranges) missing -= range.second - range.first + 1ULL;
  Append(line, kSummarySequenceFormat, static_cast<unsigned long>(track.highest), missing);
  int listed = 0;
  std::uint32_t expected = 1;
  for (const auto& range : track.ranges) {
    if (range.first > expected) {
      if (listed == kMissingListed) {
        Append(line, kSummaryMissingMore);
        break;
      }
      Append(line, listed == 0 ? kSummaryMissingFirst : kSummaryMissingNext);
      if (range.first - 1 == expected) {
        Append(line, kSummaryMissingOneFormat, static_cast<unsigned long>(expected));
      } else {
        Append(line, kSummaryMissingRangeFormat, static_cast<unsigned long>(expected),
               static_cast<unsigned long>(range.first - 1));
      }
      ++listed;
    }
    expected = range.second + 1;
  }
  if (listed > 0) Append(line, kSummaryMissingEnd);
  Append(line, kSummaryRepeatsFormat, static_cast<unsigned long long>(track.repeated),
         static_cast<unsigned long long>(track.out_of_order));
  if (track.untracked != 0) Append(line, kSummaryUntrackedFormat, static_cast<unsigned long long>(track.untracked));
}

}  // namespace

void SummaryAdd(const Observation& o, const WakeAnalysis& a, bool kept) {
  SummaryCounts& s = g_listener.summary;
  ++s.seen;
  if (!kept) return;
  ++s.kept;
  const bool wake = IsWake(a);
  const bool numbered = a.header_found && a.sequence != 0;
  if (wake) ++s.wakes;
  if (!wake && !numbered) return;

  // Sender and target: the target the copies name, else the MAC the entry shows.
  char sender[wake::kIpTextRoom], target[wake::kMacTextRoom];
  if (o.via == Via::kEtherType) {
    wake::FormatMacText(o.from_mac, sender);
  } else {
    wake::FormatIpText(o.from, sender, sizeof sender);
  }
  wake::FormatMacText(a.copies > 0 ? a.target : o.entry_mac, target);
  std::string key = std::string(sender) + '\t' + target;
  auto it = s.pairs.find(key);
  if (it == s.pairs.end()) {
    if (s.pairs.size() >= kSummaryPairRoom) {
      ++s.other_pairs;
      return;
    }
    it = s.pairs.emplace(key, PairCounts{}).first;
  }
  if (wake) ++it->second.wakes;
  if (numbered) Track(&it->second.sequence, &s.sequence_ranges, a.sequence);
}

void PrintSummary(FILE* err, bool drops_known, std::uint32_t drops) {
  const SummaryCounts& s = g_listener.summary;
  std::fprintf(err, kSummaryFormat, static_cast<unsigned long long>(s.seen),
               static_cast<unsigned long long>(s.kept), static_cast<unsigned long long>(s.wakes));
  for (const auto& pair : s.pairs) {
    const std::string& key = pair.first;
    const std::size_t tab = key.find('\t');
    char text[512];
    TextLine line{text, sizeof text, 0};
    Append(&line, kSummaryPairFormat, key.substr(0, tab).c_str(), key.substr(tab + 1).c_str(),
           static_cast<unsigned long long>(pair.second.wakes));
    const SequenceTrack& sequence = pair.second.sequence;
    if (sequence.highest != 0) {
      AppendMissing(&line, sequence);
    } else if (sequence.untracked != 0) {
      Append(&line, kSummaryOnlyUntrackedFormat, static_cast<unsigned long long>(sequence.untracked));
    }
    std::fprintf(err, "%s\n", text);
  }
  if (s.other_pairs != 0) std::fprintf(err, kSummaryOtherPairsFormat, static_cast<unsigned long long>(s.other_pairs));
  if (drops_known) {
    std::fprintf(err, kSummaryDropsFormat, static_cast<unsigned long>(drops));
  } else {
    std::fputs(kSummaryDropsUnknown, err);
  }
  std::fflush(err);
}

}  // namespace listener
