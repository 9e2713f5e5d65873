// The GTK host's services: messages, control texts, images, the wait cursor, help, message boxes.
#include <sys/wait.h>

#include <cstdio>
#include <cstring>

#include "sender/dialog/gtk_host.h"
#include "sender/dialog/images.h"

namespace dialog {

// ----- messages to the dialog procedure, and the wait cursor while one runs

void Dispatch(unsigned message, WParam wparam, LParam lparam) {
  if (g_gtk.window == nullptr) return;
  GtkWidget* window = g_gtk.window;
  ++g_gtk.dispatch_depth;
  g_gtk.program->dialog_proc(window, message, wparam, lparam);
  --g_gtk.dispatch_depth;
  // The wait cursor lasts until the command that set it has run, as on Windows the next
  // mouse move after a blocking command restores the arrow.
  if (g_gtk.dispatch_depth == 0 && g_gtk.wait_cursor) {
    g_gtk.wait_cursor = false;
    if (g_gtk.window != nullptr && gtk_widget_get_window(g_gtk.window) != nullptr) {
      gdk_window_set_cursor(gtk_widget_get_window(g_gtk.window), nullptr);
    }
  }
}

void Notify(int id, unsigned code) {
  if (g_gtk.building) return;
  Dispatch(kWmCommand, MakeCommandParam(id, code), 0);
}

namespace {

struct PostedMessage {
  unsigned message;
  WParam wparam;
  LParam lparam;
};

gboolean DeliverPosted(gpointer data) {
  PostedMessage* posted = static_cast<PostedMessage*>(data);
  Dispatch(posted->message, posted->wparam, posted->lparam);
  g_free(posted);
  return G_SOURCE_REMOVE;
}

void HostPostMessage(platform::Window, unsigned message, WParam wparam, LParam lparam) {
  PostedMessage* posted = g_new(PostedMessage, 1);
  posted->message = message;
  posted->wparam = wparam;
  posted->lparam = lparam;
  g_idle_add(DeliverPosted, posted);
}

void HostPostQuitMessage(int exit_code) {
  g_gtk.exit_code = exit_code;
  g_gtk.quit_posted = true;
  if (gtk_main_level() > 0) gtk_main_quit();
}

void HostSetWaitCursor(platform::Window) {
  if (g_gtk.window == nullptr) return;
  GdkWindow* window = gtk_widget_get_window(g_gtk.window);
  if (window == nullptr) return;
  GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(window), "wait");
  gdk_window_set_cursor(window, cursor);
  if (cursor != nullptr) g_object_unref(cursor);
  // The command blocks the loop: the cursor must reach the display now.
  gdk_display_flush(gdk_window_get_display(window));
  g_gtk.wait_cursor = true;
}

}  // namespace

// ----- the controls

Control* FindControl(int id) {
  if (id == kIdStatic) return nullptr;
  for (int i = 0; i < g_gtk.control_count; ++i) {
    if (g_gtk.controls[i].layout->id == id) return &g_gtk.controls[i];
  }
  return nullptr;
}

int ControlId(gpointer data) { return GPOINTER_TO_INT(data); }

// Windows marks a mnemonic with '&' ("&&" is a literal '&'); GTK with '_'.
void MnemonicLabel(const char* text, char* out, std::size_t size) {
  std::size_t n = 0;
  for (const char* p = text; *p != '\0' && n + 2 < size; ++p) {
    if (*p == '&') {
      if (p[1] == '&') {
        out[n++] = '&';
        ++p;
      } else {
        out[n++] = '_';
      }
    } else if (*p == '_') {
      out[n++] = '_';
      out[n++] = '_';
    } else {
      out[n++] = *p;
    }
  }
  out[n] = '\0';
}

