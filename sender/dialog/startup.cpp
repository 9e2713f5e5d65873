// kestrava's interactive life: window system, sockets, the start-up mask, the dialog and its loop.
#include "sender/dialog/startup.h"

#include "platform/sockets.h"
#include "sender/address.h"
#include "sender/dialog/dialog_host.h"
#include "sender/program.h"

namespace dialog {

int RunDialogProgram(void* instance, int show_command, int* argc, char*** argv) {
  g_program.instance = instance;
  int refused = host_initialise(argc, argv);
  if (refused != 0) return refused;
  // Failures of the socket start-up are not reported: a later send shows its own error.
  platform::socket_startup(2, 0);
  g_program.startup_netmask = GetLocalNetmask();

  platform::Window dialog = host_create_main_dialog(show_command);
  g_program.main_dialog = dialog;
  g_program.active_dialog = dialog;
  int exit_code = host_message_loop();

  platform::socket_cleanup();
  return exit_code;
}

}  // namespace dialog
