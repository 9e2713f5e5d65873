// Windows message boxes: MessageBoxA, owned by the given window or by none.
#include "platform/ui.h"

#include <windows.h>

namespace platform {

int message_box(Window owner, const char* text, const char* caption, unsigned type) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, type);
}

void show_information(const char* caption, const char* text) {
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace platform
