// The GTK host's IPv4 field: four entries of 0 to 255 standing in for the Windows IP address control.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sender/dialog/gtk_host.h"

namespace dialog {

namespace {

bool IpFieldBlank(const Control& control) {
  for (GtkWidget* part : control.parts) {
    if (gtk_entry_get_text_length(GTK_ENTRY(part)) != 0) return false;
  }
  return true;
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

}  // namespace

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

}  // namespace dialog
