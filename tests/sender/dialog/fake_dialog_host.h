// A dialog host for tests: records texts, message boxes and window calls; no window system.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sender/dialog/dialog_host.h"

namespace fake_dialog {

struct MessageBoxCall {
  std::string text;
  std::string caption;
  unsigned type;
};

struct PostedMessage {
  unsigned message;
  dialog::WParam wparam;
};

struct SendCall {
  int send_flags;
  std::uint32_t address;
  std::uint32_t mask;
  std::uint8_t mac[6];
  std::int32_t port;  // the sender settings' port at the time of the send
};

// Everything the fake saw since the last reset.
struct Record {
  std::map<int, std::string> texts;      // control id -> text
  std::string caption;
  int banner_font_id = 0;
  int bitmap_button_id = 0;
  int bitmap = 0;
  int class_icon = 0;
  int wait_cursors = 0;
  std::vector<PostedMessage> posted;
  int destroyed = 0;
  std::vector<int> quit_codes;
  std::vector<std::string> opened_files;
  std::vector<MessageBoxCall> boxes;
  std::vector<SendCall> sends;
  std::vector<std::string> mac_lookups;   // the IP texts the MAC lookup was given
  std::vector<std::string> host_lookups;  // the names the host-name lookup was given
  std::map<int, unsigned> timers;         // the timers running: id -> interval in ms
};
extern Record g_record;

// What the fake lookups answer.
extern std::string g_lookup_mac_result;                       // "" means not found
extern std::map<std::string, std::uint32_t> g_known_hosts;    // name -> address, network order
// Called with the address of each send the dialog makes (nullptr: nothing more).
extern void (*g_on_send)(std::uint32_t address);

// The window handle the fake dialog goes by.
extern platform::Window const kDialog;

// Installs the fake host, the fake services and the message-box recorder and clears the
// record, the lookups' answers, the dialog's state and the process-wide state it reads.
void Reset();
// Puts the real services and no host back.
void Restore();

// Sends a message to the dialog procedure as the window system would.
int Send(unsigned message, dialog::WParam wparam = 0, dialog::LParam lparam = 0);
// The operator types into an edit control: its text changes and EN_CHANGE is notified.
void Type(int id, const std::string& text);
// The operator presses a button.
void Click(int id);
// The timer `id` expires: WM_TIMER, as the message loop delivers it. False when it is not running.
bool FireTimer(int id);
// Delivers the posted messages in order, as the message loop would.
void DeliverPosted();

std::string Text(int id);

}  // namespace fake_dialog
