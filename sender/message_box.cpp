// The sender's message boxes: dispatch to the installed host or to the platform.
#include "sender/message_box.h"

#include "sender/program.h"

void SetMessageBoxHost(MessageBoxHost host) { g_program.message_box_host = host; }

int ShowMessageBox(platform::Window owner, const char* text, const char* caption, unsigned type) {
  if (g_program.message_box_host != nullptr) {
    return g_program.message_box_host(owner, text, caption, type);
  }
  return platform::message_box(owner, text, caption, type);
}
