#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <deque>
#include <map>
#include <vector>

#include "platform/window.h"

namespace {

GtkWidget* g_window = nullptr;
GtkWidget* g_fixed = nullptr;
std::map<int, GtkWidget*> g_controls;
std::map<int, int> g_bar_ranges;
std::vector<GtkWidget*> g_focus_order;  // creation order of what takes focus
GtkWidget* g_last_label = nullptr;      // names the field created next
std::deque<WindowEvent> g_events;

// The theme's minimum heights (34 px for entries and buttons) would make the
// 20 px rows overlap; every control gets exactly its rectangle.
const char kCss[] =
    "entry, button { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    "progressbar, progressbar trough { min-height: 0; padding: 0; }\n"
    "progressbar trough, progressbar progress { min-height: 16px; }\n";

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer) {
  g_events.push_back({kWindowEventClose, 0});
  return TRUE;  // the window stays; the program decides
}

// Tab and Shift+Tab cycle through the focusable controls in creation order
// and wrap at both ends; nothing else moves the focus (GTK's Ctrl+Tab would).
gboolean on_key(GtkWidget*, GdkEventKey* event, gpointer) {
  bool ctrl = (event->state & GDK_CONTROL_MASK) != 0;
  bool backward = event->keyval == GDK_KEY_ISO_Left_Tab ||
                  (event->keyval == GDK_KEY_Tab && (event->state & GDK_SHIFT_MASK));
  bool tab = event->keyval == GDK_KEY_Tab || event->keyval == GDK_KEY_ISO_Left_Tab ||
             event->keyval == GDK_KEY_KP_Tab;
  if (!tab) return FALSE;
  if (ctrl || g_focus_order.empty()) return TRUE;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(g_window));
  int n = static_cast<int>(g_focus_order.size());
  int at = -1;
  for (int i = 0; i < n; ++i) {
    if (g_focus_order[i] == focus) at = i;
  }
  int next = at < 0 ? (backward ? n - 1 : 0) : (at + (backward ? n - 1 : 1)) % n;
  gtk_widget_grab_focus(g_focus_order[next]);
  return TRUE;
}

// Once the window manager has maximized the window, take away its buttons;
// removed before that, the window manager would not maximize it either.
gboolean on_state(GtkWidget* widget, GdkEventWindowState* event, gpointer) {
  if (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) {
    gdk_window_set_functions(gtk_widget_get_window(widget), static_cast<GdkWMFunction>(0));
  }
  return FALSE;
}

void place(int id, GtkWidget* widget, WindowRect rect) {
  if (g_fixed == nullptr) {
    gtk_widget_destroy(widget);
    return;
  }
  gtk_widget_set_size_request(widget, rect.width, rect.height);
  gtk_fixed_put(GTK_FIXED(g_fixed), widget, rect.x, rect.y);
  gtk_widget_show(widget);
  g_controls[id] = widget;
}

GtkWidget* control(int id) {
  auto found = g_controls.find(id);
  return found == g_controls.end() ? nullptr : found->second;
}

void on_clicked(GtkButton*, gpointer handler) { reinterpret_cast<void (*)()>(handler)(); }

gboolean on_timer(gpointer id) {
  g_events.push_back({kWindowEventTimer, GPOINTER_TO_INT(id)});
  return G_SOURCE_CONTINUE;
}

}  // namespace

void window_open(const std::string& title) {
  if (gdk_display_get_default() == nullptr || g_window != nullptr) return;
  g_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(g_window), title.c_str());
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(g_window),
                                            GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
  // Without a window manager nothing maximizes: cover the work area then.
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
  if (monitor != nullptr) {
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    gtk_window_set_default_size(GTK_WINDOW(g_window), area.width, area.height);
    gtk_window_move(GTK_WINDOW(g_window), area.x, area.y);
  }
  g_fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(g_window), g_fixed);
  g_signal_connect(g_window, "delete-event", G_CALLBACK(on_delete), nullptr);
  g_signal_connect(g_window, "key-press-event", G_CALLBACK(on_key), nullptr);
  g_signal_connect(g_window, "window-state-event", G_CALLBACK(on_state), nullptr);
  gtk_window_maximize(GTK_WINDOW(g_window));
  gtk_widget_show_all(g_window);
  gtk_window_present(GTK_WINDOW(g_window));
}

