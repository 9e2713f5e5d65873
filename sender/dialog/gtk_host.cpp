// The GTK 3 dialog host, a module kestrava opens on Linux: builds template 101, forwards notifications.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "sender/dialog/dialog_host.h"
#include "sender/dialog/gtk_module.h"
#include "sender/dialog/images.h"
#include "sender/dialog/layout.h"

namespace dialog {

namespace {

// The program's side of the dialog, as kestrava_gtk_module received it.

// The dialog font: "MS Sans Serif" 8 point is not on Linux; the desktop's sans face in the
// same size takes its place, and its metrics size the dialog units.
constexpr char kDialogFont[] = "Sans 8";
constexpr char kMeasureText[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char kHelpOpener[] = "xdg-open";
constexpr int kIconSize = 32;
constexpr int kIdOkButton = 1;

// Windows' dialog look: small font, tight buttons and fields, and the IP field drawn as one
// field whose four parts have no frames of their own.
constexpr char kCss[] =
    "#tidewake-dialog, #tidewake-dialog * { font-family: Sans; font-size: 8pt; }\n"
    "#tidewake-dialog button { padding: 0px 4px; min-height: 0px; min-width: 0px; }\n"
    "#tidewake-dialog entry { padding: 0px 3px; min-height: 0px; }\n"
    "#tidewake-dialog .ipfield { border: 1px solid @borders; border-radius: 3px;"
    " background-color: @theme_base_color; }\n"
    "#tidewake-dialog .ipfield entry { border: none; box-shadow: none; padding: 0px;"
    " background: none; min-width: 0px; }\n"
    "#tidewake-dialog .banner { font-family: 'Arial Black', Sans; font-weight: 900;"
    " font-size: 15px; }\n";

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
HostState g_gtk;

// ----- notifications to the dialog procedure

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

Control* FindControl(int id) {
  if (id == kIdStatic) return nullptr;
  for (int i = 0; i < g_gtk.control_count; ++i) {
    if (g_gtk.controls[i].layout->id == id) return &g_gtk.controls[i];
  }
  return nullptr;
}

int ControlId(gpointer data) { return GPOINTER_TO_INT(data); }

void OnButtonClicked(GtkButton*, gpointer data) { Notify(ControlId(data), kBnClicked); }
void OnEntryChanged(GtkEditable*, gpointer data) { Notify(ControlId(data), kEnChange); }

gboolean OnEntryFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
  Notify(ControlId(data), kEnSetFocus);
  return FALSE;
}
gboolean OnEntryFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
  Notify(ControlId(data), kEnKillFocus);
  return FALSE;
}

// ES_NUMBER and the parts of an IP field take digits only.
void OnDigitsOnlyInsert(GtkEditable* editable, const gchar* text, gint length, gint*, gpointer) {
  if (length < 0) length = static_cast<gint>(std::strlen(text));
  for (gint i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      g_signal_stop_emission_by_name(editable, "insert-text");
      gtk_widget_error_bell(GTK_WIDGET(editable));
      return;
    }
  }
}

// ----- the IP address field: four parts of 0 to 255

bool IpFieldBlank(const Control& control) {
  for (GtkWidget* part : control.parts) {
    if (gtk_entry_get_text_length(GTK_ENTRY(part)) != 0) return false;
  }
  return true;
}

// The dotted address, blank parts read as 0; a field with no part filled in reads as empty.
void IpFieldText(const Control& control, char* text, std::size_t size) {
  if (IpFieldBlank(control)) {
    if (size > 0) text[0] = '\0';
    return;
  }
  int values[4];
  for (int i = 0; i < 4; ++i) {
    values[i] = std::atoi(gtk_entry_get_text(GTK_ENTRY(control.parts[i])));
  }
  std::snprintf(text, size, "%d.%d.%d.%d", values[0], values[1], values[2], values[3]);
}

