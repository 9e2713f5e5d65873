// The relay's run: keys, hosts and sockets set up once, then each request checked, relayed through the one send path, answered and logged in one line.
#include "listener/relay_run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/address_text.h"
#include "common/host_file.h"
#include "common/relay_key_file.h"
#include "common/relay_sign.h"
#include "common/relay_text.h"
#include "common/wake_send.h"
#include "listener/relay_plan.h"
#include "listener/relay_texts.h"
#include "listener/texts.h"
#include "platform/datagram.h"
#include "platform/ether.h"
#include "platform/interfaces.h"
#include "platform/waiting.h"

namespace listener {

namespace {

// A request is 162 bytes; anything longer is refused by its length, so the rest of it is not
// needed (the receive reports its real length).
constexpr int kRelayReceiveRoom = 512;
constexpr std::size_t kRelayLineRoom = 1024;
constexpr std::size_t kRelayedToRoom = 512;
// The Winsock code of a connection reset (WSAECONNRESET).
constexpr int kConnectionReset = 10054;
// How long the last lines and the summary may take once the run ends.
constexpr int kFinalWritesMs = 1000;

// Everything the run holds; allocated once, so that no request makes it grow.
struct RelayRun {
  wake::RelayKeyRing keys;
  RelayMemory memory;
  std::uint8_t allowed[wake::kMaxFileHosts][wake::kMacLength];
  int allowed_count;
  bool allow_list;
  platform::InterfaceRecord interfaces[kInterfaceRoom];
  SOCKET socket;
  SOCKET ether;
  std::uint64_t requests;
  std::uint64_t relayed;
};

std::uint64_t NowMs() {
  return platform::performance_counter() / (platform::performance_frequency() / 1000);
}

struct HostsContext {
  const char* path;
};

void ReportBadHost(void* context, int line_number, const char* reason, const char* field) {
  std::fprintf(stderr, kRelayBadHostLineFormat, static_cast<HostsContext*>(context)->path, line_number, reason, field);
}

// The MACs of -Hosts: a line that cannot be read is reported and the others kept, as
// kestrava /File= does; a file that cannot be read or names no host stops the relay.
bool LoadAllowList(const char* path, RelayRun* run) {
  const char* reason = nullptr;
  char* text = wake::ReadHostFile(path, &reason);
  if (text == nullptr) {
    std::fprintf(stderr, kRelayHostsFormat, path, reason);
    return false;
  }
  wake::WakeTarget* hosts = static_cast<wake::WakeTarget*>(std::calloc(wake::kMaxFileHosts, sizeof *hosts));
  HostsContext context{path};
  const int count = hosts == nullptr ? 0 : wake::ParseHostText(text, hosts, wake::kMaxFileHosts, ReportBadHost, &context);
  for (int i = 0; i < count; ++i) std::memcpy(run->allowed[i], hosts[i].mac, wake::kMacLength);
  run->allowed_count = count;
  run->allow_list = true;
  std::free(hosts);
  std::free(text);
  if (count == 0) std::fprintf(stderr, kRelayHostsFormat, path, kRelayHostsNone);
  return count > 0;
}

// Whether -Interface names an interface the relay can wake on.
bool InterfaceUsable(const RelayRun& run, int count, const char* name) {
  wake::RelayRequest probe;
  probe.port_count = 1;
  probe.ports[0] = static_cast<std::uint16_t>(wake::kDefaultPort);
  const RelayPlan plan = PlanRelayedWake(probe, run.interfaces, count, name, false);
  return plan.subnet_count > 0;
}

bool OpenEther(RelayRun* run) {
  switch (platform::open_ether_socket(&run->ether)) {
    case platform::EtherOpen::kOpened: return true;
    case platform::EtherOpen::kNoPermission: std::fputs(kRelayEtherNoPermission, stderr); break;
    case platform::EtherOpen::kUnsupported: std::fputs(kRelayEtherUnsupported, stderr); break;
    case platform::EtherOpen::kFailed: std::fprintf(stderr, kRelayEtherFailedFormat, platform::last_socket_error()); break;
  }
  return false;
}

// The request's wake carried out step by step; returns the steps that went out, and in
// *error the Winsock code of the last that did not.
int CarryOut(const RelayPlan& plan, RelayRun* run, int* error) {
  wake::SendChannels channels{};
  const wake::WakeExtras extras{0, plan.password_length != 0 ? plan.password : nullptr, plan.password_length};
  int sent = 0;
  RelayStep step{};
  for (int n = 0; RelayPlanStep(plan, n, &step); ++n) {
    bool ok = false;
    if (step.frame) {
      std::size_t length = 0;
      ok = wake::SendWakeFrame(run->ether, step.subnet->index, plan.mac, extras, &length);
      if (!ok) *error = platform::last_socket_error();
    } else {
      // The plain magic packet without kestrava's header: what every wake-capable card and
      // every other listener knows.
      wake::WakeDatagram d{};
      d.kind = wake::kSendBroadcastMagic;
      d.header_length = 0;
      d.mac = plan.mac;
      d.extras = extras;
      d.destination = wake::Ipv4Address(step.subnet->broadcast);
      d.port = step.port;
      d.broadcast = true;
      d.interface_index = step.subnet->index;
      d.source = step.subnet->address;
      wake::SendResult result = wake::SendWakeDatagram(&channels, d);
      if (!result.sent && result.channel != nullptr && result.channel->setup_error != 0) {
        // A system that cannot pin the way out (Wine takes no interface index) still routes a
        // connected subnet's broadcast out of that subnet's interface, from the bound source.
        d.interface_index = 0;
        result = wake::SendWakeDatagram(&channels, d);
      }
      ok = result.sent;
      if (!ok) *error = result.send_error;
    }
    if (ok) ++sent;
  }
  wake::CloseChannels(&channels);
  return sent;
}

void JsonTime(char* text, std::size_t room) {
  platform::TimeWithMs now{};
  platform::time_with_ms(&now);
  const platform::SystemTime& t = now.local;
  const int minutes = UtcOffsetMinutes(now.local, now.seconds);
  const int offset = minutes < 0 ? -minutes : minutes;
  std::snprintf(text, room, kJsonTimeFormat, t.year, t.month, t.day, t.hour, t.minute, t.second, t.milliseconds,
                minutes < 0 ? '-' : '+', offset / 60, offset % 60);
}

// One request: checked, relayed, answered, logged. False when the output failed.
bool HandleRequest(const RelayOptions& options, const InspectOptions& output, const std::uint8_t* data,
                   std::size_t length, const platform::ReceivedDatagram& info, RelayRun* run) {
  platform::TimeWithMs now{};
  platform::time_with_ms(&now);
  RelayCheckInput input{data, length, &run->keys, {nullptr, 0}, now.seconds, NowMs(), RelayLimits{}};
  if (run->allow_list) input.allowed = MacAllowList{run->allowed, run->allowed_count};
  const RelayVerdict verdict = CheckRelayRequest(input, &run->memory);
  ++run->requests;

  RelayLineFacts facts{};
  facts.from = &info.sender;
  facts.from_port = info.sender_port;
  facts.refusal = verdict.refusal;
  // The fields of a request that could not be read as one mean nothing.
  if (verdict.refusal == RelayRefusal::kNone || verdict.refusal > RelayRefusal::kMalformed) facts.mac = verdict.request.mac;
  char relayed_to[kRelayedToRoom] = "";
  char not_sent[128] = "";
  if (verdict.refusal == RelayRefusal::kNone) {
    // Read again for each wake: addresses come and go while a relay runs for months.
    const int count = platform::query_interfaces(run->interfaces, kInterfaceRoom);
    const RelayPlan plan = PlanRelayedWake(verdict.request, run->interfaces, count < 0 ? 0 : count,
                                           output.interface_name, options.ether);
    int error = 0;
    const int sent = plan.send == 0 ? 0 : CarryOut(plan, run, &error);
    if (plan.send == 0) {
      facts.not_sent = plan.subnet_count == 0 ? kRelayNoSubnet : kRelayFramesOff;
    } else if (sent == 0) {
      std::snprintf(not_sent, sizeof not_sent, kRelaySendFailedFormat, error);
      facts.not_sent = not_sent;
    } else {
      const wake::RelayAck ack = MakeRelayAck(plan, verdict.request, sent);
      wake::FormatRelayedTo(ack, relayed_to, sizeof relayed_to);
      facts.relayed_to = relayed_to;
      facts.datagrams = sent;
      ++run->relayed;
      g_listener.wake_kept = true;
      // Only a wake that went out is answered, to the request's own sender, and the answer is
      // no larger than the request.
      std::uint8_t answer[wake::kAckLength];
      sockaddr_in to{};
      to.sin_family = AF_INET;
      std::memcpy(&to.sin_addr, info.sender.bytes, 4);
      to.sin_port = htons(static_cast<unsigned short>(info.sender_port));
      if (!wake::SignRelayAck(ack, *verdict.key, answer)) {
        facts.ack_error = -1;
      } else if (sendto(run->socket, reinterpret_cast<const char*>(answer), static_cast<int>(sizeof answer), 0,
                        reinterpret_cast<const sockaddr*>(&to), sizeof to) != static_cast<int>(sizeof answer)) {
        facts.ack_error = platform::last_socket_error();
      }
    }
  }

  char stamp[kTimeStampSize + 1];
  std::snprintf(stamp, sizeof stamp, "%s", CurrentTimeStamp());
  char json_time[64];
  JsonTime(json_time, sizeof json_time);
  facts.time_stamp = stamp;
  facts.time_json = json_time;
  char text[kRelayLineRoom];
  TextLine line{text, sizeof text, 0};
  AppendRelayLine(&line, facts, output.json);
  return WriteOutput(text, line.length, stdout);
}

void PrintRelaySummary(const RelayRun& run) {
  std::fprintf(stderr, kRelaySummaryFormat, static_cast<unsigned long long>(run.requests),
               static_cast<unsigned long long>(run.relayed));
  for (int i = 1; i < kRelayRefusalKinds; ++i) {
    const std::uint64_t n = run.memory.outcomes[i];
    if (n != 0) {
      std::fprintf(stderr, kRelaySummaryRefusalFormat, static_cast<unsigned long long>(n),
                   RelayRefusalText(static_cast<RelayRefusal>(i)));
    }
  }
  std::fflush(stderr);
}

// Receives and handles requests until the count, the time, a stop request or a failure.
int RelayLoop(const RelayOptions& options, const InspectOptions& output, RelayRun* run) {
  std::uint8_t buffer[kRelayReceiveRoom];
  const std::uint64_t start = NowMs();
  const std::uint64_t limit_ms = static_cast<std::uint64_t>(output.timeout_seconds) * 1000;
  for (;;) {
    if (output.count != 0 && run->requests >= static_cast<std::uint64_t>(output.count)) break;
    int wait_ms = -1;
    if (limit_ms != 0) {
      const std::uint64_t elapsed = NowMs() - start;
      if (elapsed >= limit_ms) break;
      wait_ms = static_cast<int>(limit_ms - elapsed);
    }
    const int waited = platform::wait_readable(run->socket, wait_ms);
    if (waited == platform::kWaitStopped || platform::stop_requested()) {
      platform::interrupt_blocking_calls_after(kFinalWritesMs);
      if (!std::ferror(stdout)) std::fflush(stdout);
      if (output.summary) PrintRelaySummary(*run);
      platform::end_as_stopped();
      return kExitUsage;
    }
    if (waited == platform::kWaitFailed) return kExitUsage;
    if (waited != platform::kWaitReady) continue;
    platform::ReceivedDatagram info{};
    if (!platform::receive_datagram(run->socket, buffer, sizeof buffer, false, &info)) {
      // Windows reports an ICMP "port unreachable" that answered an acknowledgement as a failed
      // receive: the sender had gone, which ends nothing here.
      if (platform::last_socket_error() == kConnectionReset) continue;
      return kExitUsage;
    }
    const std::size_t length = static_cast<std::size_t>(info.truncated ? info.length : info.stored);
    if (!HandleRequest(options, output, buffer, length, info, run)) return kExitUsage;
  }
  if (output.summary) PrintRelaySummary(*run);
  return run->relayed != 0 ? kExitWakeSeen : kExitNoWake;
}

// Sets up everything before the port opens; false after the one line that says why not.
bool PrepareRelay(const ListenerCommandLine& line, RelayRun* run) {
  if (!wake::OpenRelayCrypto(kProgramName, stderr)) return false;
  if (!wake::LoadRelayKeys(line.relay.key_path, kProgramName, &run->keys, stderr)) return false;
  if (line.relay.hosts_path != nullptr && !LoadAllowList(line.relay.hosts_path, run)) return false;
  const char* name = line.options.interface_name;
  if (name != nullptr) {
    const int count = platform::query_interfaces(run->interfaces, kInterfaceRoom);
    if (count < 0) {
      std::fputs(kRelayInterfacesFailed, stderr);
      return false;
    }
    if (!InterfaceUsable(*run, count, name)) {
      std::fprintf(stderr, kRelayNoInterfaceFormat, name);
      return false;
    }
  }
  return !line.relay.ether || OpenEther(run);
}

}  // namespace

void AppendRelayLine(TextLine* line, const RelayLineFacts& f, bool json) {
  char from[wake::kIpTextRoom];
  wake::FormatIpText(*f.from, from, sizeof from);
  char mac[wake::kMacTextRoom] = "";
  if (f.mac != nullptr) wake::FormatMacText(f.mac, mac);
  const bool passed = f.refusal == RelayRefusal::kNone;
  if (!json) {
    Append(line, kRelayLineFormat, f.time_stamp, from, f.from_port);
    if (f.mac != nullptr) Append(line, kRelayForFormat, mac);
    if (!passed) {
      Append(line, kRelayRefusedFormat, RelayRefusalText(f.refusal));
    } else if (f.not_sent != nullptr) {
      Append(line, kRelayNotSentFormat, f.not_sent);
    } else {
      Append(line, kRelayRelayedFormat, f.relayed_to);
      if (f.ack_error != 0) Append(line, kRelayAckFailedFormat, f.ack_error);
      Append(line, "%s", kRelayLineEnd);
    }
    return;
  }
  const char* outcome = !passed ? kRelayOutcomeRefused : f.not_sent != nullptr ? kRelayOutcomeNotSent
                                                                              : kRelayOutcomeRelayed;
  Append(line, "{\"time\":");
  AppendJsonString(line, f.time_json);
  Append(line, ",\"relay_request_from\":");
  AppendJsonString(line, from);
  Append(line, ",\"from_port\":%d,\"mac\":", f.from_port);
  if (f.mac != nullptr) {
    AppendJsonString(line, mac);
  } else {
    Append(line, "null");
  }
  Append(line, ",\"outcome\":");
  AppendJsonString(line, outcome);
  Append(line, ",\"reason\":");
  if (!passed || f.not_sent != nullptr) {
    AppendJsonString(line, !passed ? RelayRefusalText(f.refusal) : f.not_sent);
  } else {
    Append(line, "null");
  }
  Append(line, ",\"relayed_to\":");
  if (f.relayed_to != nullptr) {
    AppendJsonString(line, f.relayed_to);
  } else {
    Append(line, "null");
  }
  Append(line, ",\"datagrams\":%d,\"acknowledged\":%s}\n", f.datagrams,
         passed && f.relayed_to != nullptr && f.ack_error == 0 ? "true" : "false");
}

int RunRelay(const ListenerCommandLine& line) {
  // The stop request is caught before anything can block, so that the run ends its own way.
  platform::catch_stop_requests();
  RelayRun* run = static_cast<RelayRun*>(std::calloc(1, sizeof(RelayRun)));
  if (run == nullptr) {
    std::fputs(kRelayNoMemory, stderr);
    return kExitUsage;
  }
  run->socket = INVALID_SOCKET;
  run->ether = INVALID_SOCKET;
  int code = kExitUsage;
  if (!PrepareRelay(line, run)) {
    std::fflush(stderr);
  } else if (!platform::socket_startup(2, 2)) {
    code = kExitStartupFailed;
  } else {
    run->socket = socket(AF_INET, SOCK_DGRAM, 0);
    const int port = line.relay.port_given ? line.port : wake::kRelayPort;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<unsigned short>(port & 0xFFFF));
    if (run->socket == INVALID_SOCKET) {
      code = kExitSocketFailed;
    } else if (bind(run->socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
      std::fprintf(stderr, kBindFailedFormat, platform::last_socket_error());
      std::fflush(stderr);
      code = kExitBindFailed;
    } else {
      platform::enlarge_receive_buffer(run->socket, kReceiveQueueBytes);
      if (line.options.timeout_seconds != 0) {
        // An output nobody reads cannot hold the run past its time either.
        platform::interrupt_blocking_calls_after(static_cast<std::int64_t>(line.options.timeout_seconds) * 1000 +
                                                 kFinalWritesMs);
      }
      char startup[64];
      const int n = std::snprintf(startup, sizeof startup, kRelayListeningFormat, port & 0xFFFF);
      // With -Json standard output holds the objects alone, as the inspector's does.
      const bool started = WriteOutput(startup, static_cast<std::size_t>(n), line.options.json ? stderr : stdout);
      if (started) code = RelayLoop(line.relay, line.options, run);
    }
    if (run->socket != INVALID_SOCKET) closesocket(run->socket);
    platform::socket_cleanup();
  }
  if (run->ether != INVALID_SOCKET) closesocket(run->ether);
  wake::WipeSecret(&run->keys, sizeof run->keys);
  std::free(run);
  return code;
}

}  // namespace listener
