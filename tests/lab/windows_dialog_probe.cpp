// Prints field texts of a running kestrava dialog under Wine: the Windows dialog test's eyes.
// Usage: windows_dialog_probe CAPTION ID...   One line per id, the control's text; for an IP
// address control the texts of its four parts joined by '.', or nothing when all are blank.
// Exit status: 0, 2 for bad arguments, 3 when no window has the caption.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxParts = 4;

// GetWindowText of another process's control returns its creation text; WM_GETTEXT is sent
// to the control itself and reads what it holds now.
void ReadText(HWND control, char* text, int size) {
  text[0] = '\0';
  if (control == nullptr) return;
  SendMessageA(control, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text));
}

// The parts of an IP address control are edit children; their order on screen (left to
// right) is the order of the address bytes.
void PrintAddressParts(HWND control) {
  HWND parts[kMaxParts] = {};
  LONG lefts[kMaxParts] = {};
  int count = 0;
  for (HWND child = GetWindow(control, GW_CHILD); child != nullptr && count < kMaxParts;
       child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect;
    GetWindowRect(child, &rect);
    int at = count++;
    while (at > 0 && lefts[at - 1] > rect.left) {
      parts[at] = parts[at - 1];
      lefts[at] = lefts[at - 1];
      --at;
    }
    parts[at] = child;
    lefts[at] = rect.left;
  }
  char line[64] = "";
  bool blank = true;
  for (int i = 0; i < count; ++i) {
    char text[8] = "";
    ReadText(parts[i], text, sizeof text);
    blank = blank && text[0] == '\0';
    if (i > 0) std::strcat(line, ".");
    std::strcat(line, text);
  }
  std::printf("%s\n", blank ? "" : line);
}

bool IsAddressControl(HWND control) {
  char name[32] = "";
  GetClassNameA(control, name, sizeof name);
  return lstrcmpiA(name, "SysIPAddress32") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: windows_dialog_probe CAPTION ID...\n", stderr);
    return 2;
  }
  HWND dialog = FindWindowA(nullptr, argv[1]);
  if (dialog == nullptr) return 3;
  for (int i = 2; i < argc; ++i) {
    HWND control = GetDlgItem(dialog, std::atoi(argv[i]));
    if (control != nullptr && IsAddressControl(control)) {
      PrintAddressParts(control);
    } else {
      char text[256] = "";
      ReadText(control, text, sizeof text);
      std::printf("%s\n", text);
    }
  }
  return 0;
}
