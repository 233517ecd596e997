// A small HTTP/1.1 server on 127.0.0.1 for tests and benchmarks. Each
// connection gets one request and whatever raw bytes the handler writes, so a
// case can send exactly the answer it needs: odd headers, redirects, bodies
// sent slowly, stalls, connections cut short.
#ifndef UPDATER_TESTS_HTTP_SERVER_H_
#define UPDATER_TESTS_HTTP_SERVER_H_

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct HttpRequest {
  std::string method;  // "GET", "HEAD", ...
  std::string path;    // "/v.txt"
  std::string head;    // the request line and headers as received
};

class TestHttpServer {
 public:
  // Called on a thread of the connection's own; `fd` is the connected
  // socket, closed after the handler returns.
  using Handler = std::function<void(TestHttpServer&, const HttpRequest&, int fd)>;

  explicit TestHttpServer(Handler handler);
  ~TestHttpServer();  // stops stalled handlers and joins every thread

  int port() const { return port_; }
  std::string url(const std::string& path) const;
  std::vector<HttpRequest> requests();

  // Fixed answers by "METHOD /path", for handlers that serve them; safe to
  // change while connections are being served.
  void set_answer(const std::string& route, const std::string& answer);
  bool find_answer(const HttpRequest& request, std::string* answer);

  // Sends all of `bytes`; false once the peer is gone or the server stops.
  bool send(int fd, const std::string& bytes);
  // Sleeps up to `ms`; true when the server is stopping instead.
  bool stopping_within(int ms);

  // A complete response with Content-Length and "Connection: close".
  // `extra_headers` are whole lines, each ending in "\r\n".
  static std::string response(int status, const std::string& body,
                              const std::string& extra_headers = "");

 private:
  void accept_loop();
  void serve(int fd);

  Handler handler_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::condition_variable stop_signal_;
  bool stopping_ = false;
  std::vector<std::thread> connections_;
  std::set<int> open_fds_;
  std::vector<HttpRequest> requests_;
  std::map<std::string, std::string> answers_;
};

#endif  // UPDATER_TESTS_HTTP_SERVER_H_
