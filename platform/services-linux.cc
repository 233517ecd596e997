#include <gtk/gtk.h>
#include <stdlib.h>

#include "platform/fault_hook.h"
#include "platform/http.h"
#include "platform/process.h"

void start_platform_services() {
  // Forked while there is neither a display connection nor a second thread
  // to inherit.
  start_fault_reporter();
  // The program lays out its window in fixed pixels and does not scale for
  // display density.
  setenv("GDK_SCALE", "1", 1);
  setenv("GDK_DPI_SCALE", "1", 1);
  // Without a display the toolkit stays down and message boxes fall back to
  // stderr; the run itself goes on.
  gtk_init_check(nullptr, nullptr);
  http_start();
}

void release_platform_services() { http_release(); }
