#include "tests/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void die(const char* what) {
  std::fprintf(stderr, "test server: %s: %s\n", what, std::strerror(errno));
  std::abort();
}

const char* reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
  }
  return "Status";
}

}  // namespace

TestHttpServer::TestHttpServer(Handler handler) : handler_(std::move(handler)) {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) die("socket");
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // any free port
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) die("bind");
  if (listen(listen_fd_, 64) != 0) die("listen");
  socklen_t length = sizeof address;
  if (getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    die("getsockname");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread(&TestHttpServer::accept_loop, this);
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (int fd : open_fds_) shutdown(fd, SHUT_RDWR);
  }
  stop_signal_.notify_all();
  shutdown(listen_fd_, SHUT_RDWR);  // wakes accept()
  acceptor_.join();
  close(listen_fd_);
  for (std::thread& connection : connections_) connection.join();
}

std::string TestHttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<HttpRequest> TestHttpServer::requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TestHttpServer::set_answer(const std::string& route, const std::string& answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[route] = answer;
}

bool TestHttpServer::find_answer(const HttpRequest& request, std::string* answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = answers_.find(request.method + " " + request.path);
  if (found == answers_.end()) return false;
  *answer = found->second;
  return true;
}

bool TestHttpServer::send(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool TestHttpServer::stopping_within(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return stop_signal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

std::string TestHttpServer::response(int status, const std::string& body,
                                     const std::string& extra_headers) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason(status) +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
         extra_headers + "\r\n" + body;
}

void TestHttpServer::accept_loop() {
  for (;;) {
    int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      if (fd >= 0) close(fd);
      return;
    }
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      die("accept");
    }
    open_fds_.insert(fd);
    connections_.emplace_back(&TestHttpServer::serve, this, fd);
  }
}

void TestHttpServer::serve(int fd) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  if (head.find("\r\n\r\n") != std::string::npos) {
    HttpRequest request;
    request.head = head.substr(0, head.find("\r\n\r\n") + 2);
    size_t space = head.find(' ');
    request.method = head.substr(0, space);
    request.path = head.substr(space + 1, head.find(' ', space + 1) - space - 1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    handler_(*this, request, fd);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  open_fds_.erase(fd);
  close(fd);
}
