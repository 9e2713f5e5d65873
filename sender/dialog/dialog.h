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
extern DialogServices g_dialog_services;  // the real services unless a test replaced them

// State kept by the procedure between messages; process-wide.
constexpr std::size_t kTargetNameSize = 128;
constexpr std::size_t kIpTextSize = 20;
constexpr std::size_t kMacTextSize = 20;
constexpr std::size_t kFieldTextSize = 256;
constexpr std::size_t kAboutTextSize = 512;

extern char g_target_name[kTargetNameSize];  // Target Name when a resolve button was last pressed
extern char g_ip_text[kIpTextSize];          // IP Address when Get MacAddress was last pressed
extern char g_mac_text[kMacTextSize];        // result of the last MAC lookup
extern std::uint32_t g_target_address;       // network byte order, at the last send
extern std::uint32_t g_target_mask;          // network byte order, at the last send
extern std::uint8_t g_target_mac[6];         // parsed at the last send
extern char g_field_text[kFieldTextSize];    // scratch buffer for reading a field
extern char g_about_text[kAboutTextSize];    // notice and version text of control 1016

// The dialog's texts.
constexpr char kCaptionFormat[] = "Tidewake %s";
constexpr char kMessageCaption[] = "Tidewake";
constexpr char kBannerText[] = " Tidewake";
constexpr char kAboutFormat[] = "%s\nVersion %s";
constexpr char kAboutNotice[] = "Tidewake, a Wake-on-LAN tester by the Tidewake Project";
constexpr char kVersionFile[] = "Kestrava.exe";
constexpr char kCopyrightKey[] = "\\StringFileInfo\\080904B0\\LegalCopyRight";
constexpr char kFileVersionKey[] = "\\StringFileInfo\\080904B0\\FileVersion";
constexpr char kNullText[] = "(null)";
constexpr char kPacketSentTo[] = "Pkt. sent to ";
constexpr char kHelpFile[] = "Tidewake.chm";
constexpr char kUnknownMacText[] =
    "Unknown MAC address.\nPlease manually type in the target machine's MAC address details.";
constexpr char kUnresolvedIpText[] = "Unable to resolve IP details.\nPlease manually type them in.";
constexpr char kDetailsRequiredText[] = "Target Name and IP Address Details are required.";
constexpr char kUnresolvedMacText[] =
    "Unable to resolve MAC address.\nPlease manually type in the target machine's MAC address "
    "details.";

}  // namespace dialog
