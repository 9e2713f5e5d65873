// A GTK module for the dialog's lab test: writes the text of every label in the program's windows to a file.
// Loaded into kestrava with GTK_MODULES=<this file>; DIALOG_LABELS names the file. Labels draw
// their text and offer it to nothing an X client can read, so the test reads it from inside.
#include <gtk/gtk.h>

#include <cstdio>
#include <string>

namespace {

constexpr guint kIntervalMs = 100;

void Collect(GtkWidget* widget, gpointer data) {
  auto* text = static_cast<std::string*>(data);
  if (GTK_IS_LABEL(widget)) {
    const char* label = gtk_label_get_text(GTK_LABEL(widget));
    if (label != nullptr && label[0] != '\0') *text += std::string(label) + "\n";
  }
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), Collect, data);
}

// Every tick the file is written anew under another name and renamed over the old one, so a
// reader never sees half of it.
gboolean Write(gpointer path) {
  std::string text;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w != nullptr; w = w->next) Collect(GTK_WIDGET(w->data), &text);
  g_list_free(windows);
  const std::string target = static_cast<const char*>(path);
  const std::string partial = target + ".partial";
  if (FILE* file = std::fopen(partial.c_str(), "w")) {
    std::fputs(text.c_str(), file);
    std::fclose(file);
    std::rename(partial.c_str(), target.c_str());
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint*, gchar***) {
  const char* path = g_getenv("DIALOG_LABELS");
  if (path != nullptr) g_timeout_add(kIntervalMs, Write, g_strdup(path));
}
