// kestrava's interactive life: window system, sockets, the start-up mask, the dialog and its loop.
#include "sender/dialog/startup.h"

#include <cstdio>

#include "platform/sockets.h"
#include "platform/ui.h"
#include "sender/address.h"
#include "sender/error_text.h"
#include "sender/message_box.h"
#include "sender/wake_packet.h"
#include "sender/dialog/dialog_host.h"
#include "sender/program.h"

namespace dialog {

int RunDialogProgram(void* instance, int show_command, int* argc, char*** argv) {
  g_program.instance = instance;
  int refused = host_initialise(argc, argv);
  if (refused != 0) return refused;
  // Failures of the socket start-up are not reported: a later send shows its own error.
  platform::socket_startup(2, 0);
  // A failed interface-list query is shown once the dialog exists; its text is taken now,
  // before anything else can change the last error. The mask field then shows 0.0.0.0.
  char query_error[kSystemTextRoom] = "";
  if (!QueryLocalNetmask(&g_program.startup_netmask)) {
    std::snprintf(query_error, sizeof query_error, "%s", WinsockErrorText(0));
  }

  platform::Window dialog = host_create_main_dialog(show_command);
  g_program.main_dialog = dialog;
  g_program.active_dialog = dialog;
  if (query_error[0] != '\0') {
    ShowMessageBox(dialog, query_error, kInterfaceListErrCaption, platform::kMessageBoxOk);
  }
  int exit_code = host_message_loop();

  platform::socket_cleanup();
  return exit_code;
}

}  // namespace dialog
