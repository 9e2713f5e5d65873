// kestrava's interactive start-up: everything between the command line and the process exit.
#pragma once

namespace dialog {

// Prepares the window system and the sockets, reads the start-up subnet mask, creates and
// shows the main dialog and runs the message loop until the dialog is closed. Returns the
// exit code: the quit message's (0), or the host's refusal when there is no window system.
int RunDialogProgram(void* instance, int show_command, int* argc, char*** argv);

}  // namespace dialog
