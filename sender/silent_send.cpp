// The silent send: every wake the command line asks for, settled in full before the first one goes out, then sent round by round.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "common/relay_key_file.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "sender/error_text.h"
#include "sender/message_box.h"
#include "sender/program.h"
#include "sender/send_plan.h"
#include "sender/send_texts.h"

namespace {

constexpr int kSocketsMajor = 2;
constexpr int kSocketsMinor = 0;
constexpr unsigned long kAfterSendPauseMs = 10;
constexpr std::size_t kLineRoom = 512;

}  // namespace

bool SendTargetWake(const SendOptions& options, SendPlan* plan, const WakeTarget& target, std::uint32_t sequence) {
  if (target.relay != nullptr) return SendTargetRelayed(options, *plan, target);
  if (options.ether) return SendTargetFrame(options, *plan, target);
  return SendTargetDatagram(options, plan, target, sequence);
}

// With more than one round every datagram carries its round as the header's sequence number.
void SendRounds(const SendOptions& options, SendPlan* plan, int* wakes) {
  for (int round = 1; round <= options.count; ++round) {
    if (round > 1) platform::sleep_ms(static_cast<unsigned long>(options.interval_ms));
    const std::uint32_t sequence = options.count > 1 ? static_cast<std::uint32_t>(round) : 0;
    for (int i = 0; i < plan->target_count; ++i) {
      const WakeTarget& target = plan->targets[i];
      // A relay sends the copies itself: its target gets one request, in the first round.
      if (target.relay != nullptr && round > 1) continue;
      const bool sent = SendTargetWake(options, plan, target, sequence);
      if (!sent) ++plan->failures;
      if (sent && wakes != nullptr) ++wakes[i];
    }
  }
}

void ReportLine(const char* format, ...) {
  char text[kLineRoom];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (platform::standard_error_present()) {
    std::fprintf(stderr, "%s: %s\n", send_texts::kProgramName, text);
    std::fflush(stderr);
  } else {
    ShowMessageBox(nullptr, text, send_texts::kProgramName, platform::kMessageBoxOk | platform::kMessageBoxIconWarning);
  }
}

void ReportSendFailure(const SendPlan& plan, const WakeTarget& target, const char* caption, int error) {
  const char* text = WinsockErrorText(static_cast<std::uint32_t>(error));
  char located[kLineRoom];
  if (target.line != 0) {
    std::snprintf(located, sizeof located, send_texts::kHostCaptionFormat, caption, plan.file_path, target.line);
    caption = located;
  }
  ShowMessageBox(nullptr, text, caption, platform::kMessageBoxOk);
}

SendOutcome SilentSend(const CommandLine& line) {
  platform::socket_startup(kSocketsMajor, kSocketsMinor);
  SendOutcome outcome = SendOutcome::kSomeFailed;
  SendPlan* plan = static_cast<SendPlan*>(std::calloc(1, sizeof(SendPlan)));
  if (plan != nullptr) {
    plan->ether_socket = INVALID_SOCKET;
    outcome = PrepareSend(line, plan);
    if (outcome == SendOutcome::kAllSent && line.send.wait.wait_token != nullptr) {
      outcome = SendAndWait(line.send, plan);
    } else if (outcome == SendOutcome::kAllSent) {
      SendRounds(line.send, plan, nullptr);
      outcome = plan->failures == 0 ? SendOutcome::kAllSent : SendOutcome::kSomeFailed;
    }
    wake::CloseChannels(&plan->channels);
    if (plan->ether_socket != INVALID_SOCKET) closesocket(plan->ether_socket);
    std::free(plan->file_text);
    wake::WipeSecret(&plan->relay_keys, sizeof plan->relay_keys);
    std::free(plan);
  }
  platform::socket_cleanup();
  platform::sleep_ms(kAfterSendPauseMs);
  return outcome;
}

void ReportRefusedOption(const CommandLine& line) {
  ReportLine(send_texts::kRefusedFormat, line.bad_token, line.bad_reason);
}
