#include <curl/curl.h>
#include <gtk/gtk.h>
#include <stdlib.h>

#include "platform/process.h"

void start_platform_services() {
  // The program lays out its window in fixed pixels and does not scale for
  // display density.
  setenv("GDK_SCALE", "1", 1);
  setenv("GDK_DPI_SCALE", "1", 1);
  // Without a display the toolkit stays down and message boxes fall back to
  // stderr; the run itself goes on.
  gtk_init_check(nullptr, nullptr);
  curl_global_init(CURL_GLOBAL_DEFAULT);
}

void release_platform_services() {
  // No transfer runs before the download window exists, and nothing else
  // holds the socket layer.
  curl_global_cleanup();
}
