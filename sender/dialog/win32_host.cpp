// The main dialog on Windows: template 101 made modeless, its window services, the message loop.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdio>

#include "sender/address.h"
#include "sender/dialog/dialog.h"
#include "sender/dialog/dialog_host.h"
#include "sender/dialog/layout.h"
#include "sender/program.h"

namespace dialog {

namespace {

// The title of the console made for a program started without standard input; the console
// window is found by it and hidden. The dialog never carries exactly this caption once it is
// initialised ("Tidewake " and the title word), and it does not exist yet at that point.
constexpr char kConsoleTitle[] = "Tidewake";
// Long enough for the new console's window to carry its title.
constexpr DWORD kConsoleTitlePauseMs = 5;

// The banner font: created once, kept for the life of the process (the banner control
// refers to it until the dialog is gone).
constexpr int kBannerHeight = 20;
constexpr int kBannerWidth = 10;
constexpr int kBannerWeight = FW_BOLD;  // 700
constexpr char kBannerFace[] = "ArialBlack";

// What the host keeps for the life of the process: the banner font, created once (the banner
// control refers to it until the dialog is gone).
struct Win32HostState {
  HFONT banner_font = nullptr;
};
Win32HostState g_win32;

// Exit code when template 101 could not be made into a window.
constexpr int kNoDialogExitCode = 1;

HWND AsWindow(platform::Window window) { return static_cast<HWND>(window); }

HINSTANCE Instance() {
  return g_program.instance != nullptr ? static_cast<HINSTANCE>(g_program.instance)
                                       : GetModuleHandleA(nullptr);
}

// The IP address control keeps its address in four part fields and answers only its own
// messages (IPM_...) reliably; window-text calls are not served by every implementation of
// the control. Its text is therefore set and read here through those messages: a blank
// control reads as the empty text, any other as "a.b.c.d" (blank parts read as 0).
bool IsIpAddressControl(HWND control) {
  char name[32];
  return control != nullptr && GetClassNameA(control, name, sizeof name) > 0 &&
         lstrcmpiA(name, WC_IPADDRESSA) == 0;
}

void SetIpAddressText(HWND control, const char* text) {
  std::uint8_t parts[4];
  if (ReadDottedQuad(text, parts)) {
    SendMessageA(control, IPM_SETADDRESS, 0,
                 static_cast<LPARAM>(MAKEIPADDRESS(parts[0], parts[1], parts[2], parts[3])));
  } else {
    // What the control cannot hold (the empty text included) leaves it blank.
    SendMessageA(control, IPM_CLEARADDRESS, 0, 0);
  }
}

unsigned GetIpAddressText(HWND control, char* buffer, int size) {
  if (size <= 0) return 0;
  buffer[0] = '\0';
  if (SendMessageA(control, IPM_ISBLANK, 0, 0) != 0) return 0;
  DWORD address = 0;
  SendMessageA(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
  // Cut to the caller's buffer, as GetDlgItemText does.
  int length = std::snprintf(buffer, static_cast<std::size_t>(size), "%u.%u.%u.%u",
                             static_cast<unsigned>(FIRST_IPADDRESS(address)),
                             static_cast<unsigned>(SECOND_IPADDRESS(address)),
                             static_cast<unsigned>(THIRD_IPADDRESS(address)),
                             static_cast<unsigned>(FOURTH_IPADDRESS(address)));
  return static_cast<unsigned>(length < size ? length : size - 1);
}

void HostSetItemText(platform::Window dialog, int id, const char* text) {
  HWND control = GetDlgItem(AsWindow(dialog), id);
  if (IsIpAddressControl(control)) {
    SetIpAddressText(control, text);
  } else {
    SetDlgItemTextA(AsWindow(dialog), id, text);
  }
}

unsigned HostGetItemText(platform::Window dialog, int id, char* buffer, int size) {
  HWND control = GetDlgItem(AsWindow(dialog), id);
  if (IsIpAddressControl(control)) return GetIpAddressText(control, buffer, size);
  return GetDlgItemTextA(AsWindow(dialog), id, buffer, size);
}

void HostSetCaption(platform::Window dialog, const char* text) {
  SetWindowTextA(AsWindow(dialog), text);
}

void HostSetBannerFont(platform::Window dialog, int id) {
  HWND window = AsWindow(dialog);
  if (g_win32.banner_font == nullptr) {
    g_win32.banner_font = CreateFontA(kBannerHeight, kBannerWidth, 0, 0, kBannerWeight, FALSE, FALSE,
                                FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kBannerFace);
  }
  HDC dc = GetDC(window);
  if (dc != nullptr) {
    SelectObject(dc, g_win32.banner_font);
    ReleaseDC(window, dc);
  }
  SendDlgItemMessageA(window, id, WM_SETFONT, reinterpret_cast<WPARAM>(g_win32.banner_font), TRUE);
}

void HostSetButtonBitmap(platform::Window dialog, int id, int bitmap) {
  HBITMAP image = LoadBitmapA(Instance(), MAKEINTRESOURCEA(bitmap));
  SendDlgItemMessageA(AsWindow(dialog), id, BM_SETIMAGE, IMAGE_BITMAP,
                      reinterpret_cast<LPARAM>(image));
}

void HostSetClassIcon(platform::Window dialog, int icon) {
  HICON image = LoadIconA(Instance(), MAKEINTRESOURCEA(icon));
  SetClassLongPtrA(AsWindow(dialog), GCLP_HICON, reinterpret_cast<LONG_PTR>(image));
}

void HostSetWaitCursor(platform::Window) { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }

void HostPostMessage(platform::Window dialog, unsigned message, WParam wparam, LParam lparam) {
  PostMessageA(AsWindow(dialog), message, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));
}

void HostDestroyWindow(platform::Window dialog) { DestroyWindow(AsWindow(dialog)); }

void HostPostQuitMessage(int exit_code) { PostQuitMessage(exit_code); }

// The shell's default verb for the file; a missing help file or viewer is not an error
// worth a message here.
void HostOpenFile(platform::Window dialog, const char* file) {
  ShellExecuteA(AsWindow(dialog), nullptr, file, nullptr, nullptr, SW_SHOW);
}

// WM_TIMER goes to the dialog procedure as any other message, with the id as its WPARAM.
void HostSetTimer(platform::Window dialog, int id, unsigned interval_ms) {
  SetTimer(AsWindow(dialog), static_cast<UINT_PTR>(id), interval_ms, nullptr);
}

void HostKillTimer(platform::Window dialog, int id) { KillTimer(AsWindow(dialog), static_cast<UINT_PTR>(id)); }

const DialogHost kWin32Host = {
    HostSetItemText,     HostGetItemText,     HostSetCaption,    HostSetBannerFont,
    HostSetButtonBitmap, HostSetClassIcon,    HostSetWaitCursor, HostPostMessage,
    HostDestroyWindow,   HostPostQuitMessage, HostOpenFile,      HostSetTimer,
    HostKillTimer,
};

INT_PTR CALLBACK Win32DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return MainDialogProc(window, message, static_cast<WParam>(wparam), static_cast<LParam>(lparam));
}

// A process started with an invalid standard input handle gets a console of its own, hidden
// at once, so that console output has somewhere to go without a window showing.
void HideConsoleWithoutStandardInput() {
  if (GetStdHandle(STD_INPUT_HANDLE) != INVALID_HANDLE_VALUE) return;
  AllocConsole();
  SetConsoleTitleA(kConsoleTitle);
  Sleep(kConsoleTitlePauseMs);
  HWND console = FindWindowA(nullptr, kConsoleTitle);
  if (console != nullptr) ShowWindow(console, SW_HIDE);
  g_program.console_allocated = true;
}

}  // namespace

