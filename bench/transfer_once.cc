// Downloads URL into FILE with the program's archive transfer, polling the
// way the download window does (but every millisecond, so that polling adds
// nothing to the time measured). Exit code 0 on success.
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/http.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s URL FILE\n", argv[0]);
    return 2;
  }
  http_start();
  HttpTransferHandle transfer = http_download_start(argv[1], argv[2]);
  int64_t progress = kTransferFailed;
  while (transfer != nullptr && (progress = http_download_progress(transfer)) >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  http_download_finish(transfer);
  if (progress != kTransferSucceeded) {
    std::fprintf(stderr, "%s: transfer of %s ended with %lld\n", argv[0], argv[1],
                 static_cast<long long>(progress));
    return 1;
  }
  return 0;
}
