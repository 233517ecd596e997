// Properties of probe_archive_size: the archive size is the Content-Length
// of the last response block of the header chain, found by an independent
// scan of the same text.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/check_stubs.h"
#include "tests/fuzz/fuzz_check.h"
#include "text/text.h"
#include "update/check.h"
#include "update/session.h"

namespace {

struct Found {
  bool found = false;
  double bytes = 0;
};

// The header lines are the texts that end with "\n" (a fragment after the
// last "\n" is not a complete line). The last block starts at the last line
// opening with "HTTP/" (the whole text when none does); its first line whose
// name, the text before the first ":", is "content-length" in any ASCII case
// gives the size, read by parse_integer from the rest of the line.
Found reference_scan(std::string_view headers) {
  std::vector<std::string_view> lines;
  for (size_t start = 0;;) {
    const size_t end = headers.find('\n', start);
    if (end == std::string_view::npos) break;
    lines.push_back(headers.substr(start, end - start));
    start = end + 1;
  }
  size_t block = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].substr(0, 5) == "HTTP/") block = i;
  }
  for (size_t i = block; i < lines.size(); ++i) {
    const size_t colon = lines[i].find(':');
    std::string name(lines[i].substr(0, colon));
    for (char& c : name) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    if (name != "content-length") continue;
    const std::string_view rest =
        colon == std::string_view::npos ? std::string_view() : lines[i].substr(colon + 1);
    return {true, static_cast<double>(parse_integer(rest))};
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_fuzz_headers.assign(reinterpret_cast<const char*>(data), size);
  g_fuzz_headers_calls = 0;
  g_fuzz_headers_url.clear();
  g_session = UpdateSession();
  g_session.archive_url = "https://updates.example/archive.zip";

  probe_archive_size();

  const std::string context = "headers " + fuzz_show(g_fuzz_headers);
  // One HEAD request, for the archive.
  FUZZ_CHECK_EQ(g_fuzz_headers_calls, 1, context);
  FUZZ_CHECK_EQ(g_fuzz_headers_url, g_session.archive_url, context);

  const Found expected = reference_scan(g_fuzz_headers);
  if (expected.found) {
    FUZZ_CHECK_EQ(g_session.archive_size_bytes, expected.bytes, context);
    // Whole mebibytes, half away from zero (the quotient is exact, far
    // below 2^52, so std::round is the rule itself).
    FUZZ_CHECK_EQ(g_session.archive_size_mb, std::round(expected.bytes / 1048576.0), context);
  } else {
    FUZZ_CHECK_EQ(g_session.archive_size_bytes, 0.0, context);
    FUZZ_CHECK_EQ(g_session.archive_size_mb, 0.0, context);
  }
  return 0;
}