// Shows a dotted address; any other text blanks the field, as the address control ignores
// what it cannot read.
void SetIpFieldText(Control& control, const char* text) {
  std::uint8_t values[4] = {0, 0, 0, 0};
  bool valid = g_gtk.program->read_dotted_quad(text, values);
  bool was_building = g_gtk.building;
  g_gtk.building = true;
  for (int i = 0; i < 4; ++i) {
    char part[8] = "";
    if (valid) std::snprintf(part, sizeof part, "%u", static_cast<unsigned>(values[i]));
    gtk_entry_set_text(GTK_ENTRY(control.parts[i]), part);
  }
  g_gtk.building = was_building;
  Notify(control.layout->id, kEnChange);
}

void OnIpPartChanged(GtkEditable* editable, gpointer data) {
  int id = ControlId(data);
  Control* control = FindControl(id);
  if (control == nullptr) return;
  const char* text = gtk_entry_get_text(GTK_ENTRY(editable));
  if (std::atoi(text) > 255) {
    gtk_entry_set_text(GTK_ENTRY(editable), "255");
    return;  // the set above notifies
  }
  // A full part moves on to the next one, as in the address control.
  if (!g_gtk.building && std::strlen(text) == 3 && gtk_widget_has_focus(GTK_WIDGET(editable))) {
    for (int i = 0; i < 3; ++i) {
      if (control->parts[i] == GTK_WIDGET(editable)) gtk_widget_grab_focus(control->parts[i + 1]);
    }
  }
  Notify(id, kEnChange);
}

// '.' in a part moves on to the next part; in an empty part (just entered after a full one)
// it is ignored, so that typing a whole dotted address fills the four parts in turn.
void OnIpPartInsert(GtkEditable* editable, const gchar* text, gint length, gint* position,
                    gpointer data) {
  if (length == 1 && text[0] == '.') {
    g_signal_stop_emission_by_name(editable, "insert-text");
    Control* control = FindControl(ControlId(data));
    if (gtk_entry_get_text_length(GTK_ENTRY(editable)) == 0) return;
    for (int i = 0; control != nullptr && i < 3; ++i) {
      if (control->parts[i] == GTK_WIDGET(editable)) gtk_widget_grab_focus(control->parts[i + 1]);
    }
    return;
  }
  OnDigitsOnlyInsert(editable, text, length, position, data);
}

GtkWidget* MakeIpField(Control& control) {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_style_context_add_class(gtk_widget_get_style_context(box), "ipfield");
  gpointer id = GINT_TO_POINTER(control.layout->id);
  for (int i = 0; i < 4; ++i) {
    GtkWidget* part = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(part), 3);
    gtk_entry_set_width_chars(GTK_ENTRY(part), 3);
    gtk_entry_set_alignment(GTK_ENTRY(part), 0.5f);
    gtk_entry_set_has_frame(GTK_ENTRY(part), FALSE);
    gtk_entry_set_activates_default(GTK_ENTRY(part), TRUE);
    gtk_box_pack_start(GTK_BOX(box), part, TRUE, TRUE, 0);
    if (i < 3) gtk_box_pack_start(GTK_BOX(box), gtk_label_new("."), FALSE, FALSE, 0);
    g_signal_connect(part, "insert-text", G_CALLBACK(OnIpPartInsert), id);
    g_signal_connect(part, "changed", G_CALLBACK(OnIpPartChanged), id);
    control.parts[i] = part;
  }
  // Tab enters the field at its first part and leaves it from there, as the address
  // control is one tab stop; '.' and a full part move between the parts.
  GList* chain = g_list_append(nullptr, control.parts[0]);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(box), chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(chain);
  return box;
}

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

// ----- the host's services

GtkWidget* TextWidget(Control& control) {
  return control.kind == kKindButton ? gtk_bin_get_child(GTK_BIN(control.widget)) : control.widget;
}

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

void HostDestroyWindow(platform::Window) {
  if (g_gtk.window != nullptr) gtk_widget_destroy(g_gtk.window);
}

void HostPostQuitMessage(int exit_code) {
  g_gtk.exit_code = exit_code;
  g_gtk.quit_posted = true;
  if (gtk_main_level() > 0) gtk_main_quit();
}

void HostOpenFile(platform::Window, const char* file) {
  gchar* argv[] = {const_cast<gchar*>(kHelpOpener), const_cast<gchar*>(file), nullptr};
  g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr);
}

