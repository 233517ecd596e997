#include <gtk/gtk.h>

#include "platform/clipboard.h"

namespace {

std::string g_text;
bool g_owned = false;

void on_get(GtkClipboard*, GtkSelectionData* selection, guint, gpointer) {
  gtk_selection_data_set_text(selection, g_text.c_str(), static_cast<gint>(g_text.size()));
}

// Another application took the clipboard: nothing left to serve.
void on_clear(GtkClipboard*, gpointer) {
  g_owned = false;
  if (gtk_main_level() > 0) gtk_main_quit();
}

}  // namespace

void set_clipboard_text(const std::string& text) {
  if (gdk_display_get_default() == nullptr) return;
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  static const GtkTargetEntry kTargets[] = {
      {const_cast<gchar*>("UTF8_STRING"), 0, 0},
      {const_cast<gchar*>("STRING"), 0, 0},
      {const_cast<gchar*>("TEXT"), 0, 0},
      {const_cast<gchar*>("text/plain;charset=utf-8"), 0, 0},
  };
  g_text = text;
  g_owned = gtk_clipboard_set_with_data(clipboard, kTargets, G_N_ELEMENTS(kTargets), on_get,
                                        on_clear, nullptr) == TRUE;
  if (g_owned) gtk_clipboard_set_can_store(clipboard, nullptr, 0);
}

void serve_clipboard_until_taken() {
  if (!g_owned) return;
  GdkDisplay* display = gdk_display_get_default();
  if (gdk_display_supports_clipboard_persistence(display)) {
    // A clipboard manager keeps the text after we are gone.
    gtk_clipboard_store(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    return;
  }
  gtk_main();
}
