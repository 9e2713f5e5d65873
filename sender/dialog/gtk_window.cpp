// The GTK host's window, built from template 101's layout table, and the dialog's life in the module.
#include <cstring>
#include <type_traits>

#include "sender/dialog/gtk_host.h"

namespace dialog {

HostState g_gtk;

namespace {

// The dialog font: "MS Sans Serif" 8 point is not on Linux; the desktop's sans face in the
// same size takes its place, and its metrics size the dialog units.
constexpr char kDialogFont[] = "Sans 8";
constexpr char kMeasureText[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

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

// ----- notifications of the controls

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

// ----- the window's own events, forwarded as the dialog manager sends them

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

// ----- the dialog's life: initialise, create, message loop

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
