// The dialog's wait: each send's target watched one timer step at a time, so that the dialog stays free while it waits.
#include "sender/dialog/dialog_wait.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sender/dialog/layout.h"
#include "sender/error_text.h"
#include "sender/program.h"

namespace dialog {

namespace {

// The dialog's wait texts; the subject is named as the outcome line names it.
constexpr char kWaitingFormat[] = "Waiting for %s: %llu s";
constexpr char kStoppedFormat[] = "Stopped waiting for %s after %llu s";
constexpr char kCannotWatchFormat[] = "Cannot watch %s: %s";

void SetStatus(platform::Window dialog, const char* text) {
  g_dialog.status_names_ended_line = false;
  g_dialog.host->set_item_text(dialog, kIdStatus, text);
}

unsigned long long ElapsedSeconds(const WaitRun& run) { return WaitElapsedMs(run) / 1000; }

// /Resend: the dialog's send once more, as the operator made it.
bool Resend(void* context, int) {
  const DialogWait* wait = static_cast<const DialogWait*>(context);
  g_dialog.services.send_wake_packets(wait->send_flags, wait->address, wait->mask, wait->mac);
  return true;
}

WaitSettings SettingsOf(const WaitOptions& options) {
  WaitSettings settings{};
  settings.wait_seconds = options.seconds;
  for (int p = 0; p < options.port_count; ++p) settings.ports[settings.port_count++] = options.ports[p];
  settings.resend_seconds = options.resend_seconds;
  return settings;
}

void Stop(platform::Window dialog, DialogWait* wait) {
  g_dialog.host->kill_timer(dialog, kWaitTimerId);
  WaitEnd(&wait->run);
  wait->running = false;
}

// Whether the address is on one of this host's subnets, so that the answer's MAC can be checked.
bool OnLocalSubnet(DialogWait* wait) {
  const int count = QueryInterfaces(wait->interfaces, kSendInterfaceRoom);
  return count > 0 && InterfaceOfSubnet(wait->interfaces, count, wait->address) >= 0;
}

}  // namespace

void StartDialogWait(platform::Window dialog, int send_flags) {
  if (g_program.wait.wait_token == nullptr) return;
  if (g_dialog.wait != nullptr && g_dialog.wait->running) Stop(dialog, g_dialog.wait);
  if (g_dialog.target_address == 0) return;
  if (g_dialog.wait == nullptr) g_dialog.wait = static_cast<DialogWait*>(std::calloc(1, sizeof(DialogWait)));
  DialogWait* wait = g_dialog.wait;
  if (wait == nullptr) return;

  wait->send_flags = send_flags;
  wait->address = g_dialog.target_address;
  wait->mask = g_dialog.target_mask;
  std::memcpy(wait->mac, g_dialog.target_mac, sizeof wait->mac);
  wait->name[0] = '\0';
  g_dialog.host->get_item_text(dialog, kIdTargetName, wait->name, static_cast<int>(sizeof wait->name));
  WaitBegin(&wait->run, SettingsOf(g_program.wait), Resend, wait);
  WaitTarget target{wait->address, {}, OnLocalSubnet(wait), wait->name[0] != '\0' ? wait->name : nullptr};
  std::memcpy(target.mac, wait->mac, sizeof target.mac);
  WaitAddTarget(&wait->run, target);
  FormatWaitSubject(wait->run, 0, wait->subject, sizeof wait->subject);
  // The wake went out with the click: the watch starts now (a target already up shows as
  // awake after its first answer).
  WaitCountWake(&wait->run, 0);
  if (!WaitStartWatching(&wait->run)) {
    char status[kFieldTextSize];
    std::snprintf(status, sizeof status, kCannotWatchFormat, wait->subject, WinsockErrorText(0));
    SetStatus(dialog, status);
    WaitEnd(&wait->run);
    return;
  }
  wait->running = true;
  wait->stepping = false;
  wait->shown_seconds = ~0ULL;
  g_dialog.host->set_timer(dialog, kWaitTimerId, kWaitTimerMs);
  StepDialogWait(dialog);
}

void StepDialogWait(platform::Window dialog) {
  DialogWait* wait = g_dialog.wait;
  if (wait == nullptr || !wait->running || wait->stepping) return;
  wait->stepping = true;
  WaitStep(&wait->run, 0);
  wait->stepping = false;
  // A resend's message box may have let the operator stop this wait, or start another one.
  if (!wait->running) return;

  char status[kWaitReportRoom];
  if (WaitNextSettled(&wait->run) >= 0) {
    FormatWaitLine(wait->run, 0, status, sizeof status);
    Stop(dialog, wait);
    SetStatus(dialog, status);
    return;
  }
  const unsigned long long seconds = ElapsedSeconds(wait->run);
  if (seconds == wait->shown_seconds) return;
  wait->shown_seconds = seconds;
  std::snprintf(status, sizeof status, kWaitingFormat, wait->subject, seconds);
  SetStatus(dialog, status);
}

bool StopDialogWait(platform::Window dialog) {
  DialogWait* wait = g_dialog.wait;
  if (wait == nullptr || !wait->running) return false;
  const unsigned long long seconds = ElapsedSeconds(wait->run);
  Stop(dialog, wait);
  char status[kWaitReportRoom];
  std::snprintf(status, sizeof status, kStoppedFormat, wait->subject, seconds);
  SetStatus(dialog, status);
  return true;
}

void EndDialogWait(platform::Window dialog) {
  DialogWait* wait = g_dialog.wait;
  if (wait == nullptr) return;
  if (wait->running && g_dialog.host != nullptr) Stop(dialog, wait);
  WaitEnd(&wait->run);
  std::free(wait);
  g_dialog.wait = nullptr;
}

}  // namespace dialog
