// The report of a fatal fault, on the fake desktop.
#include "report/report.h"

#include <gtest/gtest.h>

#include "platform/fault_reporter.h"
#include "tests/fake_platform.h"
#include "tests/temp_dir.h"

namespace {

class ReportTest : public TempDirTest {};

TEST_F(ReportTest, AsksAndCopiesOnlyTheReport) {
  struct Case {
    uint32_t code;
    bool yes;
    const char* description;
  } cases[] = {
      {0xC0000005, true, "Invalid memory access"},
      {0xC0000094, true, "Division by zero "},
      {0xC00000FD, false, "Stack overflow"},
      {0xE0000001, true, "Unknown error code"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    fake_platform_reset(path("journal"));
    fake_platform_answer({c.yes});
    record_fault(c.code);
    EXPECT_EQ(report_runtime_error(), 0);
    std::vector<FakeEvent> events = fake_platform_events(path("journal"));
    ASSERT_GE(events.size(), 1u);
    EXPECT_EQ(events[0].kind, "box");
    EXPECT_EQ(events[0].fields, (std::vector<std::string>{
                                    "Tessel Runtime Error",
                                    "A runtime error occured.\n\n" + std::string(c.description) +
                                        "\nWould you like To copy this To the clipboard?",
                                    "yes_no"}));
    if (c.yes) {
      ASSERT_EQ(events.size(), 2u);
      EXPECT_EQ(events[1].kind, "clipboard");
      EXPECT_EQ(events[1].fields, (std::vector<std::string>{"\n" + std::string(c.description)}));
    } else {
      EXPECT_EQ(events.size(), 1u);
    }
  }
}

}  // namespace
