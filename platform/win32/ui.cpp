// Windows message boxes (MessageBoxA, owned by the given window or by none) and the standard error handle.
#include "platform/ui.h"

#include <windows.h>

namespace platform {

int message_box(Window owner, const char* text, const char* caption, unsigned type) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, type);
}

void show_information(const char* caption, const char* text) {
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONINFORMATION);
}

bool standard_error_present() {
  // A GUI-subsystem program started without redirection has no handle at all (NULL).
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool standard_error_is_terminal() {
  // Only a console has a console mode; a file or a pipe does not.
  DWORD mode = 0;
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != FALSE;
}

}  // namespace platform
