#include "update/download.h"

#include "app/updater.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/task_kill.h"
#include "platform/test_faults.h"
#include "platform/window.h"
#include "text/text.h"
#include "update/install.h"
#include "update/progress.h"
#include "update/session.h"

namespace {

enum {
  kBar = 0,
  kCancel = 1,
  kPercent = 3,
  kReceived = 5,
  kSize = 7,
  kRemaining = 9,
  kRate = 11,
};
const int kTimer = 123;
const int kTickMs = 1000;

}  // namespace

void start_download() {
  UpdateSession& s = g_session;
  // The text after the last "/", query included; "" for a URL ending in "/".
  s.archive_file_name = split_field(s.archive_url, count_occurrences(s.archive_url, "/") + 1, "/");
  stop_processes_named(s.executable_name);
  s.transfer = http_download_start(s.archive_url, s.archive_file_name);
  s.downloading = 1;
  run_progress_window();
}

void run_progress_window() {
  UpdateSession& s = g_session;
  window_open("Downloading " + s.product_name + ". Tab for progress fields. - Brinwick " +
              s.updater_version);
  const std::string size_text = megabytes_text(s.archive_size_bytes);
  window_add_progress_bar(kBar, {0, 15, 200, 20}, 100);
  window_add_button(kCancel, {20, 35, 200, 20}, "Cancel");
  window_add_label(2, {40, 65, 200, 20}, "Percent");
  window_add_field(kPercent, {40, 65, 200, 20}, "");
  window_add_label(4, {60, 85, 200, 20}, "Total transfered");
  window_add_field(kReceived, {60, 85, 200, 20}, "");
  window_add_label(6, {80, 105, 200, 20}, "Size");
  window_add_field(kSize, {80, 105, 200, 20}, size_text);
  window_add_label(8, {110, 135, 200, 20}, "Remaining");
  window_add_field(kRemaining, {110, 135, 200, 20}, size_text);
  window_add_label(10, {130, 155, 200, 20}, "Transfer Rate");
  window_add_field(kRate, {130, 155, 200, 20}, "No data yet.");
  window_bind_click(kCancel, on_cancel_clicked);
  window_focus(kCancel);
  window_add_timer(kTimer, kTickMs);

  int64_t last_received = 0;
  for (;;) {
    WindowEvent event = window_wait_event();
    if (event.kind == kWindowEventClose) return;
    if (event.timer_id != kTimer || s.downloading != 1) continue;

    TEST_FAULT_POINT("tick");
    int64_t progress = http_download_progress(s.transfer);
    if (progress == kTransferSucceeded) {
      window_set_progress(kBar, 100);
      window_set_text(kPercent, "100%");
      install_update();
    }
    if (progress < 0) {
      // The figures keep their last values; the window waits for the user.
      window_set_text(kRate, "Download failed");
      continue;
    }
    ProgressFigures figures = progress_figures(progress, s.archive_size_bytes, &last_received);
    if (figures.known_size) {
      window_set_progress(kBar, figures.bar);
      window_set_text(kPercent, figures.percent);
    } else {
      window_pulse_progress(kBar);
    }
    window_set_text(kReceived, figures.received);
    window_set_text(kRemaining, figures.remaining);
    window_set_text(kRate, figures.rate);
  }
}

void on_cancel_clicked() {
  UpdateSession& s = g_session;
  // Abort first, so that the worker refuses further data; the file exists
  // since the start, so deleting it now leaves nothing behind.
  http_download_abort(s.transfer);
  http_download_finish(s.transfer);
  delete_file(s.archive_file_name, true);
  remove_extraction_tool();
  end_program();
}
