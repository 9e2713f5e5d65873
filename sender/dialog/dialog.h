// The main dialog of kestrava: its portable dialog procedure, its state and the services it calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ui.h"
#include "sender/dialog/dialog_host.h"

namespace dialog {

// The dialog procedure: TRUE (kTrue) for WM_INITDIALOG, FALSE for everything else.
// It calls the installed DialogHost for every window operation.
int MainDialogProc(platform::Window dialog, unsigned message, WParam wparam, LParam lparam);

// The operations outside the dialog that an operator's action runs. A record of pointers,
// so that a test can put fakes in their place and no packet leaves the machine.
struct DialogServices {
  // SendWakePackets: the send flags, address and mask (network byte order), 6-byte MAC.
  void (*send_wake_packets)(int send_flags, std::uint32_t address, std::uint32_t mask,
                            const std::uint8_t* mac);
  // LookupMacAddress: writes the MAC text into mac_text (at least 18 characters) when found.
  int (*lookup_mac_address)(const char* ip_text, char* mac_text);
  // Host-name lookup: the first IPv4 address of the name in network byte order.
  bool (*lookup_host_address)(const char* name, std::uint32_t* address);
};
// The real services.
extern const DialogServices kRealDialogServices;

constexpr std::size_t kTargetNameSize = 128;
constexpr std::size_t kIpTextSize = 20;
constexpr std::size_t kMacTextSize = 20;
constexpr std::size_t kFieldTextSize = 256;
constexpr std::size_t kAboutTextSize = 512;

struct GtkModuleExports;  // sender/dialog/gtk_module.h

// Everything the dialog keeps between messages, for the life of the process.
// ResetDialogState() puts it back to these initial values.
struct DialogState {
  char target_name[kTargetNameSize] = {};  // Target Name when a resolve button was last pressed
  char ip_text[kIpTextSize] = {};          // IP Address when Get MacAddress was last pressed
  char mac_text[kMacTextSize] = {};        // result of the last MAC lookup
  std::uint32_t target_address = 0;        // network byte order, at the last send
  std::uint32_t target_mask = 0;           // network byte order, at the last send
  std::uint8_t target_mac[6] = {};         // parsed at the last send
  char field_text[kFieldTextSize] = {};    // scratch buffer for reading a field
  char about_text[kAboutTextSize] = {};    // notice and version text of control 1016
  bool status_names_ended_line = false;    // the status line names what ended the command line
  const DialogHost* host = nullptr;        // the window services (SetDialogHost)
  DialogServices services = kRealDialogServices;  // what the operator's actions run
  const GtkModuleExports* gtk_module = nullptr;   // the GTK host, once its module is open (Linux)
};
extern DialogState g_dialog;

void ResetDialogState();

// The dialog's texts.
constexpr char kCaptionFormat[] = "Tidewake %s";
constexpr char kMessageCaption[] = "Tidewake";
constexpr char kBannerText[] = " Tidewake";
constexpr char kAboutFormat[] = "%s\nVersion %s";
constexpr char kAboutNotice[] = "Tidewake, a Wake-on-LAN tester by the Tidewake Project";
constexpr char kVersionFile[] = "Kestrava.exe";
constexpr char kNullText[] = "(null)";
constexpr char kPacketSentTo[] = "Pkt. sent to ";
// The status line at the start when the command line ended early: the token, then why.
constexpr char kEndedStatusFormat[] = "%s: %s; nothing was sent";
constexpr char kHelpFile[] = "Tidewake.chm";
// The status line when the GTK host cannot show the help page (missing, or no working xdg-open).
constexpr char kHelpUnopenedText[] = "Unable to open the help page.";
constexpr char kUnknownMacText[] =
    "Unknown MAC address.\nPlease manually type in the target machine's MAC address details.";
constexpr char kUnresolvedIpText[] = "Unable to resolve IP details.\nPlease manually type them in.";
constexpr char kDetailsRequiredText[] = "Target Name and IP Address Details are required.";
constexpr char kUnresolvedMacText[] =
    "Unable to resolve MAC address.\nPlease manually type in the target machine's MAC address "
    "details.";

}  // namespace dialog
