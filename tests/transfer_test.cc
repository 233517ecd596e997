// The archive transfer on real libcurl against a server on 127.0.0.1, with
// real files in a temporary directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/files.h"
#include "platform/http.h"
#include "tests/http_server.h"
#include "tests/temp_dir.h"

namespace {

const size_t kSlowPiece = 1024;

class TransferTest : public TempDirTest {
 public:
  TransferTest()
      : server_([this](TestHttpServer& server, const HttpRequest& request, int fd) {
          if (request.path == "/data") {
            server.send(fd, TestHttpServer::response(200, body_));
          } else if (request.path == "/empty") {
            server.send(fd, TestHttpServer::response(200, ""));
          } else if (request.path == "/redirect") {
            server.send(fd, TestHttpServer::response(302, "moved", "Location: /data\r\n"));
          } else if (request.path == "/slow") {
            // The whole body announced, then sent a piece at a time.
            server.send(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                                "\r\nConnection: close\r\n\r\n");
            for (size_t at = 0; at < body_.size(); at += kSlowPiece) {
              if (!server.send(fd, body_.substr(at, kSlowPiece)) || server.stopping_within(5)) {
                return;
              }
            }
          } else if (request.path == "/stall") {
            server.send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789");
            server.stopping_within(60000);
          } else {
            server.send(fd, TestHttpServer::response(404, "<html>no such archive</html>"));
          }
        }) {
    std::mt19937 random(7);
    body_.resize(1 << 20);
    for (char& c : body_) c = static_cast<char>(random());
  }

