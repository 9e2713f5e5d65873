// The GTK host's state record and what its files (window, services, IP field) offer one another.
#pragma once

#include <gtk/gtk.h>

#include <cstddef>

#include "sender/dialog/dialog_host.h"
#include "sender/dialog/gtk_module.h"
#include "sender/dialog/layout.h"

// Everything here stays inside the module: only kestrava_gtk_module is exported.

namespace dialog {

// The class icon and icon statics, at the size of a large Windows icon.
constexpr int kIconSize = 32;

enum Kind { kKindEdit, kKindIpAddress, kKindButton, kKindGroup, kKindText, kKindIcon };

struct Control {
  const LayoutControl* layout;
  Kind kind;
  GtkWidget* widget;      // what the GtkFixed holds
  GtkWidget* parts[4];    // the four entries of an IP field
};

struct HostState {
  const GtkModuleImports* program;  // what the program handed over (kept across dialogs)
  GtkWidget* window;
  GtkWidget* fixed;
  Control controls[40];
  int control_count;
  int char_width;
  int char_height;
  bool building;          // no notifications while the template is built
  int dispatch_depth;
  bool wait_cursor;
  bool quit_posted;
  int exit_code;
};
// The program's side of the dialog, as kestrava_gtk_module received it, and the window.
extern HostState g_gtk;

// ----- the host's services (gtk_services.cpp)

// Delivers a message to the dialog procedure while the window lives.
void Dispatch(unsigned message, WParam wparam, LParam lparam);
// WM_COMMAND with a control's notification, except while the template is built.
void Notify(int id, unsigned code);
// The control with this id, or nullptr (kIdStatic names none).
Control* FindControl(int id);
// A control's id as its signal handlers receive it.
int ControlId(gpointer data);
// A Windows label text as a GTK mnemonic label, into out.
void MnemonicLabel(const char* text, char* out, std::size_t size);
// One of the embedded images, scaled to size x size when size > 0; nullptr if there is none.
GdkPixbuf* LoadImage(int resource_id, int size);
// The services the dialog procedure calls, and the message boxes over the window.
extern const DialogHost kGtkHost;
int GtkMessageBox(platform::Window owner, const char* text, const char* caption, unsigned type);

// ----- the IP address field (gtk_ip_field.cpp)

// Four parts of 0 to 255 standing in for the address control, notifying as the control's id.
GtkWidget* MakeIpField(Control& control);
// The field's text as GetDlgItemText reads it: a dotted address, or empty.
void IpFieldText(const Control& control, char* text, std::size_t size);
// SetDlgItemText on the field.
void SetIpFieldText(Control& control, const char* text);
// An "insert-text" handler that lets only digits in.
void OnDigitsOnlyInsert(GtkEditable* editable, const gchar* text, gint length, gint* position,
                        gpointer data);

}  // namespace dialog
