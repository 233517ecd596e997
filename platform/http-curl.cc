#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>
#include <system_error>
#include <thread>

#include "platform/fault_hook.h"
#include "platform/http.h"
#include "platform/test_faults.h"
#include "text/text.h"

struct HttpTransfer {
  std::atomic<int32_t> status{static_cast<int32_t>(kTransferRunning)};
  std::atomic<int64_t> bytes{0};  // written only by the worker
  int fd = -1;                    // the worker's from its start on
  CURL* curl = nullptr;
  std::string url;
  std::string file_name;
};

namespace {

const char kUserAgent[] = "Mozilla/5.0 Gecko/41.0 Firefox/41.0";

std::atomic<long> g_connect_limit{30};
std::atomic<long> g_stall_limit{60};
// Workers still inside libcurl; the socket layer stays up while any is.
std::atomic<int> g_workers{0};

CURL* make_request(const std::string& url) {
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return nullptr;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  // Header names must arrive as the server spells them, and one request is
  // one connection's worth of work: no HTTP/2.
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  // Several threads use libcurl; its signal-based resolver time-outs are not
  // safe then.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  return curl;
}

// The fetches run before any window exists, so a dead server must not leave
// the user with nothing on screen for ever.
void limit_fetch(CURL* curl) {
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, g_connect_limit.load());
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, g_stall_limit.load());
}

long response_code(CURL* curl) {
  long code = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
  return code;
}

// Appends to a std::string. Running out of memory fails the request rather
// than unwinding through libcurl.
size_t append_to_string(char* data, size_t size, size_t count, void* user) {
  size_t n = size * count;
  try {
    static_cast<std::string*>(user)->append(data, n);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return n;
}

size_t write_to_file(char* data, size_t size, size_t count, void* user) {
  HttpTransfer* transfer = static_cast<HttpTransfer*>(user);
  size_t n = size * count;
  // Taking none of the piece makes libcurl end the transfer with an error.
  if (transfer->status.load() == kTransferAborted) return 0;
  if (response_code(transfer->curl) >= 400) return 0;  // an error page is no archive
  TEST_FAULT_POINT("worker");
  size_t written = 0;
  while (written < n) {
    ssize_t w = write(transfer->fd, data + written, n - written);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    written += static_cast<size_t>(w);
  }
  transfer->bytes.store(transfer->bytes.load() + static_cast<int64_t>(written));
  return written;  // short when the disk is full: the transfer then fails
}

void run_transfer(std::shared_ptr<HttpTransfer> transfer) {
  fault_hook_enter_thread();
  CURLcode result = CURLE_FAILED_INIT;
  if (transfer->curl != nullptr) {
    curl_easy_setopt(transfer->curl, CURLOPT_WRITEFUNCTION, write_to_file);
    curl_easy_setopt(transfer->curl, CURLOPT_WRITEDATA, transfer.get());
    // Larger pieces than libcurl's 16 KiB default: a sixth of the reads and
    // file writes for a large archive, the size the curl tool uses too.
    curl_easy_setopt(transfer->curl, CURLOPT_BUFFERSIZE, 100L * 1024);
    result = curl_easy_perform(transfer->curl);
  }
  bool complete = result == CURLE_OK && response_code(transfer->curl) < 400;
  close(transfer->fd);
  transfer->fd = -1;
  if (!complete) unlink(transfer->file_name.c_str());
  if (transfer->curl != nullptr) curl_easy_cleanup(transfer->curl);
  transfer->curl = nullptr;
  // Success is published only now that the file is closed; an abort that
  // came first stays.
  int32_t running = kTransferRunning;
  transfer->status.compare_exchange_strong(
      running, static_cast<int32_t>(complete ? kTransferSucceeded : kTransferFailed));
  fault_hook_leave_thread();
  g_workers.fetch_sub(1);
}

}  // namespace

void http_start() { curl_global_init(CURL_GLOBAL_DEFAULT); }

void http_release() {
  // A worker left running after a close request may be inside libcurl until
  // the process ends; cleaning up under it could crash that end.
  if (g_workers.load() == 0) curl_global_cleanup();
}

void http_set_fetch_limits_for_testing(long connect_seconds, long stall_seconds) {
  g_connect_limit.store(connect_seconds);
  g_stall_limit.store(stall_seconds);
}

std::optional<std::string> http_fetch_memory(const std::string& url) {
  CURL* curl = make_request(url);
  if (curl == nullptr) return std::nullopt;
  limit_fetch(curl);
  std::string body;
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append_to_string);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  CURLcode result = curl_easy_perform(curl);
  long code = response_code(curl);
  curl_easy_cleanup(curl);
  if (result != CURLE_OK || code >= 400 || body.empty()) return std::nullopt;
  return body;
}

std::string http_fetch_headers(const std::string& url) {
  CURL* curl = make_request(url);
  if (curl == nullptr) return std::string();
  limit_fetch(curl);
  std::string headers;
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, append_to_string);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headers);
  CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return result == CURLE_OK ? text_from_bytes(headers) : std::string();
}

HttpTransferHandle http_download_start(const std::string& url, const std::string& file_name) {
  auto transfer = std::make_shared<HttpTransfer>();
  transfer->url = url;
  transfer->file_name = file_name;
  // The file exists before the worker does, so whoever deletes it after an
  // abort cannot be overtaken by the worker creating it.
  transfer->fd = open(file_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (transfer->fd < 0) {
    transfer->status.store(kTransferFailed);
    return transfer;
  }
  transfer->curl = make_request(url);
  g_workers.fetch_add(1);
  // The worker holds its own reference, so the caller may finish at once.
  std::thread worker;
  try {
    worker = std::thread(run_transfer, transfer);
  } catch (const std::system_error&) {
    g_workers.fetch_sub(1);
    if (transfer->curl != nullptr) curl_easy_cleanup(transfer->curl);
    close(transfer->fd);
    unlink(file_name.c_str());
    return nullptr;
  }
  worker.detach();
  return transfer;
}

int64_t http_download_progress(const HttpTransferHandle& transfer) {
  if (transfer == nullptr) return kTransferFailed;
  int32_t status = transfer->status.load();
  return status == kTransferRunning ? transfer->bytes.load() : status;
}

void http_download_abort(const HttpTransferHandle& transfer) {
  if (transfer != nullptr) transfer->status.store(kTransferAborted);
}

int64_t http_download_finish(HttpTransferHandle& transfer) {
  int64_t result = 0;
  if (transfer != nullptr && transfer->status.load() == kTransferSucceeded) {
    result = transfer->bytes.load();
  }
  transfer.reset();
  return result;
}
