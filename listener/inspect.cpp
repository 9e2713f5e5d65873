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

// Kernel filters: UDP over IPv4 or IPv6, and the wake's own EtherType, each VLAN-tagged or
// not. Cooked frames (all interfaces) come with their VLAN tag taken off by the kernel, and
// raw IP frames have no link layer at all.
constexpr char kFilterEthernet[] = "udp or ether proto 0x0842 or (vlan and (udp or ether proto 0x0842))";
constexpr char kFilterCooked[] = "udp or ether proto 0x0842";
constexpr char kFilterRawIp[] = "udp";

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

// Classifies, analyses, filters, counts and prints one observation. False when the output failed.
bool Report(Observation& o, bool capture) {
  const InspectOptions& options = g_listener.options;
  ClassifyObservation(&o);
  const WakeAnalysis a = AnalyzeWake(o.payload, static_cast<std::size_t>(o.stored),
                                     static_cast<std::size_t>(o.length));
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
    AppendEntryLines(&line, FormatTimeStamp(o.local), o, capture);
    if (options.explain) AppendExplainLine(&line, o, a);
  }
  return WriteOutput(text, line.length, stdout);
}

// The end by count, time or the end of a file: 0 when a wake was kept, else 4.
int Finish(bool drops_known, std::uint32_t drops) {
  if (g_listener.options.summary) PrintSummary(stderr, drops_known, drops);
  return g_listener.wake_kept ? kExitWakeSeen : kExitNoWake;
}

// Runs a source until the count, the time, the source's end, a stop request or a failure.
// `next(wait_ms, observation)` gives one step; `drops(known, count)` what was lost.
template <typename Next, typename Drops>
int Drive(Next next, Drops drops, bool capture) {
  const InspectOptions& options = g_listener.options;
  const std::uint64_t start = NowMs();
  const std::uint64_t limit = static_cast<std::uint64_t>(options.timeout_seconds) * 1000;
  bool known = false;
  std::uint32_t dropped = 0;
  for (;;) {
    int wait_ms = -1;
    if (limit != 0) {
      const std::uint64_t elapsed = NowMs() - start;
      if (elapsed >= limit) break;
      wait_ms = limit - elapsed > INT_MAX ? INT_MAX : static_cast<int>(limit - elapsed);
    }
    Observation o{};
    const Step step = next(wait_ms, &o);
    if (step == Step::kIdle) continue;
    if (step == Step::kEnd) break;
    if (step == Step::kObservation) {
      if (!Report(o, capture)) return kExitUsage;
      if (options.count != 0 && g_listener.kept >= static_cast<std::uint64_t>(options.count)) break;
      continue;
    }
    // A stop request or a failure: what was shown is written, the summary still tells what was seen.
    FlushOutput(stdout);
    drops(&known, &dropped);
    if (options.summary) PrintSummary(stderr, known, dropped);
    if (step == Step::kStopped) platform::end_as_stopped();
    return capture ? kExitCannotCapture : kExitUsage;
  }
  if (!FlushOutput(stdout)) return kExitUsage;
  drops(&known, &dropped);
  return Finish(known, dropped);
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
  o->payload = d.payload;
  o->stored = d.stored;
  o->length = d.length;
}

}  // namespace

bool Inspecting() {
  const InspectOptions& o = g_listener.options;
  return o.explain || o.json || o.ipv6 || o.summary || o.any || o.count != 0 ||
         o.timeout_seconds != 0 || o.mac_given || o.read_path != nullptr;
}

int InspectSocket(SOCKET s, bool drops_counted) {
  char startup[64];
  std::snprintf(startup, sizeof startup, kListeningFormat, g_listener.port);
  if (!PrintStartup(startup)) return kExitUsage;
  if (g_listener.options.summary) platform::catch_stop_requests();
  // The whole datagram, however large: a sync stream may start past any fixed size.
  unsigned char buffer[kInspectBufferSize];
  std::uint32_t drops = 0;
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
  auto dropped = [&](bool* known, std::uint32_t* count) {
    *known = drops_counted;
    *count = drops;
  };
  return Drive(next, dropped, false);
}

