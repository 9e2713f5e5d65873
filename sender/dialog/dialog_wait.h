// The dialog's wait (with /Wait): the target of each send watched from a timer, the time waited and then the outcome in the status line.
#pragma once

#include <cstdint>

#include "platform/interfaces.h"
#include "platform/ui.h"
#include "sender/address.h"
#include "sender/dialog/dialog.h"
#include "sender/wait.h"
#include "sender/wait_report.h"

namespace dialog {

// The timer that steps the wait, and how often: the probes' own beat is once a second, so a
// tenth of that keeps the answers and the seconds shown prompt at little cost.
constexpr int kWaitTimerId = 1;
constexpr unsigned kWaitTimerMs = 100;

// The wait of the last send, kept on the heap while the dialog lives (a WaitRun is large).
struct DialogWait {
  WaitRun run;
  platform::InterfaceRecord interfaces[kSendInterfaceRoom];
  char name[kTargetNameSize];
  char subject[kTargetNameSize + 24];   // "192.0.2.20 (nas)", as the status line names it
  // The send being watched, repeated by /Resend.
  int send_flags;
  std::uint32_t address;
  std::uint32_t mask;
  std::uint8_t mac[6];
  bool running;
  bool stepping;                        // a step is under way (a message box of a resend
                                        // runs the loop, and with it the timer)
  unsigned long long shown_seconds;     // what the status line says, so it is set only on change
};

// Watches the target of the send just made, when /Wait was given; a wait still running stops
// first. Nothing is watched without an address.
void StartDialogWait(platform::Window dialog, int send_flags);
// The timer's step: the probes that are due, the answers, and the status line.
void StepDialogWait(platform::Window dialog);
// Stops a running wait and says so in the status line; false when none was running.
bool StopDialogWait(platform::Window dialog);
// Stops the timer and gives the wait's record back (the dialog's end and ResetDialogState).
void EndDialogWait(platform::Window dialog);

}  // namespace dialog
