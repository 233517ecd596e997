// The download window's logic and the install, over real libcurl and the real
// UnZip, with the fake desktop standing in for the window, the boxes and the
// launches of the second run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <map>

#include "payload/extraction_tool.h"
#include "tests/flow_test.h"
#include "tests/http_server.h"

namespace {

using Fields = std::vector<std::string>;

class DownloadTest : public FlowTest {
 protected:
  DownloadTest()
      : server_([this](TestHttpServer& server, const HttpRequest& request, int fd) {
          if (request.method == "GET" && request.path == "/slow.zip") {
            // Announces a megabyte, then sends a trickle until stopped.
            server.send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n");
            while (server.send(fd, std::string(1024, 'x')) && !server.stopping_within(50)) {
            }
            return;
          }
          std::string answer;
          if (!server.find_answer(request, &answer))
            answer = TestHttpServer::response(404, "not here");
          server.send(fd, answer);
        }) {}

  void SetUp() override {
    FlowTest::SetUp();
    serve("GET /v.txt", TestHttpServer::response(200, "2.0"));
    write("updater.exe", "the running updater", 0755);
  }

  void serve(const std::string& route, const std::string& answer) {
    server_.set_answer(route, answer);
  }

  // A release archive holding `files` (path, content), made with Python's
  // zipfile, served as /name for GET and HEAD.
  void publish_zip(const std::string& name, const std::map<std::string, std::string>& files) {
    ASSERT_EQ(mkdir("release", 0755), 0);
    std::string list;
    for (const auto& [file, content] : files) {
      std::string path = "release/" + file;
      size_t slash = path.rfind('/');
      ASSERT_EQ(system(("mkdir -p '" + path.substr(0, slash) + "'").c_str()), 0);
      write(path, content);
      list += " '" + file + "'";
    }
    std::string zip_command =
        "cd release && /usr/bin/python3 -c 'import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
        "  for f in sys.argv[2:]: z.write(f, f, zipfile.ZIP_DEFLATED)' ../" +
        name + list;
    ASSERT_EQ(system(zip_command.c_str()), 0) << zip_command;
    std::string zip = read(name);
    unlink(name.c_str());
    ASSERT_EQ(system("rm -rf release"), 0);
    serve("GET /" + name, TestHttpServer::response(200, zip));
    serve("HEAD /" + name, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(zip.size()) +
                               "\r\nConnection: close\r\n\r\n");
  }

  std::vector<FakeEvent> update(const std::string& archive, const std::string& executable = "app",
                                const std::vector<FakeWindowAction>& actions = {}) {
    fake_platform_run_for_real({"unzip.exe"});
    fake_platform_window_script(actions);
    std::vector<FakeEvent> events =
        run({"My Product", "1.0", server_.url("/v.txt"), server_.url("/" + archive), executable},
            {true});
    return events;
  }

  static std::vector<Fields> fields_of(const std::vector<FakeEvent>& events,
                                       const std::string& kind) {
    std::vector<Fields> found;
    for (const FakeEvent& event : events) {
      if (event.kind == kind) found.push_back(event.fields);
    }
    return found;
  }