int host_initialise(int*, char***) {
  // Registers the IP address control class (SysIPAddress32) that template 101 uses.
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
  return 0;
}

platform::Window host_create_main_dialog(int show_command) {
  HideConsoleWithoutStandardInput();
  // The procedure calls the host from WM_INITDIALOG, inside CreateDialogParam.
  SetDialogHost(&kWin32Host);
  HWND window = CreateDialogParamA(Instance(), MAKEINTRESOURCEA(kTemplateMainDialog), nullptr,
                                   Win32DialogProc, 0);
  if (window != nullptr) {
    ShowWindow(window, show_command);
    UpdateWindow(window);
  }
  return window;
}

int host_message_loop() {
  // Without a dialog nothing could ever post the quit message: end instead of waiting forever.
  if (g_program.main_dialog == nullptr) {
    if (g_program.console_allocated) FreeConsole();
    return kNoDialogExitCode;
  }
  MSG message = {};
  // GetMessage returns 0 for the quit message and -1 when it fails (never for a valid
  // queue); either ends the loop.
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    // The active dialog takes the keyboard (Tab, Enter, Esc, mnemonics).
    if (g_program.active_dialog == nullptr) g_program.active_dialog = g_program.main_dialog;
    if (g_program.active_dialog == nullptr || !IsDialogMessageA(AsWindow(g_program.active_dialog), &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  if (g_program.console_allocated) FreeConsole();
  return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}

}  // namespace dialog
