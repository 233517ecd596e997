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
  std::string kind;                 // "box", "launch", "start", "release"
  std::vector<std::string> fields;  // box: title, text, kind; launch: program,
                                    // arguments, directory, options
};

// Starts a new journal at `path` and forgets scripted answers.
void fake_platform_reset(const std::string& path);

// Answers for the Yes/No boxes to come, in order; past the end, No.
void fake_platform_answer(const std::vector<bool>& answers);

// What the journal at `path` holds; fails the calling test when unreadable.
std::vector<FakeEvent> fake_platform_events(const std::string& path);

#endif  // UPDATER_TESTS_FAKE_PLATFORM_H_
