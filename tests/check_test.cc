// The update check over real libcurl against a server on 127.0.0.1, with the
// fake desktop answering the boxes.
#include "update/check.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "platform/http.h"
#include "tests/flow_test.h"
#include "tests/http_server.h"
#include "update/session.h"

namespace {

// Serves fixed raw answers by "METHOD /path"; anything else gets a 404.
class CheckTest : public FlowTest {
 protected:
  CheckTest()
      : server_([this](TestHttpServer& server, const HttpRequest& request, int fd) {
          std::string answer;
          if (!server.find_answer(request, &answer))
            answer = TestHttpServer::response(404, "not here");
          server.send(fd, answer);
        }) {}

  void serve(const std::string& route, const std::string& answer) {
    server_.set_answer(route, answer);
  }
  std::string url(const std::string& path) { return server_.url(path); }

  std::vector<FakeEvent> check(const std::string& installed,
                               const std::vector<bool>& answers = {}) {
    return run({"My Product", installed, url("/v.txt"), url("/a.zip"), "app"}, answers);
  }

  int head_requests() {
    int count = 0;
    for (const HttpRequest& request : server_.requests()) count += request.method == "HEAD";
    return count;
  }

  TestHttpServer server_;
};

std::string with_length(const std::string& length_line) {
  return "HTTP/1.1 200 OK\r\n" + length_line + "\r\nConnection: close\r\n\r\n";
}

TEST_F(CheckTest, NothingUsableIsANetworkError) {
  struct Case {
    const char* name;
    std::string answer;
  } cases[] = {
      {"empty body", TestHttpServer::response(200, "")},
      {"body starting with NUL", TestHttpServer::response(200, std::string("\0"
                                                                           "1.2.4",
                                                                           6))},
      {"error page", TestHttpServer::response(404, "1.2.4")},
      {"server error", TestHttpServer::response(500, "<html>2.0</html>")},
      {"redirect to an error page", TestHttpServer::response(302, "", "Location: /missing\r\n")},
      {"connection cut mid-body",
       "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n1.2.4"},
      {"no answer at all", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    serve("GET /v.txt", c.answer);
    std::vector<FakeEvent> events = check("1.2.3");
    std::vector<FakeEvent> boxes = only(events, "box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].fields, (std::vector<std::string>{"Error", "Network error", "ok"}));
    EXPECT_EQ(head_requests(), 0);
    EXPECT_FALSE(exists("unzip.exe"));
    EXPECT_EQ(events.back().kind, "release");
  }
}

TEST_F(CheckTest, EqualVersionsEndQuietly) {
  struct Case {
    const char* latest;
    const char* installed;
  } cases[] = {
      {"1.2", "1.2.0"},   {"1.2.0", "1.2"},      {"1.2.3\n", "1.2.3"},  {"1.2.3\r\n", "1.2.3"},
      {"1.2.3.4", "1.2"}, {"01.02.03", "1.2.3"}, {"4294967297.0", "1"}, {"x", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.latest) + " vs " + c.installed);
    serve("GET /v.txt", TestHttpServer::response(200, c.latest));
    std::vector<FakeEvent> events = check(c.installed);
    EXPECT_TRUE(only(events, "box").empty());
    EXPECT_EQ(head_requests(), 0) << "no size probe without an update";
    EXPECT_FALSE(exists("unzip.exe"));
  }
}

TEST_F(CheckTest, AsksWithTheVersionsAndTheSize) {
  const std::string redirect_with_own_length =
      "HTTP/1.1 302 Found\r\nLocation: /b.zip\r\nContent-Length: 0\r\n\r\n";
  struct Case {
    const char* name;
    std::string latest, installed, head;
    const char* shown;  // from the installed version up to the size
  } cases[] = {
      {"three points", "1.2.3.4", "1.2.3", with_length("Content-Length: 0"),
       "1.2.3. Latest version: 1.2.3.4. Size: 0"},
      {"lower latest", "2.0.0", "2.1.0", with_length("Content-Length: 524287"),
       "2.1.0. Latest version: 2.0.0. Size: 0"},
      {"half a megabyte", "1.3\n", "2.0", with_length("Content-Length: 524288"),
       "2.0.0. Latest version: 1.3\n. Size: 1"},
      {"five and a half", "\n", "1.0", with_length("Content-Length: 5767168"),
       "1.0.0. Latest version: \n. Size: 6"},
      {"beyond 2 GiB", "9", "8", with_length("Content-Length: 5368709120"),
       "8.0.0. Latest version: 9. Size: 5120"},
      {"lower-case name", "9", "8", with_length("content-length: 5767168"),
       "8.0.0. Latest version: 9. Size: 6"},
      {"no blank after colon", "9", "8", with_length("Content-Length:5767168"),
       "8.0.0. Latest version: 9. Size: 6"},
      {"first of two", "9", "8", with_length("Content-Length: 1048576\r\nContent-Length: 9999999"),
       "8.0.0. Latest version: 9. Size: 1"},
      {"no length", "9", "8", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n",
       "8.0.0. Latest version: 9. Size: 0"},
      {"probe fails", "9", "8", "", "8.0.0. Latest version: 9. Size: 0"},
      {"redirect has its own length", "9", "8", redirect_with_own_length,
       "8.0.0. Latest version: 9. Size: 6"},
  };
  serve("HEAD /b.zip", with_length("Content-Length: 5767168"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    serve("GET /v.txt", TestHttpServer::response(200, c.latest));
    serve("HEAD /a.zip", c.head);
    // Yes opens the download window, closed here at once.
    fake_platform_window_script({{FakeWindowAction::kClose, 0}});
    for (bool answer : {false, true}) {
      std::vector<FakeEvent> events = check(c.installed, {answer});
      std::vector<FakeEvent> boxes = only(events, "box");
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].fields,
                (std::vector<std::string>{
                    "Update available",
                    "There is an update available for My Product. Your version: " +
                        std::string(c.shown) + " MB. Would you like To download this update?",
                    "yes_no"}));
      EXPECT_FALSE(exists("unzip.exe"));
      EXPECT_EQ(only(events, "window").size(), answer ? 1u : 0u);
    }
  }
}

TEST_F(CheckTest, ProbeKeepsTheExactSizeOfTheFinalResponse) {
  struct Case {
    std::string head;
    double bytes, megabytes;
  } cases[] = {
      {with_length("Content-Length: 5368709121"), 5368709121.0, 5120},
      {"HTTP/1.1 301 Moved\r\nLocation: /b.zip\r\nContent-Length: 17\r\n\r\n", 300000, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 18350079\r\nConnection: close\r\n\r\n", 18350079, 17},
      {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", 0, 0},
  };
  serve("HEAD /b.zip", with_length("Content-Length: 300000"));
  for (const Case& c : cases) {
    serve("HEAD /a.zip", c.head);
    g_session = UpdateSession();
    g_session.archive_url = url("/a.zip");
    probe_archive_size();
    EXPECT_EQ(g_session.archive_size_bytes, c.bytes) << c.head;
    EXPECT_EQ(g_session.archive_size_mb, c.megabytes) << c.head;
  }
}

TEST_F(CheckTest, FetchTextKeepsTheBodyVerbatim) {
  serve("GET /v.txt", TestHttpServer::response(200, "  1.2.3 \r\n\xE9t\xC3\xA9"));
  EXPECT_EQ(fetch_text(url("/v.txt")), "  1.2.3 \r\n\xEF\xBF\xBDt\xC3\xA9");
  serve("GET /v.txt", TestHttpServer::response(302, "", "Location: /w.txt\r\n"));
  serve("GET /w.txt", TestHttpServer::response(200, "2.0"));
  EXPECT_EQ(fetch_text(url("/v.txt")), "2.0");
}

// An "openssl s_server" on a free port of 127.0.0.1 with `cert` and `key`,
// ended with the fixture.
class TlsTest : public CheckTest {
 protected:
  void TearDown() override {
    for (pid_t pid : servers_) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    CheckTest::TearDown();
  }

  // The server's https URL; fails the test when it does not come up.
  std::string serve_tls(const std::string& cert, const std::string& key) {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    std::string port = std::to_string(ntohs(address.sin_port));
    close(probe);
    pid_t pid = fork();
    if (pid == 0) {
      execlp("openssl", "openssl", "s_server", "-quiet", "-accept", ("127.0.0.1:" + port).c_str(),
             "-cert", cert.c_str(), "-key", key.c_str(), "-www", static_cast<char*>(nullptr));
      _exit(127);
    }
    servers_.push_back(pid);
    std::string url = "https://127.0.0.1:" + port + "/";
    // Up once a client that does not check answers.
    std::string insecure = "curl -sfk -o /dev/null " + url;
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
      up = system(insecure.c_str()) == 0;
      if (!up) usleep(100000);
    }
    EXPECT_TRUE(up) << "openssl s_server did not come up on " << url;
    return url;
  }

  std::vector<pid_t> servers_;
};

TEST_F(TlsTest, AnUntrustedCertificateIsANetworkError) {
  ASSERT_EQ(system("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes "
                   "-subj /CN=127.0.0.1 -days 1 -keyout key.pem -out cert.pem 2>/dev/null"),
            0);
  std::string https = serve_tls(path("cert.pem"), path("key.pem"));
  std::vector<FakeEvent> boxes =
      only(run({"My Product", "1.0", https + "v.txt", https + "a.zip", "app"}), "box");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].fields[1], "Network error");
}

