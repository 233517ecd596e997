// HTTP and HTTPS on libcurl: two synchronous fetches for the update check,
// and the archive transfer, which runs on a worker thread of its own.
//
// Every request: one easy handle, HTTP/1.1, redirects followed without a
// limit of our own, the program's user agent, libcurl's default TLS checks
// and its own handling of the proxy environment variables.
#ifndef UPDATER_PLATFORM_HTTP_H_
#define UPDATER_PLATFORM_HTTP_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Starts the socket layer. Main thread, once, before any request.
void http_start();

// Releases the socket layer, unless a transfer worker may still be using it
// (then the end of the process releases it). Main thread, once, last.
void http_release();

// GET `url` on the calling thread. The body's exact bytes, or nothing when
// the request failed, the final response has a status of 400 or more, or the
// body is empty. Gives up on a connection that takes 30 s to open or that
// moves less than one byte a second for 60 s.
std::optional<std::string> http_fetch_memory(const std::string& url);

// HEAD `url` on the calling thread: the header lines of every response in
// the redirect chain, in order, as received (cut at a NUL, made valid UTF-8).
// "" on failure. Same time limits as `http_fetch_memory`.
std::string http_fetch_headers(const std::string& url);

// Shortens the time limits of the two fetches, so that tests need not wait
// a minute for a stalled server. Not for use by the program.
void http_set_fetch_limits_for_testing(long connect_seconds, long stall_seconds);

// The archive transfer. Progress values: the byte count while running
// (never negative, never decreasing), else one of these.
enum : int64_t {
  kTransferRunning = -1,
  kTransferSucceeded = -2,  // the file is complete and closed
  kTransferFailed = -3,     // the partial file, if any, is deleted
  kTransferAborted = -4,
};

struct HttpTransfer;
using HttpTransferHandle = std::shared_ptr<HttpTransfer>;

// Creates `file_name` anew (replacing any file of that name) on the calling
// thread, then GETs `url` into it on a detached worker and returns at once.
// When the file cannot be created the transfer has failed already. A final
// response of 400 or more fails the transfer. No time limit: the caller
// aborts. Returns null only when no worker could be started. Main thread.
HttpTransferHandle http_download_start(const std::string& url, const std::string& file_name);

// The progress value; never blocks. Main thread.
int64_t http_download_progress(const HttpTransferHandle& transfer);

// Marks the transfer aborted and returns at once; the worker stops at the
// next piece of data, then deletes the file. Aborted is never overwritten.
void http_download_abort(const HttpTransferHandle& transfer);

// Releases the caller's handle at once, without waiting for the worker,
// which keeps what it needs until it ends. The byte count after success,
// else 0. Main thread.
int64_t http_download_finish(HttpTransferHandle& transfer);

#endif  // UPDATER_PLATFORM_HTTP_H_