const DialogHost kGtkHost = {
    HostSetItemText,   HostGetItemText,     HostSetCaption,    HostSetBannerFont,
    HostSetButtonBitmap, HostSetClassIcon,  HostSetWaitCursor, HostPostMessage,
    HostDestroyWindow, HostPostQuitMessage, HostOpenFile,
};

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

// ----- building the window from the layout table

void MeasureDialogFont(GtkWidget* window) {
  PangoLayout* layout = gtk_widget_create_pango_layout(window, kMeasureText);
  PangoFontDescription* font = pango_font_description_from_string(kDialogFont);
  pango_layout_set_font_description(layout, font);
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  pango_font_description_free(font);
  g_object_unref(layout);
  // Windows' average character width: the alphabet's width over 52, rounded.
  g_gtk.char_width = width > 0 ? (width / 26 + 1) / 2 : 6;
  g_gtk.char_height = height > 0 ? height : 13;
}

GtkWidget* MakeWidget(Control& control) {
  const LayoutControl& layout = *control.layout;
  gpointer id = GINT_TO_POINTER(layout.id);
  const char* text = layout.text != nullptr ? layout.text : "";
  if (std::strcmp(layout.class_name, kClassEdit) == 0) {
    control.kind = kKindEdit;
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_entry_set_has_frame(GTK_ENTRY(entry), (layout.style & kWsBorder) != 0);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_entry_set_text(GTK_ENTRY(entry), text);
    if ((layout.style & kEsNumber) != 0) {
      g_signal_connect(entry, "insert-text", G_CALLBACK(OnDigitsOnlyInsert), id);
    }
    g_signal_connect(entry, "changed", G_CALLBACK(OnEntryChanged), id);
    g_signal_connect(entry, "focus-in-event", G_CALLBACK(OnEntryFocusIn), id);
    g_signal_connect(entry, "focus-out-event", G_CALLBACK(OnEntryFocusOut), id);
    return entry;
  }
  if (std::strcmp(layout.class_name, kClassIpAddress) == 0) {
    control.kind = kKindIpAddress;
    GtkWidget* field = MakeIpField(control);
    SetIpFieldText(control, text);
    return field;
  }
  if (std::strcmp(layout.class_name, kClassButton) == 0) {
    if ((layout.style & kBsTypeMask) == kBsGroupBox) {
      control.kind = kKindGroup;
      return gtk_frame_new(text);
    }
    control.kind = kKindButton;
    char label[256];
    MnemonicLabel(text, label, sizeof label);
    GtkWidget* button = layout.text != nullptr ? gtk_button_new_with_mnemonic(label) : gtk_button_new();
    g_signal_connect(button, "clicked", G_CALLBACK(OnButtonClicked), id);
    return button;
  }
  if ((layout.style & kSsTypeMask) == kSsIcon) {
    control.kind = kKindIcon;
    GdkPixbuf* pixbuf = LoadImage(layout.image, kIconSize);
    GtkWidget* image = pixbuf != nullptr ? gtk_image_new_from_pixbuf(pixbuf) : gtk_image_new();
    if (pixbuf != nullptr) g_object_unref(pixbuf);
    gtk_widget_set_halign(image, GTK_ALIGN_START);
    gtk_widget_set_valign(image, GTK_ALIGN_START);
    return image;
  }
  control.kind = kKindText;
  GtkWidget* label = gtk_label_new(text);
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), (layout.style & kSsCenterImage) != 0 ? 0.5f : 0.0f);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  return label;
}

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer) {
  // The close button goes the way of the system menu's Close: the procedure destroys.
  Dispatch(kWmSysCommand, kScClose, 0);
  return TRUE;
}

void OnDestroy(GtkWidget*, gpointer) {
  Dispatch(kWmDestroy, 0, 0);
  g_gtk.window = nullptr;
  g_gtk.program->set_message_box_host(nullptr);
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer) {
  if (event->keyval == GDK_KEY_Escape) {
    Dispatch(kWmCommand, MakeCommandParam(kIdCancel, kBnClicked), 0);
    return TRUE;
  }
  return FALSE;
}

void OnActiveChanged(GObject*, GParamSpec*, gpointer) {
  if (g_gtk.window == nullptr) return;
  bool active = gtk_window_is_active(GTK_WINDOW(g_gtk.window));
  Dispatch(kWmActivate, active ? 1 : kWaInactive, 0);
}

