// The wait's lines, JSON objects and status line, written from the settled targets' judgements.
#include "sender/wait_report.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/printf_format.h"
#include "platform/ui.h"
#include "sender/address.h"

namespace {

// The texts of the wait, in one place.
namespace text {
constexpr const char* kSubjectNamed = "%s (%s)";
constexpr const char* kAwake = "%s is awake after %s s: %s (%s)";
constexpr const char* kAlreadyAwake = "%s was already awake: %s (%s)";
constexpr const char* kTimeout = "%s did not answer within %d s (%s; %s)";
constexpr const char* kWrongMac = "%s answered from %s, not the woken %s: is the address stale?";
constexpr const char* kPingReply = "ping reply";
constexpr const char* kTcpAccepted = "TCP accept on port %u";
constexpr const char* kTcpRefused = "TCP reset on port %u";
constexpr const char* kCheckedFrom = "%s from %s";
constexpr const char* kNotChecked = "%s; identity not checked (behind a router)";
constexpr const char* kNoWake = "no wake sent";
constexpr const char* kOneWake = "1 wake sent";
constexpr const char* kWakes = "%d wakes sent";
constexpr const char* kNoReplyTo = "no reply to ";
constexpr const char* kPing = "ping";
constexpr const char* kOr = " or ";
constexpr const char* kPort = "port %u";
constexpr const char* kPorts = "ports ";
constexpr const char* kPortSeparator = ", ";
constexpr const char* kNothingToProbe = "nothing could probe it: no ping and no ports";
constexpr const char* kUnconfirmed = "it answered, but the neighbour table never named its MAC";
constexpr const char* kStatus = "waiting for %d of %d targets: %llu s";
constexpr const char* kEchoUnavailablePorts = "ping cannot be used here (%s): the wait relies on the ports";
constexpr const char* kEchoUnavailableNoPorts =
    "ping cannot be used here (%s) and no ports are probed: nothing can see a target wake";
}  // namespace text

// The JSON words of the outcomes, answers and identity.
constexpr const char* kOutcomeWords[] = {"pending", "awake", "already-awake", "timeout", "wrong-mac"};
constexpr const char* kAnswerWords[] = {nullptr, "reply", "accepted", "refused"};
constexpr const char* kChecked = "checked";
constexpr const char* kNotCheckedWord = "not-checked";

// Text appended at `*length` within `room`, cut where it does not fit; the length keeps
// counting what would have been written, so the caller can tell.
void TIDEWAKE_PRINTF(4, 5) append(char* out, std::size_t room, std::size_t* length, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::size_t at = *length < room ? *length : room;
  const int n = std::vsnprintf(out + at, room - at, format, arguments);
  va_end(arguments);
  if (n > 0) *length += static_cast<std::size_t>(n);
}

int finish(std::size_t length, std::size_t room) {
  return static_cast<int>(length < room ? length : (room > 0 ? room - 1 : 0));
}

void format_mac(char out[18], const std::uint8_t mac[6]) {
  std::snprintf(out, 18, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

bool named(const WaitTarget& target) { return target.name != nullptr && target.name[0] != '\0'; }

// "192.0.2.20 (nas)", or the address alone.
void format_subject(const WaitTarget& target, char* out, std::size_t room) {
  char address[kAddressTextRoom];
  FormatIpAddress(address, target.address);
  if (named(target)) {
    std::snprintf(out, room, text::kSubjectNamed, address, target.name);
  } else {
    std::snprintf(out, room, "%s", address);
  }
}

void format_wakes(int wakes, char* out, std::size_t room) {
  if (wakes <= 0) {
    std::snprintf(out, room, "%s", text::kNoWake);
  } else if (wakes == 1) {
    std::snprintf(out, room, "%s", text::kOneWake);
  } else {
    std::snprintf(out, room, text::kWakes, wakes);
  }
}

void format_answer(const Judgement& judgement, char* out, std::size_t room) {
  switch (judgement.answer) {
    case ProbeAnswer::kTcpAccepted: std::snprintf(out, room, text::kTcpAccepted, judgement.port); break;
    case ProbeAnswer::kTcpRefused: std::snprintf(out, room, text::kTcpRefused, judgement.port); break;
    case ProbeAnswer::kPingReply:
    case ProbeAnswer::kNone: std::snprintf(out, room, "%s", text::kPingReply); break;
  }
}

// "ping reply from 02:54:57:00:0a:14", or the answer with the note that it was not checked.
void format_evidence(const Judgement& judgement, char* out, std::size_t room) {
  char answer[64];
  format_answer(judgement, answer, sizeof answer);
  if (judgement.identity_checked) {
    char mac[18];
    format_mac(mac, judgement.answered_mac);
    std::snprintf(out, room, text::kCheckedFrom, answer, mac);
  } else {
    std::snprintf(out, room, text::kNotChecked, answer);
  }
}

// What was tried and got nothing: "no reply to ping or ports 22, 3389".
void format_tried(const WaitRun& run, const TargetWatch& watch, char* out, std::size_t room) {
  if (watch.answered_unconfirmed) {
    std::snprintf(out, room, "%s", text::kUnconfirmed);
    return;
  }
  const int ports = run.settings.port_count;
  if (!run.echo_available && ports == 0) {
    std::snprintf(out, room, "%s", text::kNothingToProbe);
    return;
  }
  std::size_t length = 0;
  append(out, room, &length, "%s", text::kNoReplyTo);
  if (run.echo_available) append(out, room, &length, "%s", text::kPing);
  if (run.echo_available && ports > 0) append(out, room, &length, "%s", text::kOr);
  if (ports == 1) append(out, room, &length, text::kPort, run.settings.ports[0]);
  if (ports > 1) {
    append(out, room, &length, "%s", text::kPorts);
    for (int p = 0; p < ports; ++p) {
      append(out, room, &length, "%s%u", p > 0 ? text::kPortSeparator : "", run.settings.ports[p]);
    }
  }
}

// Seconds with one decimal, rounded: "14.2".
void format_tenths(std::uint64_t ms, char* out, std::size_t room) {
  const std::uint64_t tenths = (ms + 50) / 100;
  std::snprintf(out, room, "%llu.%llu", static_cast<unsigned long long>(tenths / 10),
                static_cast<unsigned long long>(tenths % 10));
}

// A JSON string: quotes, backslashes and control characters escaped; nullptr is null.
void append_json_string(char* out, std::size_t room, std::size_t* length, const char* value) {
  if (value == nullptr) {
    append(out, room, length, "null");
    return;
  }
  append(out, room, length, "\"");
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(value); *p != '\0'; ++p) {
    if (*p == '"' || *p == '\\') {
      append(out, room, length, "\\%c", *p);
    } else if (*p < 0x20) {
      append(out, room, length, "\\u%04x", *p);
    } else {
      append(out, room, length, "%c", *p);
    }
  }
  append(out, room, length, "\"");
}

}  // namespace

int FormatWaitSubject(const WaitRun& run, int index, char* out, std::size_t room) {
  if (room == 0) return 0;
  out[0] = '\0';
  if (index < 0 || index >= run.target_count) return 0;
  format_subject(run.targets[index].target, out, room);
  return static_cast<int>(std::strlen(out));
}

int FormatWaitLine(const WaitRun& run, int index, char* out, std::size_t room) {
  if (room == 0) return 0;
  out[0] = '\0';
  if (index < 0 || index >= run.target_count) return 0;
  const TargetWatch& watch = run.targets[index];
  const Judgement& judgement = watch.judgement;
  char subject[256], wakes[32], detail[512], seconds[32];
  format_subject(watch.target, subject, sizeof subject);
  format_wakes(watch.wakes_sent, wakes, sizeof wakes);
  std::size_t length = 0;
  switch (judgement.outcome) {
    case WaitOutcome::kAwake:
      format_tenths(watch.settled_ms, seconds, sizeof seconds);
      format_evidence(judgement, detail, sizeof detail);
      append(out, room, &length, text::kAwake, subject, seconds, detail, wakes);
      break;
    case WaitOutcome::kAlreadyAwake:
      format_evidence(judgement, detail, sizeof detail);
      append(out, room, &length, text::kAlreadyAwake, subject, detail, wakes);
      break;
    case WaitOutcome::kTimeout:
      format_tried(run, watch, detail, sizeof detail);
      append(out, room, &length, text::kTimeout, subject, run.settings.wait_seconds, wakes, detail);
      break;
    case WaitOutcome::kWrongMac: {
      char answered[18], woken[18];
      format_mac(answered, judgement.answered_mac);
      format_mac(woken, watch.target.mac);
      append(out, room, &length, text::kWrongMac, subject, answered, woken);
      break;
    }
    case WaitOutcome::kPending: break;
  }
  return finish(length, room);
}

int FormatWaitJson(const WaitRun& run, int index, char* out, std::size_t room) {
  if (room == 0) return 0;
  out[0] = '\0';
  if (index < 0 || index >= run.target_count) return 0;
  const TargetWatch& watch = run.targets[index];
  const Judgement& judgement = watch.judgement;
  char subject[256], address[kAddressTextRoom], mac[18], seconds[32];
  format_subject(watch.target, subject, sizeof subject);
  FormatIpAddress(address, watch.target.address);
  format_mac(mac, watch.target.mac);
  const bool answered = judgement.outcome != WaitOutcome::kTimeout && judgement.outcome != WaitOutcome::kPending;
  const std::uint64_t ms = judgement.outcome == WaitOutcome::kTimeout
                               ? static_cast<std::uint64_t>(run.settings.wait_seconds) * 1000
                               : watch.settled_ms;
  format_tenths(ms, seconds, sizeof seconds);

  std::size_t length = 0;
  append(out, room, &length, "{\"target\":");
  append_json_string(out, room, &length, subject);
  append(out, room, &length, ",\"name\":");
  append_json_string(out, room, &length, named(watch.target) ? watch.target.name : nullptr);
  append(out, room, &length, ",\"mac\":\"%s\",\"address\":\"%s\",\"outcome\":\"%s\",\"seconds\":%s",
         mac, address, kOutcomeWords[static_cast<int>(judgement.outcome)], seconds);
  if (!answered) {
    append(out, room, &length, ",\"probe\":null,\"answer\":null");
  } else if (judgement.answer == ProbeAnswer::kPingReply) {
    append(out, room, &length, ",\"probe\":\"ping\",\"answer\":\"%s\"", kAnswerWords[static_cast<int>(judgement.answer)]);
  } else {
    append(out, room, &length, ",\"probe\":\"tcp/%u\",\"answer\":\"%s\"", judgement.port,
           kAnswerWords[static_cast<int>(judgement.answer)]);
  }
  if (answered && judgement.identity_checked) {
    char answered_mac[18];
    format_mac(answered_mac, judgement.answered_mac);
    append(out, room, &length, ",\"answered_mac\":\"%s\"", answered_mac);
  } else {
    append(out, room, &length, ",\"answered_mac\":null");
  }
  const bool checked = answered ? judgement.identity_checked : watch.target.local;
  append(out, room, &length, ",\"wakes_sent\":%d,\"identity\":\"%s\"}", watch.wakes_sent,
         checked ? kChecked : kNotCheckedWord);
  return finish(length, room);
}

int FormatWaitStatus(const WaitRun& run, char* out, std::size_t room) {
  if (room == 0) return 0;
  std::size_t length = 0;
  out[0] = '\0';
  append(out, room, &length, text::kStatus, run.unsettled, run.target_count,
         static_cast<unsigned long long>(WaitElapsedMs(run) / 1000));
  return finish(length, room);
}

int FormatEchoUnavailable(const WaitRun& run, const char* reason, char* out, std::size_t room) {
  if (room == 0) return 0;
  std::size_t length = 0;
  out[0] = '\0';
  append(out, room, &length, run.settings.port_count > 0 ? text::kEchoUnavailablePorts : text::kEchoUnavailableNoPorts,
         reason != nullptr ? reason : "");
  return finish(length, room);
}

void WaitStatusOpen(WaitStatusLine* line) {
  line->terminal = platform::standard_error_is_terminal();
  line->shown = 0;
  line->text[0] = '\0';
}

void WaitStatusShow(WaitStatusLine* line, const char* status) {
  if (!line->terminal) return;
  if (line->shown > 0 && std::strncmp(line->text, status, sizeof line->text) == 0) return;
  std::snprintf(line->text, sizeof line->text, "%s", status);
  const int length = static_cast<int>(std::strlen(line->text));
  // Spaces over what is left of a longer text before: portable to every console, where an
  // erase sequence is not.
  const int pad = line->shown > length ? line->shown - length : 0;
  std::fprintf(stderr, "\r%s%*s", line->text, pad, "");
  if (pad > 0) std::fprintf(stderr, "\r%s", line->text);
  std::fflush(stderr);
  line->shown = length;
}

void WaitStatusClear(WaitStatusLine* line) {
  if (!line->terminal || line->shown == 0) return;
  std::fprintf(stderr, "\r%*s\r", line->shown, "");
  std::fflush(stderr);
  line->shown = 0;
}
