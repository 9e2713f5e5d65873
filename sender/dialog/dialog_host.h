// The dialog host: the few window services the portable dialog procedure needs, Win32-shaped.
#pragma once

#include <cstdint>

#include "platform/ui.h"

namespace dialog {

// Message parameters as Windows passes them (WPARAM, LPARAM).
typedef std::uintptr_t WParam;
typedef std::intptr_t LParam;

// Window messages and codes in Windows' numbering, so that the Windows host forwards its
// messages unchanged and the other hosts speak the same language.
constexpr unsigned kWmDestroy = 0x0002;
constexpr unsigned kWmActivate = 0x0006;
constexpr unsigned kWmActivateApp = 0x001C;
constexpr unsigned kWmInitDialog = 0x0110;
constexpr unsigned kWmCommand = 0x0111;
constexpr unsigned kWmSysCommand = 0x0112;
constexpr unsigned kWmTimer = 0x0113;
constexpr WParam kScClose = 0xF060;
constexpr unsigned kWaInactive = 0;
constexpr unsigned kBnClicked = 0x0000;
constexpr unsigned kEnSetFocus = 0x0100;
constexpr unsigned kEnKillFocus = 0x0200;
constexpr unsigned kEnChange = 0x0300;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// Dialog-procedure results.
constexpr int kTrue = 1;
constexpr int kFalse = 0;

// WM_COMMAND's first parameter: control id in the low word, notification code in the high word.
inline WParam MakeCommandParam(int id, unsigned code) {
  return static_cast<WParam>((static_cast<std::uint32_t>(code) << 16) |
                             (static_cast<std::uint32_t>(id) & 0xFFFFu));
}
inline int CommandId(WParam wparam) { return static_cast<int>(wparam & 0xFFFFu); }
inline unsigned CommandCode(WParam wparam) { return static_cast<unsigned>((wparam >> 16) & 0xFFFFu); }

// One host per platform fills this record; each member is the Windows call named beside it.
// Message boxes do not pass through here: the dialog shows them with ShowMessageBox
// (sender/message_box.h), for which a host without native boxes installs its own.
struct DialogHost {
  // SetDlgItemTextA. Setting an edit control's text notifies EN_CHANGE, as on Windows.
  void (*set_item_text)(platform::Window dialog, int id, const char* text);
  // GetDlgItemTextA: at most size - 1 characters and a terminator; returns the length.
  unsigned (*get_item_text)(platform::Window dialog, int id, char* buffer, int size);
  // SetWindowTextA on the dialog itself.
  void (*set_caption)(platform::Window dialog, const char* text);
  // CreateFontA(20, 10, 0, 0, 700, 0, 0, 0, 0, ..., "ArialBlack"), then WM_SETFONT to the
  // control with redrawing.
  void (*set_banner_font)(platform::Window dialog, int id);
  // BM_SETIMAGE with IMAGE_BITMAP and the bitmap resource `bitmap`.
  void (*set_button_bitmap)(platform::Window dialog, int id, int bitmap);
  // SetClassLongPtr(GCLP_HICON) with the icon resource `icon`.
  void (*set_class_icon)(platform::Window dialog, int icon);
  // SetCursor(LoadCursor(nullptr, IDC_WAIT)): the wait cursor while the current command runs.
  void (*set_wait_cursor)(platform::Window dialog);
  // PostMessageA to the dialog: delivered to the procedure later, from the message loop.
  void (*post_message)(platform::Window dialog, unsigned message, WParam wparam, LParam lparam);
  // DestroyWindow: the procedure receives WM_DESTROY before this returns.
  void (*destroy_window)(platform::Window dialog);
  // PostQuitMessage: ends the message loop with this exit code.
  void (*post_quit_message)(int exit_code);
  // ShellExecuteA(dialog, nullptr, file, nullptr, nullptr, SW_SHOW); the result is ignored.
  void (*open_file)(platform::Window dialog, const char* file);
  // SetTimer(dialog, id, interval_ms, nullptr): WM_TIMER with `id` as its first parameter,
  // delivered from the message loop every interval until KillTimer; the same id again
  // restarts that timer with the new interval.
  void (*set_timer)(platform::Window dialog, int id, unsigned interval_ms);
  // KillTimer(dialog, id): no more WM_TIMER for it; an id without a timer is no error.
  void (*kill_timer)(platform::Window dialog, int id);
};

// Installs the host that the dialog procedure calls (the platform's, or a test's fake).
void SetDialogHost(const DialogHost* host);

// The interactive life of kestrava, one implementation per host (GTK on Linux, Win32).

// Prepares the window system (common controls on Windows, GTK elsewhere). Returns 0, or
// the exit code with which the program must end because there is no window system at hand
// (after saying why on standard error).
int host_initialise(int* argc, char*** argv);
// Creates the main dialog modeless from template 101 with the portable procedure, shows it
// with `show_command` and updates it. The procedure has seen WM_INITDIALOG when this returns.
platform::Window host_create_main_dialog(int show_command);
// Runs the message loop until the quit message; returns its exit code.
int host_message_loop();

}  // namespace dialog