void ApplyCss() {
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

bool Initialise(int* argc, char*** argv) {
  if (!gtk_init_check(argc, argv)) return false;
  ApplyCss();
  return true;
}

platform::Window CreateMainDialog(int) {
  const GtkModuleImports* program = g_gtk.program;
  std::memset(&g_gtk, 0, sizeof g_gtk);
  g_gtk.program = program;
  g_gtk.building = true;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_gtk.window = window;
  gtk_widget_set_name(window, "tidewake-dialog");
  gtk_window_set_title(GTK_WINDOW(window), kDialogInitialCaption);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  MeasureDialogFont(window);

  GtkWidget* fixed = gtk_fixed_new();
  g_gtk.fixed = fixed;
  gtk_widget_set_size_request(fixed, DialogUnitsToPixelsX(kDialogWidth, g_gtk.char_width),
                              DialogUnitsToPixelsY(kDialogHeight, g_gtk.char_height));
  gtk_container_add(GTK_CONTAINER(window), fixed);

  GList* focus_chain = nullptr;
  GtkWidget* default_button = nullptr;
  int room = static_cast<int>(sizeof g_gtk.controls / sizeof g_gtk.controls[0]);
  for (int i = 0; i < kMainDialogControlCount && i < room; ++i) {
    Control& control = g_gtk.controls[g_gtk.control_count++];
    control.layout = &kMainDialogControls[i];
    GtkWidget* widget = MakeWidget(control);
    control.widget = widget;
    const LayoutControl& layout = *control.layout;
    int x = DialogUnitsToPixelsX(layout.x, g_gtk.char_width);
    int y = DialogUnitsToPixelsY(layout.y, g_gtk.char_height);
    if (control.kind != kKindIcon) {
      gtk_widget_set_size_request(widget, DialogUnitsToPixelsX(layout.width, g_gtk.char_width),
                                  DialogUnitsToPixelsY(layout.height, g_gtk.char_height));
    }
    gtk_fixed_put(GTK_FIXED(fixed), widget, x, y);
    if ((layout.style & kWsTabStop) != 0) focus_chain = g_list_append(focus_chain, widget);
    if (control.kind == kKindButton && (layout.style & kBsTypeMask) == kBsDefPushButton) {
      default_button = widget;
    }
  }
  // Tab walks the controls with a tab stop in template order, as the dialog manager does.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(fixed), focus_chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(focus_chain);
  if (default_button != nullptr) {
    gtk_widget_set_can_default(default_button, TRUE);
    gtk_window_set_default(GTK_WINDOW(window), default_button);
  }

  g_signal_connect(window, "delete-event", G_CALLBACK(OnDeleteEvent), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(OnDestroy), nullptr);
  g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
  g_signal_connect(window, "notify::is-active", G_CALLBACK(OnActiveChanged), nullptr);

  g_gtk.program->set_dialog_host(&kGtkHost);
  g_gtk.program->set_message_box_host(GtkMessageBox);
  gtk_widget_show_all(window);
  g_gtk.building = false;
  g_gtk.program->dialog_proc(window, kWmInitDialog, 0, 0);
  // WM_INITDIALOG returned TRUE: the first control with a tab stop takes the focus.
  Control* first = FindControl(kIdTargetName);
  if (first != nullptr) gtk_widget_grab_focus(first->widget);
  return window;
}

int MessageLoop() {
  if (!g_gtk.quit_posted) gtk_main();
  return g_gtk.exit_code;
}

const GtkModuleExports kExports = {Initialise, CreateMainDialog, MessageLoop};

}  // namespace

}  // namespace dialog

extern "C" __attribute__((visibility("default"))) const dialog::GtkModuleExports* kestrava_gtk_module(
    const dialog::GtkModuleImports* imports) {
  if (imports == nullptr || imports->interface_version != dialog::kGtkModuleInterface) return nullptr;
  dialog::g_gtk.program = imports;
  return &dialog::kExports;
}
static_assert(std::is_same<decltype(&kestrava_gtk_module), dialog::GtkModuleEntry>::value,
              "the exported function has the type the program calls it by");