void window_add_progress_bar(int id, WindowRect rect, int range_max) {
  GtkWidget* bar = gtk_progress_bar_new();
  g_bar_ranges[id] = range_max > 0 ? range_max : 1;
  gtk_widget_set_can_focus(bar, FALSE);
  place(id, bar, rect);
}

void window_add_button(int id, WindowRect rect, const std::string& text) {
  GtkWidget* button = gtk_button_new_with_label(text.c_str());
  place(id, button, rect);
  if (g_fixed != nullptr) g_focus_order.push_back(button);
}

void window_add_label(int id, WindowRect rect, const std::string& text) {
  GtkWidget* label = gtk_label_new(text.c_str());  // no mnemonics: "&" stays "&"
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  place(id, label, rect);
  g_last_label = g_fixed != nullptr ? label : nullptr;
}

void window_add_field(int id, WindowRect rect, const std::string& text) {
  GtkWidget* field = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(field), text.c_str());
  gtk_editable_set_editable(GTK_EDITABLE(field), FALSE);
  gtk_entry_set_has_frame(GTK_ENTRY(field), TRUE);
  gtk_entry_set_width_chars(GTK_ENTRY(field), 1);  // the rectangle decides the width
  place(id, field, rect);
  if (g_fixed == nullptr) return;
  g_focus_order.push_back(field);
  if (g_last_label != nullptr) {
    // A screen reader names the field by the label under it; a mnemonic
    // widget or a relation alone leaves the name empty.
    const char* name = gtk_label_get_text(GTK_LABEL(g_last_label));
    AtkObject* field_access = gtk_widget_get_accessible(field);
    AtkObject* label_access = gtk_widget_get_accessible(g_last_label);
    atk_object_set_name(field_access, name);
    atk_object_add_relationship(field_access, ATK_RELATION_LABELLED_BY, label_access);
    atk_object_add_relationship(label_access, ATK_RELATION_LABEL_FOR, field_access);
    gtk_widget_set_tooltip_text(field, name);
    g_last_label = nullptr;
  }
}

void window_bind_click(int id, void (*handler)()) {
  GtkWidget* button = control(id);
  if (button == nullptr || !GTK_IS_BUTTON(button)) return;
  g_signal_connect(button, "clicked", G_CALLBACK(on_clicked), reinterpret_cast<gpointer>(handler));
}

void window_focus(int id) {
  GtkWidget* widget = control(id);
  if (widget != nullptr) gtk_widget_grab_focus(widget);
}

void window_add_timer(int timer_id, int interval_ms) {
  if (g_window == nullptr) return;
  g_timeout_add(static_cast<guint>(interval_ms), on_timer, GINT_TO_POINTER(timer_id));
}

WindowEvent window_wait_event() {
  if (g_window == nullptr) return {kWindowEventClose, 0};
  while (g_events.empty()) gtk_main_iteration();
  WindowEvent event = g_events.front();
  g_events.pop_front();
  return event;
}

void window_set_progress(int id, int value) {
  GtkWidget* bar = control(id);
  if (bar == nullptr || !GTK_IS_PROGRESS_BAR(bar)) return;
  int range = g_bar_ranges[id];
  double fraction = value < 0 ? 0.0 : value > range ? 1.0 : static_cast<double>(value) / range;
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), fraction);
}

void window_pulse_progress(int id) {
  GtkWidget* bar = control(id);
  if (bar != nullptr && GTK_IS_PROGRESS_BAR(bar)) gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar));
}

void window_set_text(int id, const std::string& text) {
  GtkWidget* field = control(id);
  if (field == nullptr || !GTK_IS_ENTRY(field)) return;
  gchar* valid = g_utf8_make_valid(text.c_str(), -1);
  gtk_entry_set_text(GTK_ENTRY(field), valid);
  g_free(valid);
}