  TestHttpServer server_;
};

TEST_F(DownloadTest, TheWindowHoldsTheControlsInFocusOrder) {
  serve("HEAD /slow.zip", "HTTP/1.1 200 OK\r\nContent-Length: 10485760\r\n\r\n");
  std::vector<FakeEvent> events = update("slow.zip", "app", {{FakeWindowAction::kClose, 0}});
  EXPECT_EQ(fields_of(events, "kill"), (std::vector<Fields>{{"app"}}));
  EXPECT_EQ(
      fields_of(events, "window"),
      (std::vector<Fields>{{"Downloading My Product. Tab for progress fields. - Brinwick 1.8"}}));
  EXPECT_EQ(fields_of(events, "control"),
            (std::vector<Fields>{
                {"0", "bar", "0", "15", "200", "20", "100"},
                {"1", "button", "20", "35", "200", "20", "Cancel"},
                {"2", "label", "40", "65", "200", "20", "Percent"},
                {"3", "field", "40", "65", "200", "20", ""},
                {"4", "label", "60", "85", "200", "20", "Total transfered"},
                {"5", "field", "60", "85", "200", "20", ""},
                {"6", "label", "80", "105", "200", "20", "Size"},
                {"7", "field", "80", "105", "200", "20", "10 MB"},
                {"8", "label", "110", "135", "200", "20", "Remaining"},
                {"9", "field", "110", "135", "200", "20", "10 MB"},
                {"10", "label", "130", "155", "200", "20", "Transfer Rate"},
                {"11", "field", "130", "155", "200", "20", "No data yet."},
            }));
  EXPECT_EQ(fields_of(events, "focus"), (std::vector<Fields>{{"1"}}));
  EXPECT_EQ(fields_of(events, "timer"), (std::vector<Fields>{{"123", "1000"}}));
  // A close request ends the run; the partial archive stays.
  EXPECT_TRUE(exists("slow.zip"));
  EXPECT_FALSE(exists("unzip.exe"));
  EXPECT_TRUE(fields_of(events, "launch").empty());
}

TEST_F(DownloadTest, CancelDiscardsTheDownload) {
  std::vector<FakeEvent> events = update(
      "slow.zip", "app",
      {{FakeWindowAction::kTick, 0}, {FakeWindowAction::kTick, 0}, {FakeWindowAction::kClick, 1}});
  EXPECT_FALSE(exists("slow.zip"));
  EXPECT_FALSE(exists("unzip.exe"));
  EXPECT_EQ(read("updater.exe"), "the running updater");
  EXPECT_TRUE(fields_of(events, "launch").empty());
  EXPECT_EQ(events.back().kind, "release");
}

std::vector<FakeWindowAction> ticks_then_close(int ticks) {
  std::vector<FakeWindowAction> actions(ticks, {FakeWindowAction::kTick, 0});
  actions.push_back({FakeWindowAction::kClose, 0});
  return actions;
}

TEST_F(DownloadTest, AFailedDownloadSaysSoAndWaits) {
  std::vector<FakeEvent> events = update("missing.zip", "app", ticks_then_close(20));
  std::vector<Fields> texts = fields_of(events, "text");
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), (Fields{"11", "Download failed"}));
  EXPECT_TRUE(fields_of(events, "launch").empty());
  EXPECT_FALSE(exists("missing.zip"));
  EXPECT_EQ(fields_of(events, "box").size(), 1u);  // only the question
}

TEST_F(DownloadTest, AnUnknownSizePulsesTheBar) {
  serve("HEAD /slow.zip", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
  std::vector<FakeEvent> events = update("slow.zip", "app", ticks_then_close(5));
  EXPECT_EQ(fields_of(events, "pulse").size(), 5u);
  EXPECT_TRUE(fields_of(events, "bar").empty());
  for (const Fields& text : fields_of(events, "text")) {
    EXPECT_NE(text[0], "3") << "no percent for an unknown size";
  }
}

TEST_F(DownloadTest, InstallsAndHandsOverToTheSecondRun) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> files;
    bool leftover;         // an "updater2.exe" from an earlier run
    const char* updater;   // "updater.exe" afterwards
    const char* updater2;  // "updater2.exe" afterwards, or nullptr
  } cases[] = {
      {"brings a new updater",
       {{"updater.exe", "new updater"}, {"app", "new app"}},
       false,
       "new updater",
       "the running updater"},
      {"brings no updater", {{"app", "new app"}}, false, "the running updater", nullptr},
      {"an earlier updater2.exe",
       {{"updater.exe", "new updater"}, {"app", "new app"}},
       true,
       "new updater",
       "left over"},
      {"everything under a folder",
       {{"v2/updater.exe", "new updater"}, {"v2/app", "new app"}},
       false,
       "the running updater",
       nullptr},
      {"brings an empty updater",
       {{"updater.exe", ""}, {"app", "new app"}},
       false,
       "",
       "the running updater"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(system("rm -rf ./*"), 0);
    write("updater.exe", "the running updater", 0755);
    write("app", "old app", 0755);
    if (c.leftover) write("updater2.exe", "left over");
    publish_zip("release.zip", c.files);
    std::vector<FakeEvent> events = update("release.zip", "app");

    EXPECT_EQ(fields_of(events, "launch"),
              (std::vector<Fields>{{"unzip.exe", "-o -qq release.zip", "", "3"},
                                   {"updater.exe", "cln app", "", "0"}}));
    std::vector<Fields> boxes = fields_of(events, "box");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1],
              (Fields{"Done", "Update complete! Press OK to launch the updated application!",
                      "information"}));
    EXPECT_EQ(read("updater.exe"), c.updater);
    if (c.updater2) {
      EXPECT_EQ(read("updater2.exe"), c.updater2);
    } else {
      EXPECT_FALSE(exists("updater2.exe"));
    }
    bool in_folder = c.files.count("app") == 0;
    EXPECT_EQ(read("app"), in_folder ? "old app" : "new app");
    EXPECT_TRUE(exists("release.zip")) << "the archive is kept";
    EXPECT_TRUE(exists("unzip.exe")) << "the second run removes it";
    std::vector<Fields> texts = fields_of(events, "text");
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), (Fields{"3", "100%"}));
  }
}

