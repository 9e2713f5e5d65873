// The inspector's run: datagrams from the socket or frames from a capture, kept, shown, counted, until an end.
#include <climits>
#include <cstdio>
#include <cstring>

#include "listener/inspect.h"
#include "listener/listener.h"
#include "listener/texts.h"
#include "platform/capture.h"
#include "platform/waiting.h"

namespace listener {

namespace {

// Capture filters: UDP over IPv4 (every fragment: each one carries the protocol) or over IPv6,
// where an extension header that the decoder steps over may come first (hop-by-hop, routing,
// fragment, authentication, destination options); on Ethernet and cooked links also the wake's
// own EtherType. Ethernet frames may carry up to two VLAN tags (0x8100, 0x88a8, 0x9100) before
// any of these; libpcap has no VLAN test for cooked frames, so every tagged one goes through
// there and the decoder judges it. A live capture's kernel takes the outer tag off into the
// frame's metadata, which libpcap's VLAN test reads.
#define TIDEWAKE_FILTER_IP "udp or ip6 proto 0 or ip6 proto 43 or ip6 proto 44 or ip6 proto 51 or ip6 proto 60"
#define TIDEWAKE_FILTER_LINK "(" TIDEWAKE_FILTER_IP " or ether proto 0x0842)"
constexpr char kFilterEthernet[] = TIDEWAKE_FILTER_LINK " or (vlan and (" TIDEWAKE_FILTER_LINK
                                   " or (vlan and " TIDEWAKE_FILTER_LINK ")))";
constexpr char kFilterCooked[] = TIDEWAKE_FILTER_LINK " or ether proto 0x8100 or ether proto 0x88a8 or ether proto 0x9100";
constexpr char kFilterIp[] = TIDEWAKE_FILTER_IP;
#undef TIDEWAKE_FILTER_LINK
#undef TIDEWAKE_FILTER_IP

// How long the output and the summary may still take once the run ends or a stop request
// came: a reader that takes nothing does not keep pilvorne from ending.
constexpr int kFinalWritesMs = 1000;

// Room for the lines of one observation: the two lines and the explanation, or the JSON
// object with every text at its longest escaped form.
constexpr std::size_t kReportSize = 4096;

// What one step of a source brought.
enum class Step { kObservation, kIdle, kStopped, kEnd, kFailed };

std::uint64_t NowMs() {
  return platform::performance_counter() / (platform::performance_frequency() / 1000);
}

// The current moment, as the time stamp and -Json show it.
void TakeTime(Observation* o) {
  platform::TimeWithMs now{};
  platform::time_with_ms(&now);
  o->local = now.local;
  o->utc_offset_minutes = UtcOffsetMinutes(now.local, now.seconds);
}

// -Mac: the target the copies name, or for one of kestrava's lengths the MAC the entry shows.
bool MatchesMac(const Observation& o, const WakeAnalysis& a) {
  const InspectOptions& options = g_listener.options;
  if (!options.mac_given) return true;
  if (a.copies > 0 && std::memcmp(a.target, options.mac, wake::kMacLength) == 0) return true;
  if (o.kind.label == kLabelUnknown) return false;
  return std::memcmp(o.entry_mac, options.mac, wake::kMacLength) == 0;
}

// A fragment after the first starts in the middle of its datagram: kestrava's header and its
// short unsuspend datagram, both judged from a datagram's start, cannot be in it.
void JudgeAsFragment(const Observation& o, WakeAnalysis* a) {
  if (!o.fragment || o.fragment_offset == 0) return;
  a->header_found = false;
  if (a->verdict == MagicVerdict::kShortUnsuspend) a->verdict = MagicVerdict::kBroken;
}

// Classifies, analyses, filters, counts and prints one observation. False when the output failed.
bool Report(Observation& o, bool capture) {
  const InspectOptions& options = g_listener.options;
  ClassifyObservation(&o);
  WakeAnalysis a = AnalyzeWake(o.payload, static_cast<std::size_t>(o.stored), static_cast<std::size_t>(o.length));
  JudgeAsFragment(o, &a);
  // A capture sees all traffic of its kind: only what carries a wake is shown.
  const bool kept = (!capture || CarriesWake(a)) && MatchesMac(o, a);
  if (options.summary) SummaryAdd(o, a, kept);
  if (!kept) return true;
  ++g_listener.kept;
  if (IsWake(a)) g_listener.wake_kept = true;
  char text[kReportSize];
  TextLine line{text, sizeof text, 0};
  if (options.json) {
    AppendJsonLine(&line, o, a);
  } else {
    AppendEntryLines(&line, o.time_unknown ? kTimeStampUnknown : FormatTimeStamp(o.local), o, capture);
    if (options.explain) AppendExplainLine(&line, o, a);
  }
  return WriteOutput(text, line.length, stdout);
}

// Before anything can block: with -Summary a stop request is caught, so that the summary is
// printed whatever the process waits for; with -Timeout the time bounds every call that
// blocks (the open of a FIFO and an output nobody reads included). Returns the run's start.
std::uint64_t BeginRun() {
  const InspectOptions& options = g_listener.options;
  if (options.summary) platform::catch_stop_requests();
  if (options.timeout_seconds != 0) {
    platform::interrupt_blocking_calls_after(static_cast<std::int64_t>(options.timeout_seconds) * 1000);
  }
  return NowMs();
}

// The end by a stop request: what was shown is written if it can be, the summary tells what was
// seen, each within the time left, and the process ends as the signal would have ended it.
template <typename Drops>
int EndStopped(Drops drops, bool capture) {
  platform::interrupt_blocking_calls_after(kFinalWritesMs);
  if (!std::ferror(stdout)) std::fflush(stdout);
  bool known = false;
  std::uint32_t dropped = 0;
  drops(&known, &dropped);
  if (g_listener.options.summary) PrintSummary(stderr, known, dropped);
  platform::end_as_stopped();
  return capture ? kExitCannotCapture : kExitUsage;
}

// The end by count, time or the end of a file: 0 when a wake was kept, else 4.
template <typename Drops>
int EndFinished(Drops drops, bool capture) {
  const InspectOptions& options = g_listener.options;
  if (options.summary || options.timeout_seconds != 0) platform::interrupt_blocking_calls_after(kFinalWritesMs);
  if (!FlushOutput(stdout)) {
    if (platform::stop_requested()) return EndStopped(drops, capture);
    return kExitUsage;
  }
  bool known = false;
  std::uint32_t dropped = 0;
  drops(&known, &dropped);
  if (options.summary) PrintSummary(stderr, known, dropped);
  // A stop request that came while the summary was written ends the process as it would.
  if (platform::stop_requested()) platform::end_as_stopped();
  return g_listener.wake_kept ? kExitWakeSeen : kExitNoWake;
}

// Runs a source from `start` until the count, the time, the source's end, a stop request or a
// failure. `next(wait_ms, observation)` gives one step; `drops(known, count)` what was lost.
template <typename Next, typename Drops>
int Drive(std::uint64_t start, Next next, Drops drops, bool capture) {
  const InspectOptions& options = g_listener.options;
  const std::uint64_t limit = static_cast<std::uint64_t>(options.timeout_seconds) * 1000;
  for (;;) {
    if (platform::stop_requested()) return EndStopped(drops, capture);
    int wait_ms = -1;
    if (limit != 0) {
      const std::uint64_t elapsed = NowMs() - start;
      if (elapsed >= limit || platform::time_is_up()) break;
      wait_ms = limit - elapsed > INT_MAX ? INT_MAX : static_cast<int>(limit - elapsed);
    }
    Observation o{};
    const Step step = next(wait_ms, &o);
    if (step == Step::kIdle) continue;
    if (step == Step::kEnd) break;
    if (step == Step::kStopped) return EndStopped(drops, capture);
    if (step == Step::kObservation) {
      if (!Report(o, capture)) {
        if (platform::stop_requested()) return EndStopped(drops, capture);
        return kExitUsage;
      }
      if (options.count != 0 && g_listener.kept >= static_cast<std::uint64_t>(options.count)) break;
      continue;
    }
    // A failure: what was shown is written, the summary still tells what was seen. A call that
    // a stop request or the time interrupted is no failure.
    if (platform::stop_requested()) return EndStopped(drops, capture);
    if (limit != 0 && platform::time_is_up()) break;
    FlushOutput(stdout);
    bool known = false;
    std::uint32_t dropped = 0;
    drops(&known, &dropped);
    if (options.summary) PrintSummary(stderr, known, dropped);
    return capture ? kExitCannotCapture : kExitUsage;
  }
  return EndFinished(drops, capture);
}

// The start-up line goes to standard error when standard output carries JSON.
bool PrintStartup(const char* text) {
  if (g_listener.options.json) {
    std::fputs(text, stderr);
    std::fflush(stderr);
    return true;
  }
  return WriteOutput(text, std::strlen(text), stdout);
}

void FillFromFrame(const DecodedFrame& d, Observation* o) {
  o->via = d.via;
  o->from = d.from;
  o->to = d.to;
  std::memcpy(o->from_mac, d.from_mac, wake::kMacLength);
  std::memcpy(o->to_mac, d.to_mac, wake::kMacLength);
  o->to_mac_known = d.to_mac_known;
  o->from_port = d.from_port;
  o->port = d.to_port;
  o->to_kind = JudgeFrameDestination(d);
  o->vlan = d.vlan;
  o->fragment = d.fragment;
  o->fragment_offset = d.fragment_offset;
  o->udp_length_field = d.udp_length_field;
  o->payload = d.payload;
  o->stored = d.stored;
  o->length = d.length;
}

// Whether a local time can be written as ISO 8601 has it, years 0001 to 9999.
bool InWrittenYears(const platform::SystemTime& t) { return t.year >= 1 && t.year <= 9999; }

// The line that tells why a capture cannot be read (a file) or made (live).
void PrintCaptureFailure(const char* reason) {
  if (g_listener.options.read_path != nullptr) {
    std::fprintf(stderr, kReadFailedFormat, g_listener.options.read_path, reason);
  } else {
    std::fprintf(stderr, kCaptureFailedFormat, reason);
  }
}

}  // namespace

const char* CaptureFilter(int link_type) {
  switch (link_type) {
    case platform::kLinkEthernet: return kFilterEthernet;
    case platform::kLinkLinuxCooked:
    case platform::kLinkLinuxCooked2: return kFilterCooked;
    default: return ReadsLinkType(link_type) ? kFilterIp : nullptr;
  }
}

bool Inspecting() {
  const InspectOptions& o = g_listener.options;
  return o.explain || o.json || o.ipv6 || o.summary || o.any || o.count != 0 ||
         o.timeout_seconds != 0 || o.mac_given || o.read_path != nullptr;
}

int InspectSocket(SOCKET s, bool drops_counted) {
  const std::uint64_t start = BeginRun();
  // The whole datagram, however large: a sync stream may start past any fixed size.
  unsigned char buffer[kInspectBufferSize];
  std::uint32_t drops = 0;
  // The socket's own count covers the drops after the last datagram delivered too.
  auto dropped = [&](bool* known, std::uint32_t* count) {
    *known = platform::read_receive_drops(s, count) || drops_counted;
    if (*known && drops > *count) *count = drops;
  };
  char startup[64];
  std::snprintf(startup, sizeof startup, kListeningFormat, g_listener.port);
  if (!PrintStartup(startup)) {
    if (platform::stop_requested()) return EndStopped(dropped, false);
    return kExitUsage;
  }
  auto next = [&](int wait_ms, Observation* o) {
    const int waited = platform::wait_readable(s, wait_ms);
    if (waited == platform::kWaitStopped) return Step::kStopped;
    if (waited == platform::kWaitTimedOut) return Step::kIdle;
    platform::ReceivedDatagram info{};
    if (waited == platform::kWaitFailed || !platform::receive_datagram(s, buffer, sizeof buffer, true, &info)) {
      return Step::kFailed;
    }
    TakeTime(o);
    ObserveDatagram(info, buffer, o);
    o->to = info.destination;
    o->port = g_listener.port & 0xFFFF;
    RefreshInterfaces(NowMs());
    const InterfaceCache& cache = g_listener.interfaces;
    o->to_kind = JudgeDestination(info.destination, info.interface_index, cache.records, cache.count);
    const char* name = InterfaceName(info.interface_index);
    std::snprintf(o->interface_name, sizeof o->interface_name, "%s", name != nullptr ? name : "");
    drops = info.drops;
    return Step::kObservation;
  };
  return Drive(start, next, dropped, false);
}

int InspectCapture() {
  const InspectOptions& options = g_listener.options;
  const std::uint64_t start = BeginRun();
  auto no_drops = [](bool* known, std::uint32_t*) { *known = false; };
  platform::Capture* capture = nullptr;
  int link_type = 0;
  char error[512] = "";
  const platform::CaptureOpened opened =
      options.read_path != nullptr
          ? platform::open_capture_file(options.read_path, &capture, &link_type, error, sizeof error)
          : platform::open_live_capture(options.interface_name, &capture, &link_type, error, sizeof error);
  const bool live = options.read_path == nullptr;
  if (opened != platform::CaptureOpened::kOpened) {
    // The open of a FIFO waits for its writer: a stop request or the time may end it.
    if (platform::stop_requested()) return EndStopped(no_drops, true);
    if (platform::time_is_up()) return EndFinished(no_drops, true);
    if (opened == platform::CaptureOpened::kNeedsPrivilege) {
      std::fputs(kNeedsCapNetRaw, stderr);
    } else if (opened == platform::CaptureOpened::kNeedsLinuxBuild) {
      std::fputs(kNeedsLinuxBuild, stderr);
    } else if (opened == platform::CaptureOpened::kNoLibrary) {
      std::fprintf(stderr, kNeedsLibpcapFormat, error);
    } else {
      PrintCaptureFailure(error);
    }
    return kExitCannotCapture;
  }
  // A link whose frames are not decoded would show nothing and look like one without a wake.
  const char* filter = CaptureFilter(link_type);
  if (filter == nullptr) {
    const char* name = platform::link_type_name(link_type);
    std::snprintf(error, sizeof error, kLinkTypeRefusedFormat, link_type, name != nullptr ? " (" : "",
                  name != nullptr ? name : "", name != nullptr ? ")" : "");
    PrintCaptureFailure(error);
    platform::close_capture(capture);
    return kExitCannotCapture;
  }
  if (!platform::set_capture_filter(capture, filter, error, sizeof error)) {
    PrintCaptureFailure(error);
    platform::close_capture(capture);
    return kExitCannotCapture;
  }
  auto dropped = [&](bool* known, std::uint32_t* count) { *known = platform::capture_drops(capture, count); };
  if (live) {
    char startup[128];
    if (options.interface_name != nullptr) {
      std::snprintf(startup, sizeof startup, kCapturingOnFormat, options.interface_name);
    } else {
      std::snprintf(startup, sizeof startup, "%s", kCapturingAll);
    }
    if (!PrintStartup(startup)) {
      const int code = platform::stop_requested() ? EndStopped(dropped, true) : kExitUsage;
      platform::close_capture(capture);
      return code;
    }
  }
  if (!live) g_listener.flush_each_entry = false;

  // The local time of the capture's current second, converted once for all its frames.
  std::int64_t second = 0;
  bool second_known = false, second_converts = false;
  platform::SystemTime second_local{};
  int second_offset = 0;
  auto next = [&](int wait_ms, Observation* o) {
    platform::CapturedFrame frame{};
    const int got = platform::next_frame(capture, wait_ms, &frame);
    if (got == platform::kFrameStopped) return Step::kStopped;
    if (got == platform::kFrameTimedOut) return Step::kIdle;
    if (got == platform::kFrameEnd) return Step::kEnd;
    if (got != platform::kFrameReady) {
      PrintCaptureFailure(platform::capture_error(capture));
      return Step::kFailed;
    }
    DecodedFrame decoded;
    if (!DecodeFrame(link_type, frame.data, frame.captured, frame.length, &decoded)) return Step::kIdle;
    // The capture's own clock: for a file, when the frame was captured there. A time that ISO
    // 8601 cannot write (a damaged file's) is not shown; the frame still is.
    if (!second_known || frame.seconds != second) {
      second = frame.seconds;
      second_known = true;
      second_converts = platform::local_time_at(frame.seconds, 0, &second_local) && InWrittenYears(second_local);
      if (second_converts) second_offset = UtcOffsetMinutes(second_local, frame.seconds);
    }
    if (second_converts) {
      o->local = second_local;
      o->local.milliseconds = static_cast<std::uint16_t>(frame.nanoseconds / 1000000);
      o->utc_offset_minutes = second_offset;
    } else {
      o->time_unknown = true;
    }
    FillFromFrame(decoded, o);
    if (!live) {
      // A pcapng file names the interface each frame came in on; a pcap file does not.
      if (frame.interface_name != nullptr) {
        std::snprintf(o->interface_name, sizeof o->interface_name, "%s", frame.interface_name);
      }
    } else if (options.interface_name != nullptr) {
      std::snprintf(o->interface_name, sizeof o->interface_name, "%s", options.interface_name);
    } else {
      RefreshInterfaces(NowMs());
      const char* name = InterfaceName(decoded.interface_index);
      std::snprintf(o->interface_name, sizeof o->interface_name, "%s", name != nullptr ? name : "");
    }
    return Step::kObservation;
  };
  const int code = Drive(start, next, dropped, true);
  platform::close_capture(capture);
  return code;
}

}  // namespace listener