namespace {

GtkWidget* TextWidget(Control& control) {
  return control.kind == kKindButton ? gtk_bin_get_child(GTK_BIN(control.widget)) : control.widget;
}

void HostSetItemText(platform::Window, int id, const char* text) {
  Control* control = FindControl(id);
  if (control == nullptr) return;
  if (text == nullptr) text = "";
  switch (control->kind) {
    case kKindEdit:
      gtk_entry_set_text(GTK_ENTRY(control->widget), text);
      break;
    case kKindIpAddress:
      SetIpFieldText(*control, text);
      break;
    case kKindButton: {
      char label[256];
      MnemonicLabel(text, label, sizeof label);
      gtk_button_set_label(GTK_BUTTON(control->widget), label);
      break;
    }
    case kKindGroup:
      gtk_frame_set_label(GTK_FRAME(control->widget), text);
      break;
    case kKindText:
      gtk_label_set_text(GTK_LABEL(control->widget), text);
      break;
    case kKindIcon:
      break;
  }
}

unsigned HostGetItemText(platform::Window, int id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  Control* control = FindControl(id);
  if (control == nullptr) return 0;
  const char* text = "";
  char dotted[20];
  switch (control->kind) {
    case kKindEdit:
      text = gtk_entry_get_text(GTK_ENTRY(control->widget));
      break;
    case kKindIpAddress:
      IpFieldText(*control, dotted, sizeof dotted);
      text = dotted;
      break;
    case kKindButton:
      text = gtk_button_get_label(GTK_BUTTON(control->widget));
      break;
    case kKindGroup:
      text = gtk_frame_get_label(GTK_FRAME(control->widget));
      break;
    case kKindText:
      text = gtk_label_get_text(GTK_LABEL(control->widget));
      break;
    case kKindIcon:
      break;
  }
  if (text == nullptr) text = "";
  std::snprintf(buffer, static_cast<std::size_t>(size), "%s", text);
  return static_cast<unsigned>(std::strlen(buffer));
}

void HostSetCaption(platform::Window, const char* text) {
  if (g_gtk.window != nullptr) gtk_window_set_title(GTK_WINDOW(g_gtk.window), text);
}

void HostSetBannerFont(platform::Window, int id) {
  Control* control = FindControl(id);
  if (control == nullptr) return;
  gtk_style_context_add_class(gtk_widget_get_style_context(TextWidget(*control)), "banner");
}

}  // namespace

// ----- images