  // Polls until the transfer has ended; its final status.
  static int64_t wait_for_end(const HttpTransferHandle& transfer) {
    for (int i = 0; i < 2000; ++i) {
      int64_t progress = http_download_progress(transfer);
      if (progress < 0) return progress;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "transfer still running after 20 s";
    return 0;
  }

  // Polls until `name` is gone; false when it is still there after 10 s.
  static bool gone_soon(const std::string& name) {
    for (int i = 0; i < 1000 && exists(name); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !exists(name);
  }

  std::string body_;
  TestHttpServer server_;
};

TEST_F(TransferTest, DownloadsTheExactBytesThroughRedirects) {
  HttpTransferHandle transfer = http_download_start(server_.url("/redirect"), "a.zip");
  ASSERT_NE(transfer, nullptr);
  EXPECT_EQ(wait_for_end(transfer), kTransferSucceeded);
  EXPECT_EQ(read("a.zip"), body_);
  EXPECT_EQ(http_download_finish(transfer), static_cast<int64_t>(body_.size()));
  EXPECT_EQ(transfer, nullptr);

  std::vector<HttpRequest> requests = server_.requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const HttpRequest& request : requests) {
    EXPECT_EQ(request.head.rfind("GET " + request.path + " HTTP/1.1\r\n", 0), 0u) << request.head;
    EXPECT_NE(request.head.find("\r\nUser-Agent: Mozilla/5.0 Gecko/41.0 Firefox/41.0\r\n"),
              std::string::npos)
        << request.head;
  }
}

TEST_F(TransferTest, ReplacesAnExistingFile) {
  write("a.zip", std::string(3 << 20, 'x'));
  HttpTransferHandle transfer = http_download_start(server_.url("/data"), "a.zip");
  EXPECT_EQ(wait_for_end(transfer), kTransferSucceeded);
  EXPECT_EQ(read("a.zip"), body_);
  http_download_finish(transfer);
}

TEST_F(TransferTest, FailuresLeaveNoFile) {
  struct Case {
    const char* name;
    std::string url;
  } cases[] = {
      {"error status", server_.url("/missing")},
      {"nobody listening", "http://127.0.0.1:1/a.zip"},
      {"not a URL", "no-scheme:/a.zip"},
  };
  for (const Case& c : cases) {
    HttpTransferHandle transfer = http_download_start(c.url, "a.zip");
    ASSERT_NE(transfer, nullptr) << c.name;
    EXPECT_EQ(wait_for_end(transfer), kTransferFailed) << c.name;
    EXPECT_FALSE(exists("a.zip")) << c.name;
    EXPECT_EQ(http_download_finish(transfer), 0) << c.name;
  }
}

TEST_F(TransferTest, AFileThatCannotBeCreatedFailsAtOnce) {
  write("keep", "k");
  ASSERT_EQ(mkdir("dir", 0755), 0);
  for (const char* name : {"", "dir", "no-such-dir/a.zip"}) {
    HttpTransferHandle transfer = http_download_start(server_.url("/data"), name);
    ASSERT_NE(transfer, nullptr);
    EXPECT_EQ(http_download_progress(transfer), kTransferFailed) << name;
    http_download_finish(transfer);
  }
  EXPECT_EQ(read("keep"), "k");
  EXPECT_EQ(file_size("dir"), -2);
}

TEST_F(TransferTest, ProgressOnlyGrowsAndAnAbortStopsTheTransfer) {
  HttpTransferHandle transfer = http_download_start(server_.url("/slow"), "a.zip");
  ASSERT_NE(transfer, nullptr);
  int64_t last = 0;
  for (int i = 0; i < 2000 && last < 64 * 1024; ++i) {
    int64_t progress = http_download_progress(transfer);
    ASSERT_GE(progress, last) << "progress went down or the transfer ended";
    last = progress;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_GE(last, 64 * 1024);
  http_download_abort(transfer);
  EXPECT_EQ(http_download_progress(transfer), kTransferAborted);
  // The worker refuses the next piece, then deletes its partial file; the
  // status stays aborted.
  EXPECT_TRUE(gone_soon("a.zip"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(http_download_progress(transfer), kTransferAborted);
  EXPECT_EQ(http_download_finish(transfer), 0);
}

TEST_F(TransferTest, AbortAndFinishOnAStalledConnectionReturnAtOnce) {
  HttpTransferHandle transfer = http_download_start(server_.url("/stall"), "a.zip");
  for (int i = 0; i < 1000 && http_download_progress(transfer) < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(http_download_progress(transfer), 10);
  auto before = std::chrono::steady_clock::now();
  http_download_abort(transfer);
  EXPECT_EQ(http_download_progress(transfer), kTransferAborted);
  http_download_finish(transfer);
  delete_file("a.zip", true);
  // The server stalls for a minute; returning must not wait for it.
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_FALSE(exists("a.zip"));
  // The worker is still inside the transfer; the server's end releases it.
}

TEST_F(TransferTest, CancelAtAnyMomentLeavesNoFile) {
  // An empty archive gives the worker no piece to refuse after an abort.
  const char* paths[] = {"/data", "/slow", "/empty"};
  std::mt19937 random(42);
  const int kTries = 300;
  for (int i = 0; i < kTries; ++i) {
    // A name of its own, so that no other try's worker can tidy up for it.
    std::string name = "a" + std::to_string(i) + ".zip";
    HttpTransferHandle transfer = http_download_start(server_.url(paths[i % 3]), name);
    ASSERT_NE(transfer, nullptr);
    // Often no pause at all: the moment right after the start matters most.
    if (random() % 3 != 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    http_download_abort(transfer);
    http_download_finish(transfer);
    delete_file(name, true);
    ASSERT_FALSE(exists(name)) << name;
  }
  // Workers still running must not bring a file back.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (int i = 0; i < kTries; ++i) {
    EXPECT_FALSE(exists("a" + std::to_string(i) + ".zip")) << i;
  }
}

// Downloads with writes limited to 64 KiB, as on a full disk, and says how
// the transfer ended.
void download_onto_a_full_disk(const std::string& url) {
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit = {64 * 1024, 64 * 1024};
  setrlimit(RLIMIT_FSIZE, &limit);
  HttpTransferHandle transfer = http_download_start(url, "a.zip");
  int64_t status = TransferTest::wait_for_end(transfer);
  fprintf(stderr, "status %lld, file %s", static_cast<long long>(status),
          TempDirTest::exists("a.zip") ? "left" : "gone");
  // This child's own temporary directory, empty when all went well.
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) != nullptr && chdir("/") == 0) rmdir(cwd);
  _exit(0);
}

TEST_F(TransferTest, AShortWriteFailsTheTransfer) {
  // The child runs the test afresh, with a server of its own: a forked copy
  // of this threaded process could not start the transfer's thread under
  // ThreadSanitizer.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(download_onto_a_full_disk(server_.url("/data")), testing::ExitedWithCode(0),
              "status -3, file gone");
}

}  // namespace
