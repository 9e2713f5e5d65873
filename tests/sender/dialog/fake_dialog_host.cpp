// A dialog host for tests: records texts, message boxes and window calls; no window system.
#include "fake_dialog_host.h"

#include <cstring>

#include "common/wake_packet.h"
#include "sender/dialog/dialog.h"
#include "sender/dialog/layout.h"
#include "tests/sender/dialog/layout_lookup.h"
#include "sender/message_box.h"
#include "sender/program.h"
#include "sender/wake_packet.h"

namespace fake_dialog {

Record g_record;
std::string g_lookup_mac_result;
std::map<std::string, std::uint32_t> g_known_hosts;
void (*g_on_send)(std::uint32_t address) = nullptr;

namespace {
int g_dialog_object;

// Edit and address controls notify EN_CHANGE when their text is set, as on Windows.
bool NotifiesChange(int id) {
  const dialog::LayoutControl* control = dialog::FindLayoutControl(id);
  return control != nullptr && (std::strcmp(control->class_name, dialog::kClassEdit) == 0 ||
                                std::strcmp(control->class_name, dialog::kClassIpAddress) == 0);
}

void FakeSetItemText(platform::Window, int id, const char* text) {
  g_record.texts[id] = text != nullptr ? text : "";
  if (NotifiesChange(id)) Send(dialog::kWmCommand, dialog::MakeCommandParam(id, dialog::kEnChange));
}

unsigned FakeGetItemText(platform::Window, int id, char* buffer, int size) {
  if (size <= 0) return 0;
  std::string text = g_record.texts[id];
  std::size_t length = text.size() < static_cast<std::size_t>(size - 1) ? text.size()
                                                                         : static_cast<std::size_t>(size - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<unsigned>(length);
}

void FakeSetCaption(platform::Window, const char* text) { g_record.caption = text; }
void FakeSetBannerFont(platform::Window, int id) { g_record.banner_font_id = id; }
void FakeSetButtonBitmap(platform::Window, int id, int bitmap) {
  g_record.bitmap_button_id = id;
  g_record.bitmap = bitmap;
}
void FakeSetClassIcon(platform::Window, int icon) { g_record.class_icon = icon; }
void FakeSetWaitCursor(platform::Window) { ++g_record.wait_cursors; }
void FakePostMessage(platform::Window, unsigned message, dialog::WParam wparam, dialog::LParam) {
  g_record.posted.push_back({message, wparam});
}
void FakeDestroyWindow(platform::Window window) {
  ++g_record.destroyed;
  dialog::MainDialogProc(window, dialog::kWmDestroy, 0, 0);
}
void FakePostQuitMessage(int code) { g_record.quit_codes.push_back(code); }
void FakeOpenFile(platform::Window, const char* file) { g_record.opened_files.push_back(file); }
void FakeSetTimer(platform::Window, int id, unsigned interval_ms) { g_record.timers[id] = interval_ms; }
void FakeKillTimer(platform::Window, int id) { g_record.timers.erase(id); }

const dialog::DialogHost kFakeHost = {
    FakeSetItemText,     FakeGetItemText,     FakeSetCaption,    FakeSetBannerFont,
    FakeSetButtonBitmap, FakeSetClassIcon,    FakeSetWaitCursor, FakePostMessage,
    FakeDestroyWindow,   FakePostQuitMessage, FakeOpenFile,      FakeSetTimer,
    FakeKillTimer};

int RecordMessageBox(platform::Window, const char* text, const char* caption, unsigned type) {
  g_record.boxes.push_back({text, caption, type});
  return 1;
}

void FakeSend(int send_flags, std::uint32_t address, std::uint32_t mask, const std::uint8_t* mac) {
  SendCall call{send_flags, address, mask, {}, g_program.sender.port};
  std::memcpy(call.mac, mac, sizeof call.mac);
  g_record.sends.push_back(call);
  if (g_on_send != nullptr) g_on_send(address);
}

int FakeLookupMac(const char* ip_text, char* mac_text) {
  g_record.mac_lookups.push_back(ip_text);
  if (g_lookup_mac_result.empty()) return 0;
  std::strcpy(mac_text, g_lookup_mac_result.c_str());
  return 1;
}

bool FakeLookupHost(const char* name, std::uint32_t* address) {
  g_record.host_lookups.push_back(name);
  auto found = g_known_hosts.find(name);
  if (found == g_known_hosts.end()) return false;
  *address = found->second;
  return true;
}

}  // namespace

platform::Window const kDialog = &g_dialog_object;

void Reset() {
  g_record = Record();
  g_lookup_mac_result.clear();
  g_known_hosts.clear();
  g_on_send = nullptr;
  ResetProgramState();
  dialog::ResetDialogState();
  dialog::g_dialog.services = {FakeSend, FakeLookupMac, FakeLookupHost};
  dialog::SetDialogHost(&kFakeHost);
  SetMessageBoxHost(RecordMessageBox);
  g_program.main_dialog = kDialog;
}

void Restore() {
  dialog::ResetDialogState();
  ResetProgramState();
}

int Send(unsigned message, dialog::WParam wparam, dialog::LParam lparam) {
  return dialog::MainDialogProc(kDialog, message, wparam, lparam);
}

void Type(int id, const std::string& text) {
  g_record.texts[id] = text;
  Send(dialog::kWmCommand, dialog::MakeCommandParam(id, dialog::kEnChange));
}

void Click(int id) { Send(dialog::kWmCommand, dialog::MakeCommandParam(id, dialog::kBnClicked)); }

void DeliverPosted() {
  // Bounded: a delivery may post again, but never this many times.
  for (int i = 0; i < 100 && !g_record.posted.empty(); ++i) {
    PostedMessage next = g_record.posted.front();
    g_record.posted.erase(g_record.posted.begin());
    Send(next.message, next.wparam);
  }
}

bool FireTimer(int id) {
  auto found = g_record.timers.find(id);
  if (found == g_record.timers.end()) return false;
  Send(dialog::kWmTimer, static_cast<dialog::WParam>(id));
  return true;
}

std::string Text(int id) {
  auto found = g_record.texts.find(id);
  return found != g_record.texts.end() ? found->second : std::string();
}

}  // namespace fake_dialog