TEST_F(DownloadTest, ADamagedArchiveIsReportedAndTheApplicationStillStarts) {
  std::string damaged = "PK\x03\x04 this is not really a zip archive";
  serve("GET /release.zip", TestHttpServer::response(200, damaged));
  std::vector<FakeEvent> events = update("release.zip", "My App");
  std::vector<Fields> boxes = fields_of(events, "box");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(
      boxes[1],
      (Fields{"Error", "The update could not be installed. Press OK to launch the application.",
              "ok"}));
  EXPECT_EQ(read("updater.exe"), "the running updater");
  EXPECT_FALSE(exists("updater2.exe"));
  // A name with a blank stays one name, for the stop and for the second run.
  EXPECT_EQ(fields_of(events, "kill"), (std::vector<Fields>{{"My App"}}));
  std::vector<Fields> launches = fields_of(events, "launch");
  ASSERT_EQ(launches.size(), 2u);
  EXPECT_EQ(launches[1], (Fields{"updater.exe", "cln \"My App\"", "", "0"}));
}

TEST_F(DownloadTest, ADiskThatFillsDuringExtractionKeepsTheOldUpdater) {
  // A megabyte that compresses to almost nothing: the download fits under
  // the limit, the extracted copy does not.
  publish_zip("release.zip", {{"updater.exe", std::string(1 << 20, 'x')}, {"app", "new app"}});
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit = {300 * 1024, 300 * 1024}, old;
  getrlimit(RLIMIT_FSIZE, &old);
  setrlimit(RLIMIT_FSIZE, &limit);
  std::vector<FakeEvent> events = update("release.zip", "app");
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  std::vector<Fields> boxes = fields_of(events, "box");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1][0], "Error");
  EXPECT_EQ(read("updater.exe"), "the running updater");
  EXPECT_FALSE(exists("updater2.exe"));
}

TEST_F(DownloadTest, NothingIsExtractedOutsideTheDirectory) {
  ASSERT_EQ(mkdir("app", 0755), 0);
  ASSERT_EQ(chdir("app"), 0);
  write("updater.exe", "the running updater", 0755);
  std::string outside = dir_ + "/outside.txt";
  std::string absolute = dir_ + "/absolute.txt";
  // Entries that climb out of the directory or name an absolute path.
  std::string zip_command =
      "/usr/bin/python3 -c 'import sys, zipfile\n"
      "with zipfile.ZipFile(\"evil.zip\", \"w\") as z:\n"
      "  z.writestr(\"../outside.txt\", \"x\")\n"
      "  z.writestr(\"sub/../../outside.txt\", \"x\")\n"
      "  z.writestr(sys.argv[1], \"x\")\n"
      "  z.writestr(\"inside.txt\", \"fine\")' " +
      absolute;
  ASSERT_EQ(system(zip_command.c_str()), 0);
  std::string zip = read("evil.zip");
  unlink("evil.zip");
  serve("GET /evil.zip", TestHttpServer::response(200, zip));
  update("evil.zip", "app");
  EXPECT_FALSE(exists(outside));
  EXPECT_FALSE(exists(absolute));
  EXPECT_EQ(read("inside.txt"), "fine");
}

TEST_F(DownloadTest, ArchiveFileNameIsTheLastSegment) {
  serve("GET /get", TestHttpServer::response(404, ""));
  struct Case {
    std::string path, file;
  } cases[] = {{"/files/pkg.zip", "pkg.zip"}, {"/get?id=7", "get?id=7"}};
  for (const Case& c : cases) {
    serve("GET " + c.path, TestHttpServer::response(200, "partial"));
    // The close comes before the first tick: the file stays as it is.
    fake_platform_window_script({{FakeWindowAction::kClose, 0}});
    run({"P", "1.0", server_.url("/v.txt"), server_.url(c.path), "app"}, {true});
    EXPECT_TRUE(exists(c.file)) << c.path;
  }
}

}  // namespace
