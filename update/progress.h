// The download window's figures for one tick: pure arithmetic, kept apart
// from the window so that every rounding rule can be checked directly.
#ifndef UPDATER_UPDATE_PROGRESS_H_
#define UPDATER_UPDATE_PROGRESS_H_

#include <cstdint>
#include <string>

struct ProgressFigures {
  bool known_size;        // false: the bar pulses and `percent` stays as it was
  int32_t bar;            // 0 to 100
  std::string percent;    // "41%"
  std::string received;   // "2 MB"
  std::string remaining;  // "-1 MB"
  std::string rate;       // "1536 KBPS"
};

// "10 MB": whole megabytes, half away from zero through single precision.
std::string megabytes_text(double bytes);

// The figures for `received` bytes of an archive of `size` bytes (0 when
// unknown). `last_received` is the previous tick's count and is updated;
// the rate assumes ticks one second apart.
ProgressFigures progress_figures(int64_t received, double size, int64_t* last_received);

#endif  // UPDATER_UPDATE_PROGRESS_H_