// With the test CA made trusted in a mount namespace of the child's own, a
// request prints what it got: the check's text, then the transfer's end.
void fetch_trusting(const std::string& ca, const std::string& url) {
  if (unshare(CLONE_NEWNS) != 0 ||
      mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount(ca.c_str(), "/etc/ssl/certs/ca-certificates.crt", nullptr, MS_BIND, nullptr) != 0) {
    std::fprintf(stderr, "cannot trust the test CA: %s", std::strerror(errno));
    _exit(1);
  }
  std::string text = fetch_text(url);
  HttpTransferHandle transfer = http_download_start(url, "a.zip");
  int64_t progress;
  while ((progress = http_download_progress(transfer)) >= 0) usleep(10000);
  std::fprintf(stderr, "text %s, transfer %s", text.empty() ? "empty" : "received",
               progress == kTransferSucceeded ? "succeeded" : "failed");
  _exit(0);
}

TEST_F(TlsTest, OnlyAValidCertificateForTheHostIsAccepted) {
  if (geteuid() != 0) GTEST_SKIP() << "trusting a test CA needs a mount namespace";
  ASSERT_EQ(system((std::string(TESTS_DIR) + "/tls/make-certs " + dir_).c_str()), 0);
  struct Case {
    const char* name;
    const char* result;
    bool archive;
  } cases[] = {
      {"good", "text received, transfer succeeded", true},  // the CA is trusted indeed
      {"wrong", "text empty, transfer failed", false},
      {"expired", "text empty, transfer failed", false},
  };
  for (const Case& c : cases) {
    std::string url =
        serve_tls(path(std::string(c.name) + ".pem"), path(std::string(c.name) + ".key"));
    EXPECT_EXIT(fetch_trusting(path("ca.pem"), url), testing::ExitedWithCode(0), c.result)
        << c.name;
    EXPECT_EQ(exists("a.zip"), c.archive) << c.name;
    unlink("a.zip");
  }
}

}  // namespace
