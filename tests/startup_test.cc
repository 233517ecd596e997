// Start-up, the parameter check and cleanup mode, on the fake desktop with
// real files in a temporary directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/updater.h"
#include "payload/extraction_tool.h"
#include "tests/flow_test.h"

namespace {

using StartupTest = FlowTest;

TEST_F(StartupTest, IncompleteParametersShowTheErrorBox) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    const char* message;
  } cases[] = {
      {"no parameters", {}, "Invalid perametors. Name: . Version: . Check URL: . ZIP URL: . EXE: "},
      {"empty product name keeps positions",
       {"", "1.0", "http://c", "http://z", "app"},
       "Invalid perametors. Name: . Version: 1.0. Check URL: http://c. ZIP URL: http://z. EXE: "
       "app"},
      {"executable missing",
       {"My Product", "1.2", "http://c", "http://z"},
       "Invalid perametors. Name: My Product. Version: 1.2. Check URL: http://c. ZIP URL: "
       "http://z. EXE: "},
      {"check URL empty",
       {"P", "1", "", "z", "e"},
       "Invalid perametors. Name: P. Version: 1. Check URL: . ZIP URL: z. EXE: e"},
      {"archive URL empty",
       {"P", "1", "c", "", "e"},
       "Invalid perametors. Name: P. Version: 1. Check URL: c. ZIP URL: . EXE: e"},
      {"upper-case CLN is a product name",
       {"CLN", "x"},
       "Invalid perametors. Name: CLN. Version: x. Check URL: . ZIP URL: . EXE: "},
      {"cln with a blank is a product name",
       {"cln ", "x"},
       "Invalid perametors. Name: cln . Version: x. Check URL: . ZIP URL: . EXE: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<FakeEvent> events = run(c.arguments);
    std::vector<FakeEvent> boxes = only(events, "box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].fields, (std::vector<std::string>{"Error", c.message, "ok"}));
    EXPECT_TRUE(only(events, "launch").empty());
    EXPECT_EQ(events.front().kind, "start");
    EXPECT_EQ(events.back().kind, "release");
    EXPECT_FALSE(exists("unzip.exe"));
  }
}

TEST_F(StartupTest, CompleteParametersPassValidation) {
  // The installed version is never validated: each run goes on to the check,
  // which finds nothing listening at this address.
  for (const char* version : {"", "not a version", "1.2.3"}) {
    std::vector<FakeEvent> boxes = only(
        run({"P", version, "http://127.0.0.1:1/v.txt", "http://127.0.0.1:1/a.zip", "app"}), "box");
    ASSERT_EQ(boxes.size(), 1u) << version;
    EXPECT_EQ(boxes[0].fields[1], "Network error") << version;
    EXPECT_FALSE(exists("unzip.exe")) << version;
  }
}

TEST_F(StartupTest, CleanupModeRemovesLeftoversAndLaunchesTheTarget) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    const char* target;
  } cases[] = {
      {"target", {"cln", "app.sh"}, "app.sh"},
      {"no target", {"cln"}, ""},
      {"target cut at the blank", {"cln", "My", "App.sh"}, "My"},
      {"target with a blank in one argument", {"cln", "My App.sh"}, "My App.sh"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write("updater2.exe", "old program", 0555);
    std::vector<FakeEvent> events = run(c.arguments);
    EXPECT_TRUE(only(events, "box").empty());
    std::vector<FakeEvent> launches = only(events, "launch");
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].fields, (std::vector<std::string>{c.target, "", "", "0"}));
    EXPECT_FALSE(exists("updater2.exe"));
    EXPECT_FALSE(exists("unzip.exe"));
    EXPECT_EQ(events.back().kind, "release");
  }
}

class ExtractionToolTest : public TempDirTest {};

TEST_F(ExtractionToolTest, WritesThePayloadAsAnExecutable) {
  write_extraction_tool();
  std::string payload(reinterpret_cast<const char*>(extraction_tool_data()),
                      extraction_tool_size());
  EXPECT_EQ(payload, read(UNZIP_PROGRAM));  // the installed UnZip, byte for byte
  EXPECT_EQ(read("unzip.exe"), payload);
  EXPECT_EQ(system("./unzip.exe -v | grep -q 'Info-ZIP'"), 0);
}

TEST_F(ExtractionToolTest, KeepsTheTailOfALongerFileAndSetsTheExecuteBit) {
  std::string payload(reinterpret_cast<const char*>(extraction_tool_data()),
                      extraction_tool_size());
  std::string old(payload.size() + 1000, 'x');
  write("unzip.exe", old, 0644);
  write_extraction_tool();
  EXPECT_EQ(read("unzip.exe"), payload + std::string(1000, 'x'));
  struct stat info;
  ASSERT_EQ(stat("unzip.exe", &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);
}

TEST_F(ExtractionToolTest, LeavesAFileInUseAlone) {
  // A running program cannot be written to; the run goes on without a word.
  ASSERT_EQ(system("cp /bin/sleep unzip.exe && (./unzip.exe 30 & echo $! > pid) && sleep 0.2"), 0);
  std::string before = read("unzip.exe");
  write_extraction_tool();
  EXPECT_EQ(read("unzip.exe"), before);
  EXPECT_EQ(system("kill $(cat pid)"), 0);
}

TEST(ParseInstalledVersion, Table) {
  struct Case {
    const char* text;
    int32_t major, minor, patch;
  } cases[] = {
      {"1.2.3", 1, 2, 3},   {"1.2", 1, 2, 0},          {"7", 7, 0, 0},
      {"1.2.3.4", 1, 2, 0}, {"1..3", 1, 0, 3},         {"1.2.", 1, 2, 0},
      {" 2. 5.1", 2, 5, 1}, {"1.2.3-beta", 1, 2, 3},   {"release 1.2.3", 0, 2, 3},
      {"", 0, 0, 0},        {"4294967297.0", 1, 0, 0}, {"-1.$10.%11", -1, 16, 3},
  };
  for (const Case& c : cases) {
    VersionNumbers v = parse_installed_version(c.text);
    EXPECT_EQ(v.major, c.major) << c.text;
    EXPECT_EQ(v.minor, c.minor) << c.text;
    EXPECT_EQ(v.patch, c.patch) << c.text;
  }
}

}  // namespace
