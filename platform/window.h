// The download window: one top-level window of controls placed by pixel
// rectangles and addressed by id, a repeating timer, and an event wait.
//
// Main thread only, after `start_platform_services`. Without a display every
// operation does nothing and `window_wait_event` reports a close request,
// so a run without a desktop ends instead of hanging.
#ifndef UPDATER_PLATFORM_WINDOW_H_
#define UPDATER_PLATFORM_WINDOW_H_

#include <string>

struct WindowRect {
  int x, y, width, height;
};

enum WindowEventKind {
  kWindowEventTimer,  // `timer_id` says which timer
  kWindowEventClose,  // the desktop asked the window to close; it stays open
};

struct WindowEvent {
  WindowEventKind kind;
  int timer_id;
};

// Opens the window with `title`, maximized and activated, with a title bar
// but no minimize, maximize or close buttons. Once per run.
void window_open(const std::string& title);

// Controls, created in focus order. A label and a read-only field may share
// a rectangle: the field is drawn over the label created just before it,
// and takes that label's text as its accessible name and tooltip.
void window_add_progress_bar(int id, WindowRect rect, int range_max);
void window_add_button(int id, WindowRect rect, const std::string& text);
void window_add_label(int id, WindowRect rect, const std::string& text);
void window_add_field(int id, WindowRect rect, const std::string& text);

// Calls `handler` on the main thread, from inside `window_wait_event`, when
// button `id` is activated (a click, or Space or Enter while it has focus).
void window_bind_click(int id, void (*handler)());

void window_focus(int id);

// A repeating timer; its events carry `timer_id`.
void window_add_timer(int timer_id, int interval_ms);

// Runs the toolkit until a timer fires or a close request arrives, and says
// which. Blocks without a time limit.
WindowEvent window_wait_event();

// The bar's value, shown at the nearer end of its range when outside it.
void window_set_progress(int id, int value);
// Moves the bar in activity mode, for a length nobody knows.
void window_pulse_progress(int id);

void window_set_text(int id, const std::string& text);

#endif  // UPDATER_PLATFORM_WINDOW_H_
