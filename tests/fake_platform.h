// A fake desktop for tests of the program's flows: message boxes, launches
// and the platform services are recorded instead of performed.
//
// Each event is appended at once to a journal file, so that a test can read
// what a run did even when the run ended its own (child) process.
#ifndef UPDATER_TESTS_FAKE_PLATFORM_H_
#define UPDATER_TESTS_FAKE_PLATFORM_H_

#include <string>
#include <vector>

struct FakeEvent {
  // "box": title, text, kind. "launch": program, arguments, directory,
  // options. "kill": executable name. "window": title. "control": id, kind,
  // x, y, width, height, text. "text": id, text. "bar": id, value. "pulse":
  // id. "focus": id. "timer": id, interval. "start", "release": nothing.
  std::string kind;
  std::vector<std::string> fields;
};

// Starts a new journal at `path` and forgets scripted answers; the window
// script and the programs run for real stay as set.
void fake_platform_reset(const std::string& path);

// Answers for the Yes/No boxes to come, in order; past the end, No.
void fake_platform_answer(const std::vector<bool>& answers);

// What the fake window's event wait gives, in order. Once they are used up
// it gives a timer tick every 10 ms, and a close request after 2000 ticks.
struct FakeWindowAction {
  enum Kind { kTick, kClose, kClick } kind;
  int id;  // the button, for kClick
};
void fake_platform_window_script(const std::vector<FakeWindowAction>& actions);

// Launches of these programs really run them, from the current directory,
// waiting when asked and giving the exit status; others are only recorded.
void fake_platform_run_for_real(const std::vector<std::string>& programs);

// What the journal at `path` holds; fails the calling test when unreadable.
std::vector<FakeEvent> fake_platform_events(const std::string& path);

#endif  // UPDATER_TESTS_FAKE_PLATFORM_H_
