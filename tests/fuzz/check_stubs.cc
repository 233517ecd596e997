// Stand-ins for the services that update/check.cc calls, for the header
// scan target: the headers come from the fuzz input, and everything that
// the scan must never reach (a message, a download, the end of the run)
// aborts, so that reaching it is reported as a failure.
#include "tests/fuzz/check_stubs.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "app/updater.h"
#include "platform/http.h"
#include "platform/message_box.h"
#include "update/download.h"

std::string g_fuzz_headers;
std::string g_fuzz_headers_url;
int g_fuzz_headers_calls = 0;

namespace {

[[noreturn]] void unexpected(const char* name) {
  std::fprintf(stderr, "the header scan called %s\n", name);
  std::abort();
}

}  // namespace

std::string http_fetch_headers(const std::string& url) {
  g_fuzz_headers_url = url;
  ++g_fuzz_headers_calls;
  return g_fuzz_headers;
}

std::optional<std::string> http_fetch_memory(const std::string&) {
  unexpected("http_fetch_memory");
}

bool message_box(const std::string&, const std::string&, MessageBoxKind) {
  unexpected("message_box");
}

void start_download() { unexpected("start_download"); }

void validate_parameters() { unexpected("validate_parameters"); }

void remove_extraction_tool() { unexpected("remove_extraction_tool"); }

void end_program() { unexpected("end_program"); }

VersionNumbers parse_installed_version(std::string_view) { unexpected("parse_installed_version"); }