GdkPixbuf* LoadImage(int resource_id, int size) {
  const EmbeddedImage* image = FindEmbeddedImage(resource_id);
  if (image == nullptr) return nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  GdkPixbuf* pixbuf = nullptr;
  if (gdk_pixbuf_loader_write(loader, image->data, image->size, nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    GdkPixbuf* loaded = gdk_pixbuf_loader_get_pixbuf(loader);
    if (loaded != nullptr) {
      bool resize = size > 0 && (gdk_pixbuf_get_width(loaded) != size ||
                                 gdk_pixbuf_get_height(loaded) != size);
      pixbuf = resize ? gdk_pixbuf_scale_simple(loaded, size, size, GDK_INTERP_BILINEAR)
                      : GDK_PIXBUF(g_object_ref(loaded));
    }
  } else {
    gdk_pixbuf_loader_close(loader, nullptr);
  }
  g_object_unref(loader);
  return pixbuf;
}

namespace {

void HostSetButtonBitmap(platform::Window, int id, int bitmap) {
  Control* control = FindControl(id);
  GdkPixbuf* pixbuf = LoadImage(bitmap, 0);
  if (control == nullptr || control->kind != kKindButton || pixbuf == nullptr) {
    if (pixbuf != nullptr) g_object_unref(pixbuf);
    return;
  }
  gtk_button_set_label(GTK_BUTTON(control->widget), nullptr);
  gtk_button_set_image(GTK_BUTTON(control->widget), gtk_image_new_from_pixbuf(pixbuf));
  gtk_button_set_always_show_image(GTK_BUTTON(control->widget), TRUE);
  g_object_unref(pixbuf);
}

void HostSetClassIcon(platform::Window, int icon) {
  GdkPixbuf* pixbuf = LoadImage(icon, kIconSize);
  if (pixbuf == nullptr || g_gtk.window == nullptr) {
    if (pixbuf != nullptr) g_object_unref(pixbuf);
    return;
  }
  gtk_window_set_icon(GTK_WINDOW(g_gtk.window), pixbuf);
  g_object_unref(pixbuf);
}

}  // namespace

// ----- the window's end, the help page

namespace {

void HostDestroyWindow(platform::Window) {
  if (g_gtk.window != nullptr) gtk_widget_destroy(g_gtk.window);
}

constexpr char kHelpOpener[] = "xdg-open";

void SayHelpUnopened() {
  if (g_gtk.window == nullptr) return;  // the dialog closed while xdg-open ran
  HostSetItemText(g_gtk.window, kIdStatus, g_gtk.program->help_unopened_text);
}

// xdg-open's status: 0 when the page was handed to a browser; 1 to 4 for a bad command line,
// a missing file, no tool for the desktop, or a browser that failed.
void OnOpenerEnded(GPid pid, gint wait_status, gpointer) {
  g_spawn_close_pid(pid);
  if (!WIFEXITED(wait_status) || WEXITSTATUS(wait_status) != 0) SayHelpUnopened();
}

// The only file the dialog opens is its help file, which it names as on Windows, a compiled
// help file; here the help is the HTML page the program found, shown by the desktop's browser
// through xdg-open. xdg-open may wait for the browser it starts, so the dialog does not wait
// for it: its end is watched from the main loop.
void HostOpenFile(platform::Window, const char*) {
  const char* page = g_gtk.program->help_page;
  if (!g_file_test(page, G_FILE_TEST_IS_REGULAR)) {
    SayHelpUnopened();
    return;
  }
  gchar* argv[] = {const_cast<gchar*>(kHelpOpener), const_cast<gchar*>(page), nullptr};
  // Its standard output goes nowhere: the program's carries the log's copy of every record.
  const GSpawnFlags flags = static_cast<GSpawnFlags>(
      G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL);
  GPid pid;
  if (!g_spawn_async(nullptr, argv, nullptr, flags, nullptr, nullptr, &pid, nullptr)) {
    SayHelpUnopened();
    return;
  }
  g_child_watch_add(pid, OnOpenerEnded, nullptr);
}

}  // namespace

// ----- message boxes

namespace {

constexpr int kIdOkButton = 1;

// The GTK look of a message box type's icon (MB_ICONERROR ... MB_ICONINFORMATION).
struct BoxLook {
  GtkMessageType type;
  const char* icon;  // nullptr: no icon
};

BoxLook MessageBoxLook(unsigned type) {
  switch (type & 0xF0u) {
    case 0x10: return {GTK_MESSAGE_ERROR, "dialog-error"};
    case 0x20: return {GTK_MESSAGE_QUESTION, "dialog-question"};
    case 0x30: return {GTK_MESSAGE_WARNING, "dialog-warning"};
    case 0x40: return {GTK_MESSAGE_INFO, "dialog-information"};
    default: return {GTK_MESSAGE_OTHER, nullptr};
  }
}

}  // namespace

// Message boxes of the dialog and of the sender: modal GTK dialogs over the main window.
int GtkMessageBox(platform::Window, const char* text, const char* caption, unsigned type) {
  const BoxLook look = MessageBoxLook(type);
  GtkWindow* parent = g_gtk.window != nullptr ? GTK_WINDOW(g_gtk.window) : nullptr;
  GtkWidget* box = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, look.type, GTK_BUTTONS_OK,
                                          "%s", text != nullptr ? text : "");
  gtk_window_set_title(GTK_WINDOW(box), caption != nullptr ? caption : "");
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER_ON_PARENT);
  if (look.icon != nullptr) {
    // GTK 3 no longer draws the type's icon by itself; the box shows it as Windows does.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GtkWidget* image = gtk_image_new_from_icon_name(look.icon, GTK_ICON_SIZE_DIALOG);
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), image);
    gtk_widget_show(image);
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  // Give the keyboard back to the dialog (without a window manager nobody else does).
  if (g_gtk.window != nullptr) gtk_window_present(GTK_WINDOW(g_gtk.window));
  return kIdOkButton;
}

const DialogHost kGtkHost = {
    HostSetItemText,   HostGetItemText,     HostSetCaption,    HostSetBannerFont,
    HostSetButtonBitmap, HostSetClassIcon,  HostSetWaitCursor, HostPostMessage,
    HostDestroyWindow, HostPostQuitMessage, HostOpenFile,
};

}  // namespace dialog
