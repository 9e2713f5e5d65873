// The main dialog procedure: initialisation, the command table, sends and the two lookups.
#include "sender/dialog/dialog.h"

#include <cstdio>
#include <cstring>

#include "common/number.h"
#include "common/wake_packet.h"
#include "platform/sockets.h"
#include "platform/version.h"
#include "sender/address.h"
#include "sender/dialog/layout.h"
#include "sender/message_box.h"
#include "sender/program.h"
#include "sender/wake_packet.h"

namespace dialog {

DialogState g_dialog;

void ResetDialogState() { g_dialog = DialogState{}; }

namespace {

constexpr unsigned kWarningBox = platform::kMessageBoxOk | platform::kMessageBoxIconWarning;

void Warn(platform::Window dialog, const char* text) {
  ShowMessageBox(dialog, text, kMessageCaption, kWarningBox);
}

void ClearStatus(platform::Window dialog) {
  g_dialog.status_names_ended_line = false;
  g_dialog.host->set_item_text(dialog, kIdStatus, "");
}

// A field's focus notification clears the status line, but not the words on what ended the
// command line: the first field takes the focus as the dialog appears (and again whenever it
// is activated), which would wipe them before anyone could read them. An edit or a button
// clears them as it clears any status.
void ClearStatusOnNotification(platform::Window dialog, unsigned code) {
  const bool focus = code == kEnSetFocus || code == kEnKillFocus;
  if (focus && g_dialog.status_names_ended_line) return;
  ClearStatus(dialog);
}

// Reads a field into the scratch buffer and returns it.
const char* ReadField(platform::Window dialog, int id) {
  g_dialog.field_text[0] = '\0';
  g_dialog.host->get_item_text(dialog, id, g_dialog.field_text, static_cast<int>(sizeof g_dialog.field_text));
  return g_dialog.field_text;
}

void ShowDottedAddress(platform::Window dialog, int id, std::uint32_t address) {
  char text[20];
  FormatIpAddress(text, address);
  g_dialog.host->set_item_text(dialog, id, text);
}

// The legal notice and file version from the program's version information, or a fixed
// notice when the program has none.
void ShowAboutText(platform::Window dialog) {
  platform::VersionRecord version{};
  if (platform::read_version_record(kVersionFile, &version)) {
    // A string that is not there reads as the C library prints a null text.
    std::snprintf(g_dialog.about_text, sizeof g_dialog.about_text, kAboutFormat,
                  version.has_legal_copyright ? version.legal_copyright : kNullText,
                  version.has_file_version_text ? version.file_version_text : kNullText);
  } else {
    std::snprintf(g_dialog.about_text, sizeof g_dialog.about_text, "%s", kAboutNotice);
  }
  g_dialog.host->set_item_text(dialog, kIdAbout, g_dialog.about_text);
}

void InitialiseDialog(platform::Window dialog) {
  char caption[300];
  std::snprintf(caption, sizeof caption, kCaptionFormat, g_program.title_word != nullptr ? g_program.title_word : "");
  g_dialog.host->set_caption(dialog, caption);

  ShowDottedAddress(dialog, kIdSubnetMask, g_program.startup_netmask);

  g_dialog.host->set_banner_font(dialog, kIdBanner);
  g_dialog.host->set_item_text(dialog, kIdBanner, kBannerText);

  ShowAboutText(dialog);

  g_dialog.host->set_button_bitmap(dialog, kIdHelp, kBitmapHelp);
  g_dialog.host->set_class_icon(dialog, kIconMain);

  char port[16];
  std::snprintf(port, sizeof port, "%d", static_cast<int>(g_program.sender.port));
  g_dialog.host->set_item_text(dialog, kIdPortNumber, port);

  // A mistyped option would otherwise leave an empty dialog and no word of what was not read.
  if (g_program.ended_at != nullptr) {
    char status[kFieldTextSize];
    std::snprintf(status, sizeof status, kEndedStatusFormat, g_program.ended_at, g_program.end_reason);
    g_dialog.host->set_item_text(dialog, kIdStatus, status);
    g_dialog.status_names_ended_line = true;
  }
}

void Send(platform::Window dialog, int send_flags) {
  g_dialog.target_address = PlatformDottedAddress(ReadField(dialog, kIdIpAddress));
  g_dialog.target_mask = PlatformDottedAddress(ReadField(dialog, kIdSubnetMask));

  std::memset(g_dialog.target_mac, 0, sizeof g_dialog.target_mac);
  ParseMacAddress(ReadField(dialog, kIdMacAddress), g_dialog.target_mac);
  bool all_zero = true;
  for (std::uint8_t byte : g_dialog.target_mac) all_zero = all_zero && byte == 0;
  if (all_zero) {
    Warn(dialog, kUnknownMacText);
    return;
  }

  if ((g_program.debug_flags & kDebugStatusText) != 0) {
    std::uint32_t destination = g_dialog.target_address;
    if (send_flags == wake::kSendBroadcastMagic) {
      destination = BroadcastAddress(g_dialog.target_address, g_dialog.target_mask);
    }
    char status[40];
    char dotted[20];
    FormatIpAddress(dotted, destination);
    std::snprintf(status, sizeof status, "%s%s", kPacketSentTo, dotted);
    g_dialog.host->set_item_text(dialog, kIdStatus, status);
  }

  // The port typed here stays in force for every later send of this process.
  g_program.sender.port = wake::ParseDecimal(ReadField(dialog, kIdPortNumber));

  g_dialog.services.send_wake_packets(send_flags, g_dialog.target_address, g_dialog.target_mask, g_dialog.target_mac);
}

void ClearResolved() {
  g_dialog.target_name[0] = '\0';
  g_dialog.ip_text[0] = '\0';
  g_dialog.mac_text[0] = '\0';
}

void ResolveIp(platform::Window dialog) {
  ClearResolved();
  g_dialog.host->get_item_text(dialog, kIdTargetName, g_dialog.target_name, static_cast<int>(sizeof g_dialog.target_name));
  if (g_dialog.target_name[0] != '\0') {
    g_dialog.host->set_wait_cursor(dialog);
    std::uint32_t address = 0;
    if (g_dialog.services.lookup_host_address(g_dialog.target_name, &address)) {
      ShowDottedAddress(dialog, kIdIpAddress, address);
    } else {
      Warn(dialog, kUnresolvedIpText);
      g_dialog.target_name[0] = '\0';
    }
  }
  ClearStatus(dialog);
}

void ResolveMac(platform::Window dialog) {
  ClearResolved();
  g_dialog.host->get_item_text(dialog, kIdIpAddress, g_dialog.ip_text, static_cast<int>(sizeof g_dialog.ip_text));
  g_dialog.host->get_item_text(dialog, kIdTargetName, g_dialog.target_name, static_cast<int>(sizeof g_dialog.target_name));
  if (g_dialog.target_name[0] == '\0' && !IsDottedQuad(g_dialog.ip_text)) {
    Warn(dialog, kDetailsRequiredText);
    return;
  }

  // The name only allows the lookup to run; the address comes from the IP Address field.
  std::memset(g_dialog.mac_text, 0, sizeof g_dialog.mac_text);
  g_dialog.host->set_wait_cursor(dialog);
  g_dialog.services.lookup_mac_address(g_dialog.ip_text, g_dialog.mac_text);
  g_dialog.mac_text[sizeof g_dialog.mac_text - 1] = '\0';
  g_dialog.host->set_item_text(dialog, kIdIpAddress, g_dialog.ip_text);

  for (char& c : g_dialog.mac_text) {
    if (c == ':') c = '-';
  }
  g_dialog.host->set_item_text(dialog, kIdMacAddress, g_dialog.mac_text);
  ClearStatus(dialog);
  if (g_dialog.mac_text[0] == '\0') Warn(dialog, kUnresolvedMacText);
}

void Command(platform::Window dialog, int id, unsigned code) {
  switch (id) {
    case kIdCancel:
      g_dialog.host->post_message(dialog, kWmSysCommand, kScClose, 0);
      break;
    case kIdTargetName:
      if (code == kEnChange) {
        g_dialog.host->set_item_text(dialog, kIdIpAddress, "");
        g_dialog.host->set_item_text(dialog, kIdMacAddress, "");
      }
      ClearStatusOnNotification(dialog, code);
      break;
    case kIdMacAddress:
    case kIdSubnetMask:
      ClearStatusOnNotification(dialog, code);
      break;
    case kIdSendMagic:
      Send(dialog, wake::kSendBroadcastMagic);
      break;
    case kIdSendShortUnsuspend:
      Send(dialog, wake::kSendShortUnsuspend);
      break;
    case kIdSendDirect:
      Send(dialog, wake::kSendDirectMagic);
      break;
    case kIdResolveIp:
      ResolveIp(dialog);
      break;
    case kIdResolveMac:
      ResolveMac(dialog);
      break;
    case kIdHelp:
      g_dialog.host->open_file(dialog, kHelpFile);
      break;
    default:  // IDOK, the IP Address field and the rest: nothing
      break;
  }
}

}  // namespace

void SetDialogHost(const DialogHost* host) { g_dialog.host = host; }

int MainDialogProc(platform::Window dialog, unsigned message, WParam wparam, LParam) {
  if (g_dialog.host == nullptr) return kFalse;
  switch (message) {
    case kWmInitDialog:
      InitialiseDialog(dialog);
      return kTrue;
    case kWmCommand:
      Command(dialog, CommandId(wparam), CommandCode(wparam));
      break;
    case kWmActivate:
      if ((wparam & 0xFFFFu) != kWaInactive) g_program.active_dialog = g_program.main_dialog;
      break;
    case kWmActivateApp:
      if (g_program.active_dialog == nullptr) g_program.active_dialog = g_program.main_dialog;
      break;
    case kWmSysCommand:
      // The low four bits of a system command are the system's own.
      if ((wparam & 0xFFF0u) == kScClose) g_dialog.host->destroy_window(dialog);
      break;
    case kWmDestroy:
      g_dialog.host->post_quit_message(0);
      break;
    default:
      break;
  }
  return kFalse;
}

}  // namespace dialog