int InspectCapture() {
  const InspectOptions& options = g_listener.options;
  platform::Capture* capture = nullptr;
  int link_type = 0;
  char error[512] = "";
  const platform::CaptureOpened opened =
      options.read_path != nullptr
          ? platform::open_capture_file(options.read_path, &capture, &link_type, error, sizeof error)
          : platform::open_live_capture(options.interface_name, &capture, &link_type, error, sizeof error);
  const bool live = options.read_path == nullptr;
  if (opened != platform::CaptureOpened::kOpened) {
    if (opened == platform::CaptureOpened::kNeedsPrivilege) {
      std::fputs(kNeedsCapNetRaw, stderr);
    } else if (opened == platform::CaptureOpened::kNeedsLinuxBuild) {
      std::fputs(kNeedsLinuxBuild, stderr);
    } else if (opened == platform::CaptureOpened::kNoLibrary) {
      std::fprintf(stderr, kNeedsLibpcapFormat, error);
    } else if (live) {
      std::fprintf(stderr, kCaptureFailedFormat, error);
    } else {
      std::fprintf(stderr, kReadFailedFormat, options.read_path, error);
    }
    return kExitCannotCapture;
  }
  const char* filter = link_type == platform::kLinkEthernet ? kFilterEthernet
                       : (link_type == platform::kLinkRawIp) ? kFilterRawIp
                                                             : kFilterCooked;
  if (!platform::set_capture_filter(capture, filter, error, sizeof error)) {
    std::fprintf(stderr, kCaptureFailedFormat, error);
    platform::close_capture(capture);
    return kExitCannotCapture;
  }
  if (live) {
    char startup[128];
    if (options.interface_name != nullptr) {
      std::snprintf(startup, sizeof startup, kCapturingOnFormat, options.interface_name);
    } else {
      std::snprintf(startup, sizeof startup, "%s", kCapturingAll);
    }
    if (!PrintStartup(startup)) {
      platform::close_capture(capture);
      return kExitUsage;
    }
  }
  if (options.summary) platform::catch_stop_requests();
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
      if (live) {
        std::fprintf(stderr, kCaptureFailedFormat, platform::capture_error(capture));
      } else {
        std::fprintf(stderr, kReadFailedFormat, options.read_path, platform::capture_error(capture));
      }
      return Step::kFailed;
    }
    DecodedFrame decoded;
    if (!DecodeFrame(link_type, frame.data, frame.captured, &decoded)) return Step::kIdle;
    // The capture's own clock: for a file, when the frame was captured there.
    if (!second_known || frame.seconds != second) {
      second = frame.seconds;
      second_known = true;
      second_converts = platform::local_time_at(frame.seconds, 0, &second_local);
      if (second_converts) second_offset = UtcOffsetMinutes(second_local, frame.seconds);
    }
    if (second_converts) {
      o->local = second_local;
      o->local.milliseconds = static_cast<std::uint16_t>(frame.nanoseconds / 1000000);
      o->utc_offset_minutes = second_offset;
    } else {
      TakeTime(o);
    }
    FillFromFrame(decoded, o);
    if (live && options.interface_name != nullptr) {
      std::snprintf(o->interface_name, sizeof o->interface_name, "%s", options.interface_name);
    } else if (live) {
      RefreshInterfaces(NowMs());
      const char* name = InterfaceName(decoded.interface_index);
      std::snprintf(o->interface_name, sizeof o->interface_name, "%s", name != nullptr ? name : "");
    }
    return Step::kObservation;
  };
  auto dropped = [&](bool* known, std::uint32_t* count) { *known = platform::capture_drops(capture, count); };
  const int code = Drive(next, dropped, true);
  platform::close_capture(capture);
  return code;
}

}  // namespace listener
