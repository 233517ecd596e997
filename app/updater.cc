#include "app/updater.h"

#include <cstdint>
#include <vector>

#include "payload/extraction_tool.h"
#include "platform/fault_hook.h"
#include "platform/files.h"
#include "platform/launch.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/test_faults.h"
#include "report/report.h"
#include "text/command_line.h"
#include "text/text.h"
#include "update/check.h"

namespace {

const char kExtractionTool[] = "unzip.exe";

int32_t low_32_bits(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

}  // namespace

std::string program_parameter(int index) {
  std::vector<std::string> tokens = split_command_line(command_line_text());
  // Token 0 is the program's own name.
  size_t token = static_cast<size_t>(index) + 1;
  return index >= 0 && token < tokens.size() ? tokens[token] : std::string();
}

void write_extraction_tool() {
  write_program_file(kExtractionTool, extraction_tool_data(), extraction_tool_size());
}

VersionNumbers parse_installed_version(std::string_view text) {
  VersionNumbers version;
  version.major = low_32_bits(parse_integer(split_field(text, 1, ".")));
  version.minor = low_32_bits(parse_integer(split_field(text, 2, ".")));
  if (count_occurrences(text, ".") == 2) {
    version.patch = low_32_bits(parse_integer(split_field(text, 3, ".")));
  }
  return version;
}

void validate_parameters() {
  const UpdateSession& s = g_session;
  if (!text_equals(s.check_url, "") && !text_equals(s.archive_url, "") &&
      !text_equals(s.product_name, "") && !text_equals(s.executable_name, "")) {
    return;
  }
  message_box("Error",
              "Invalid perametors. Name: " + s.product_name +
                  ". Version: " + s.installed_version_text + ". Check URL: " + s.check_url +
                  ". ZIP URL: " + s.archive_url + ". EXE: " + s.executable_name,
              kMessageBoxOk);
  remove_extraction_tool();
  end_program();
}

void run_cleanup_mode(const std::string& target) {
  TEST_FAULT_POINT("cleanup");
  delete_file("updater2.exe", true);
  delete_file(kExtractionTool, true);
  launch_program(target, "", "", kLaunchNoOptions);
  end_program();
}

void remove_extraction_tool() { delete_file(kExtractionTool, true); }

void end_program() {
  remove_fault_hook();
  TEST_FAULT_POINT("end");
  release_platform_services();
  exit_process();
}

void updater_main() {
  g_session = UpdateSession();
  start_platform_services();
  install_fault_hook(report_runtime_error);
  write_extraction_tool();
  g_session.updater_version = "1.8";
  g_session.downloading = 0;

  g_session.product_name = program_parameter(0);
  if (text_equals(g_session.product_name, "cln")) {
    g_session.cleanup_target = program_parameter(1);
    run_cleanup_mode(g_session.cleanup_target);
  }
  g_session.installed_version_text = program_parameter(1);
  g_session.installed_version = parse_installed_version(g_session.installed_version_text);
  g_session.check_url = program_parameter(2);
  g_session.archive_url = program_parameter(3);
  g_session.executable_name = program_parameter(4);

  TEST_FAULT_POINT("update");
  check_for_update();
  // Back here only once the user has closed the download window.
  remove_extraction_tool();
  end_program();
}
