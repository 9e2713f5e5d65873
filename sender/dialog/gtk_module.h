// The interface between kestrava and its GTK dialog module, which is loaded only when the dialog opens.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "sender/dialog/dialog_host.h"
#include "sender/message_box.h"

// GTK 3 and the seventy libraries it pulls in cost a silent send, --help or --version more
// than all of the program's own work, so the GTK host is a module of its own that the program
// opens with dlopen when the dialog is needed. The two sides meet only through the records
// below, handed over once by the module's single exported function: the module uses nothing
// of the program's by symbol (it is linked with -z defs), and the program exports nothing.
// A module rather than a dialog program of its own, so that the dialog procedure, the sends
// and the program's state stay in one process as on Windows; rather than GTK linked in and
// bound lazily, since the loader maps and relocates every linked library at start-up anyway.

namespace dialog {

// Raised whenever either record changes shape, so that a module of another build is refused
// instead of being called through the wrong layout.
constexpr unsigned kGtkModuleInterface = 2;

// The module's one exported function (extern "C", so that dlsym finds it by this name).
constexpr char kGtkModuleEntryName[] = "kestrava_gtk_module";

// What the program hands the module: the portable side of the dialog.
struct GtkModuleImports {
  unsigned interface_version;  // kGtkModuleInterface of the program's build
  // MainDialogProc: every notification of the window goes here.
  int (*dialog_proc)(platform::Window dialog, unsigned message, WParam wparam, LParam lparam);
  // SetDialogHost and SetMessageBoxHost: the module installs its services while its window lives.
  void (*set_dialog_host)(const DialogHost* host);
  void (*set_message_box_host)(MessageBoxHost host);
  // ReadDottedQuad: the IP field shows a dotted address the way the address control does.
  bool (*read_dotted_quad)(const char* text, std::uint8_t parts[4]);
  // The dialog's help: the path of the HTML page, which the program finds relative to its own
  // file (it may be missing), and the status line's words when the page cannot be shown.
  const char* help_page;
  const char* help_unopened_text;
};

// What the module hands back: the three steps of the dialog's life (dialog_host.h).
struct GtkModuleExports {
  // gtk_init_check: false when no display can be opened.
  bool (*initialise)(int* argc, char*** argv);
  platform::Window (*create_main_dialog)(int show_command);
  int (*message_loop)();
};

// The type of the exported function: the module's records, or nullptr when the program's
// interface is not the module's.
typedef const GtkModuleExports* (*GtkModuleEntry)(const GtkModuleImports* imports);

}  // namespace dialog
