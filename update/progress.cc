#include "update/progress.h"

#include "text/text.h"

std::string megabytes_text(double bytes) {
  return format_integer(to_integer(round_to_nearest_single(bytes / 1024 / 1024), 32)) + " MB";
}

ProgressFigures progress_figures(int64_t received, double size, int64_t* last_received) {
  ProgressFigures figures;
  double p = static_cast<double>(received);
  // Counts are 64-bit, so the rate stays right past 2 GiB.
  int64_t difference = received - *last_received;
  *last_received = received;
  figures.known_size = size > 0;
  figures.bar = 0;
  if (figures.known_size) {
    double percent = p / size * 100;
    // The bar shows what lies outside its range at the nearer end.
    figures.bar = percent >= 100 ? 100
                  : percent <= 0 ? 0
                                 : static_cast<int32_t>(to_integer(percent, 32));
    figures.percent = format_integer(to_integer(percent, 64)) + "%";
  }
  figures.received = megabytes_text(p);
  figures.remaining = megabytes_text(size - p);
  figures.rate = format_integer(to_integer(
                     round_to_nearest_single(static_cast<double>(difference) / 1024), 32)) +
                 " KBPS";
  return figures;
}
