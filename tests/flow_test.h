// A fixture that runs the whole program, from start-up to its end, on the
// fake desktop in a temporary directory. Each run ends its process, so it
// runs in a child and the test reads the journal the child left.
#ifndef UPDATER_TESTS_FLOW_TEST_H_
#define UPDATER_TESTS_FLOW_TEST_H_

#include <string>
#include <vector>

#include "app/updater.h"
#include "platform/process.h"
#include "tests/fake_platform.h"
#include "tests/temp_dir.h"

class FlowTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    fake_platform_window_script({});
    fake_platform_run_for_real({});
  }

  // Runs the program with `arguments` after its own name, answering its
  // Yes/No boxes with `answers`; the run must end with exit code 0.
  std::vector<FakeEvent> run(std::vector<std::string> arguments,
                             const std::vector<bool>& answers = {}) {
    arguments.insert(arguments.begin(), "updater.exe");
    std::string journal = path("journal.txt");
    fake_platform_reset(journal);
    fake_platform_answer(answers);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    set_process_arguments(static_cast<int>(arguments.size()), argv.data());
    EXPECT_EXIT(updater_main(), testing::ExitedWithCode(0), "");
    return fake_platform_events(journal);
  }

  static std::vector<FakeEvent> only(const std::vector<FakeEvent>& events,
                                     const std::string& kind) {
    std::vector<FakeEvent> matching;
    for (const FakeEvent& event : events) {
      if (event.kind == kind) matching.push_back(event);
    }
    return matching;
  }
};

#endif  // UPDATER_TESTS_FLOW_TEST_H_
