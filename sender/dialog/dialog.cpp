// The main dialog procedure: initialisation, the command table, sends and the two lookups.
#include "sender/dialog/dialog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/decimal.h"
#include "common/wake_packet.h"
#include "platform/sockets.h"
#include "platform/version.h"
#include "sender/address.h"
#include "sender/dialog/layout.h"
#include "sender/message_box.h"
#include "sender/program.h"
#include "sender/wake_packet.h"

namespace dialog {

char g_target_name[kTargetNameSize];
char g_ip_text[kIpTextSize];
char g_mac_text[kMacTextSize];
std::uint32_t g_target_address;
std::uint32_t g_target_mask;
std::uint8_t g_target_mac[6];
char g_field_text[kFieldTextSize];
char g_about_text[kAboutTextSize];

namespace {

const DialogHost* g_host = nullptr;

constexpr unsigned kWarningBox = platform::kMessageBoxOk | platform::kMessageBoxIconWarning;

void Warn(platform::Window dialog, const char* text) {
  ShowMessageBox(dialog, text, kMessageCaption, kWarningBox);
}

void ClearStatus(platform::Window dialog) { g_host->set_item_text(dialog, kIdStatus, ""); }

// Reads a field into the scratch buffer and returns it.
const char* ReadField(platform::Window dialog, int id) {
  g_field_text[0] = '\0';
  g_host->get_item_text(dialog, id, g_field_text, static_cast<int>(sizeof g_field_text));
  return g_field_text;
}

void ShowDottedAddress(platform::Window dialog, int id, std::uint32_t address) {
  char text[20];
  FormatIpAddress(text, address);
  g_host->set_item_text(dialog, id, text);
}

// The legal notice and file version from the program's version information, or a fixed
// notice when the program has none. Control 1016 keeps its template text when there is no
// memory for the version information.
void ShowAboutText(platform::Window dialog) {
  unsigned long handle = 0;
  unsigned long size = platform::file_version_info_size(kVersionFile, &handle);
  void* block = size != 0 ? std::malloc(size) : nullptr;
  if (size != 0 && block == nullptr) return;
  if (block != nullptr && platform::file_version_info(kVersionFile, handle, size, block)) {
    const void* copyright = nullptr;
    const void* version = nullptr;
    unsigned length = 0;
    if (!platform::version_query_value(block, kCopyrightKey, &copyright, &length)) copyright = nullptr;
    if (!platform::version_query_value(block, kFileVersionKey, &version, &length)) version = nullptr;
    // A value that is not there reads as the C library prints a null text.
    std::snprintf(g_about_text, sizeof g_about_text, kAboutFormat,
                  copyright != nullptr ? static_cast<const char*>(copyright) : kNullText,
                  version != nullptr ? static_cast<const char*>(version) : kNullText);
  } else {
    std::snprintf(g_about_text, sizeof g_about_text, "%s", kAboutNotice);
  }
  std::free(block);
  g_host->set_item_text(dialog, kIdAbout, g_about_text);
}

void InitialiseDialog(platform::Window dialog) {
  char caption[300];
  std::snprintf(caption, sizeof caption, kCaptionFormat, g_title_word != nullptr ? g_title_word : "");
  g_host->set_caption(dialog, caption);

  ShowDottedAddress(dialog, kIdSubnetMask, g_startup_netmask);

  g_host->set_banner_font(dialog, kIdBanner);
  g_host->set_item_text(dialog, kIdBanner, kBannerText);

  ShowAboutText(dialog);

  g_host->set_button_bitmap(dialog, kIdHelp, kBitmapHelp);
  g_host->set_class_icon(dialog, kIconMain);

  char port[16];
  std::snprintf(port, sizeof port, "%d", static_cast<int>(g_sender_settings.port));
  g_host->set_item_text(dialog, kIdPortNumber, port);
}

void Send(platform::Window dialog, int send_flags) {
  g_target_address = static_cast<std::uint32_t>(inet_addr(ReadField(dialog, kIdIpAddress)));
  g_target_mask = static_cast<std::uint32_t>(inet_addr(ReadField(dialog, kIdSubnetMask)));

  std::memset(g_target_mac, 0, sizeof g_target_mac);
  ParseMacAddress(ReadField(dialog, kIdMacAddress), g_target_mac);
  bool all_zero = true;
  for (std::uint8_t byte : g_target_mac) all_zero = all_zero && byte == 0;
  if (all_zero) {
    Warn(dialog, kUnknownMacText);
    return;
  }

  if ((g_debug_flags & kDebugStatusText) != 0) {
    std::uint32_t destination = g_target_address;
    if (send_flags == wake::kSendBroadcastMagic) {
      destination = (g_target_address & g_target_mask) | ~g_target_mask;
    }
    char status[40];
    char dotted[20];
    FormatIpAddress(dotted, destination);
    std::snprintf(status, sizeof status, "%s%s", kPacketSentTo, dotted);
    g_host->set_item_text(dialog, kIdStatus, status);
  }

  // The port typed here stays in force for every later send of this process.
  g_sender_settings.port = wake::ParseDecimal(ReadField(dialog, kIdPortNumber));

  g_dialog_services.send_wake_packets(send_flags, g_target_address, g_target_mask, g_target_mac);
}

void ClearResolved() {
  g_target_name[0] = '\0';
  g_ip_text[0] = '\0';
  g_mac_text[0] = '\0';
}

void ResolveIp(platform::Window dialog) {
  ClearResolved();
  g_host->get_item_text(dialog, kIdTargetName, g_target_name, static_cast<int>(sizeof g_target_name));
  if (g_target_name[0] != '\0') {
    g_host->set_wait_cursor(dialog);
    std::uint32_t address = 0;
    if (g_dialog_services.lookup_host_address(g_target_name, &address)) {
      ShowDottedAddress(dialog, kIdIpAddress, address);
    } else {
      Warn(dialog, kUnresolvedIpText);
      g_target_name[0] = '\0';
    }
  }
  ClearStatus(dialog);
}

void ResolveMac(platform::Window dialog) {
  ClearResolved();
  g_host->get_item_text(dialog, kIdIpAddress, g_ip_text, static_cast<int>(sizeof g_ip_text));
  g_host->get_item_text(dialog, kIdTargetName, g_target_name, static_cast<int>(sizeof g_target_name));
  if (g_target_name[0] == '\0' && !IsDottedQuad(g_ip_text)) {
    Warn(dialog, kDetailsRequiredText);
    return;
  }

  // The name only allows the lookup to run; the address comes from the IP Address field.
  std::memset(g_mac_text, 0, sizeof g_mac_text);
  g_host->set_wait_cursor(dialog);
  g_dialog_services.lookup_mac_address(g_ip_text, g_mac_text);
  g_mac_text[sizeof g_mac_text - 1] = '\0';
  g_host->set_item_text(dialog, kIdIpAddress, g_ip_text);

  for (char& c : g_mac_text) {
    if (c == ':') c = '-';
  }
  g_host->set_item_text(dialog, kIdMacAddress, g_mac_text);
  ClearStatus(dialog);
  if (g_mac_text[0] == '\0') Warn(dialog, kUnresolvedMacText);
}

void Command(platform::Window dialog, int id, unsigned code) {
  switch (id) {
    case kIdCancel:
      g_host->post_message(dialog, kWmSysCommand, kScClose, 0);
      break;
    case kIdTargetName:
      if (code == kEnChange) {
        g_host->set_item_text(dialog, kIdIpAddress, "");
        g_host->set_item_text(dialog, kIdMacAddress, "");
      }
      ClearStatus(dialog);
      break;
    case kIdMacAddress:
    case kIdSubnetMask:
      ClearStatus(dialog);
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
      g_host->open_file(dialog, kHelpFile);
      break;
    default:  // IDOK, the IP Address field and the rest: nothing
      break;
  }
}

}  // namespace

void SetDialogHost(const DialogHost* host) { g_host = host; }
const DialogHost* GetDialogHost() { return g_host; }

int MainDialogProc(platform::Window dialog, unsigned message, WParam wparam, LParam) {
  if (g_host == nullptr) return kFalse;
  switch (message) {
    case kWmInitDialog:
      InitialiseDialog(dialog);
      return kTrue;
    case kWmCommand:
      Command(dialog, CommandId(wparam), CommandCode(wparam));
      break;
    case kWmActivate:
      if ((wparam & 0xFFFFu) != kWaInactive) g_active_dialog = g_main_dialog;
      break;
    case kWmActivateApp:
      if (g_active_dialog == nullptr) g_active_dialog = g_main_dialog;
      break;
    case kWmSysCommand:
      // The low four bits of a system command are the system's own.
      if ((wparam & 0xFFF0u) == kScClose) g_host->destroy_window(dialog);
      break;
    case kWmDestroy:
      g_host->post_quit_message(0);
      break;
    default:
      break;
  }
  return kFalse;
}

}  // namespace dialog
