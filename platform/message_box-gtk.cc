#include <gtk/gtk.h>

#include <cstdio>

#include "platform/message_box.h"

namespace {

// The program's own window, when it is open and has the focus.
GtkWindow* active_window() {
  GtkWindow* active = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* item = windows; item != nullptr; item = item->next) {
    GtkWindow* window = GTK_WINDOW(item->data);
    if (gtk_widget_get_visible(GTK_WIDGET(window)) && gtk_window_is_active(window)) active = window;
  }
  g_list_free(windows);
  return active;
}

// GTK refuses text that is not valid UTF-8, and parameters may be anything.
std::string displayable(const std::string& text) {
  gchar* valid = g_utf8_make_valid(text.c_str(), -1);
  std::string result(valid);
  g_free(valid);
  return result;
}

}  // namespace

bool message_box(const std::string& title, const std::string& text, MessageBoxKind kind) {
  if (gdk_display_get_default() == nullptr) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return false;
  }
  // GTK 3 draws no icon for the message types, so every box is of type OTHER
  // and the information box gets its icon explicitly.
  GtkWidget* box =
      gtk_message_dialog_new(active_window(), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                             kind == kMessageBoxYesNo ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s",
                             displayable(text).c_str());
  gtk_window_set_title(GTK_WINDOW(box), displayable(title).c_str());
  if (kind == kMessageBoxInformation) {
    GtkWidget* icon = gtk_image_new_from_icon_name("dialog-information", GTK_ICON_SIZE_DIALOG);
    gtk_widget_show(icon);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), icon);
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
  // Return answers Yes, as users of such boxes expect; Escape closes the box
  // and so counts as No.
  gtk_dialog_set_default_response(GTK_DIALOG(box),
                                  kind == kMessageBoxYesNo ? GTK_RESPONSE_YES : GTK_RESPONSE_OK);
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gint response = gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  // Let the box actually disappear before the caller goes on.
  while (gtk_events_pending()) gtk_main_iteration();
  return response == GTK_RESPONSE_YES;
}
