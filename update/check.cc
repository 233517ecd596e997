#include "update/check.h"

#include <string_view>

#include "app/updater.h"
#include "platform/http.h"
#include "platform/message_box.h"
#include "text/text.h"
#include "update/download.h"
#include "update/session.h"

std::string fetch_text(const std::string& url) {
  std::optional<std::string> body = http_fetch_memory(url);
  return body ? text_from_bytes(*body) : std::string();
}

void probe_archive_size() {
  std::string headers = http_fetch_headers(g_session.archive_url);
  // The chain holds one block per response, each opening with its status
  // line. Only the last block describes the archive: a redirect before it
  // has a length of its own, often 0.
  std::string_view rest = headers;
  std::string_view final_block = rest;
  for (int32_t lines = count_occurrences(headers, "\n"); lines > 0; --lines) {
    std::string line = split_field(rest, 1, "\n");
    if (line.compare(0, 5, "HTTP/") == 0) final_block = rest;
    rest.remove_prefix(line.size() + 1);
  }
  rest = final_block;
  for (int32_t lines = count_occurrences(final_block, "\n"); lines > 0; --lines) {
    std::string line = split_field(rest, 1, "\n");
    rest.remove_prefix(line.size() + 1);
    // Header names are case-insensitive; blanks after the colon are skipped
    // by the number parser.
    if (text_equals_ignoring_case(split_field(line, 1, ":"), "Content-Length")) {
      g_session.archive_size_bytes = static_cast<double>(parse_integer(split_field(line, 2, ":")));
      g_session.archive_size_mb = round_to_nearest(g_session.archive_size_bytes / 1024.0 / 1024.0);
      return;
    }
  }
}

void check_for_update() {
  validate_parameters();
  std::string latest_text = fetch_text(g_session.check_url);
  if (text_equals(latest_text, "")) {
    message_box("Error", "Network error", kMessageBoxOk);
    remove_extraction_tool();
    end_program();
  }
  // The latest version follows the installed version's parsing rule.
  VersionNumbers latest = parse_installed_version(latest_text);
  const VersionNumbers& installed = g_session.installed_version;
  if (latest.major == installed.major && latest.minor == installed.minor &&
      latest.patch == installed.patch) {
    remove_extraction_tool();
    end_program();
  }
  // Any difference offers the update, a lower latest version too.
  probe_archive_size();
  std::string question = "There is an update available for " + g_session.product_name +
                         ". Your version: " + format_integer(installed.major) + "." +
                         format_integer(installed.minor) + "." + format_integer(installed.patch) +
                         ". Latest version: " + latest_text +
                         ". Size: " + format_decimal(g_session.archive_size_mb) +
                         " MB. Would you like To download this update?";
  if (message_box("Update available", question, kMessageBoxYesNo)) {
    start_download();
    return;  // the window was closed; the caller ends the run
  }
  remove_extraction_tool();
  end_program();
}
