// Prints the X primary selection (the text selected in a window) for the dialog's lab test.
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("dialog_selection: no display\n", stderr);
    return 2;
  }
  gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_PRIMARY));
  if (text == nullptr) return 1;
  std::printf("%s\n", text);
  g_free(text);
  return 0;
}
