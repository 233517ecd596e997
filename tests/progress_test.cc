#include "update/progress.h"

#include <gtest/gtest.h>

namespace {

TEST(MegabytesText, HalfAwayFromZeroThroughSinglePrecision) {
  struct Case {
    double bytes;
    const char* text;
  } cases[] = {
      {10485760, "10 MB"}, {524288, "1 MB"},  {524287, "0 MB"},          {1572864, "2 MB"},
      {2621440, "3 MB"},   {0, "0 MB"},       {18350079, "18 MB"},  // 17.4999990... MB is 17.5 as a
                                                                    // single
      {-524288, "-1 MB"},  {-524287, "0 MB"}, {5368709120.0, "5120 MB"},
  };
  for (const Case& c : cases) EXPECT_EQ(megabytes_text(c.bytes), c.text) << c.bytes;
}

TEST(ProgressFigures, PercentAndBarRoundTiesToEven) {
  struct Case {
    int64_t received;
    double size;
    int bar;
    const char* percent;
  } cases[] = {
      {1, 200, 0, "0%"},
      {3, 200, 2, "2%"},
      {5, 200, 2, "2%"},
      {1234567, 3000000, 41, "41%"},
      {0, 3000000, 0, "0%"},
      {3000000, 3000000, 100, "100%"},
      {1500000, 1000000, 100, "150%"},  // more than promised: the bar stays full
      {int64_t{1} << 40, 1, 100, "109951162777600%"},
  };
  for (const Case& c : cases) {
    int64_t last = 0;
    ProgressFigures f = progress_figures(c.received, c.size, &last);
    EXPECT_TRUE(f.known_size);
    EXPECT_EQ(f.bar, c.bar) << c.received << "/" << c.size;
    EXPECT_EQ(f.percent, c.percent) << c.received << "/" << c.size;
  }
}

TEST(ProgressFigures, ReceivedRemainingAndRate) {
  struct Case {
    int64_t last, received;
    double size;
    const char *got, *left, *rate;
  } cases[] = {
      {0, 1048576, 10485760, "1 MB", "9 MB", "1024 KBPS"},
      {1048576, 2621440, 10485760, "3 MB", "8 MB", "1536 KBPS"},
      {2621440, 2621440, 10485760, "3 MB", "8 MB", "0 KBPS"},
      {0, 1000000 + 524287, 1000000, "1 MB", "0 MB", "1489 KBPS"},
      {0, 1000000 + 524288, 1000000, "1 MB", "-1 MB", "1489 KBPS"},
      {0, 1000000 + 1572863, 1000000, "2 MB", "-1 MB", "2513 KBPS"},
      // Counts past 2 GiB keep a true rate.
      {int64_t{3} << 30, (int64_t{3} << 30) + 1048576, 5368709120.0, "3073 MB", "2047 MB",
       "1024 KBPS"},
  };
  for (const Case& c : cases) {
    int64_t last = c.last;
    ProgressFigures f = progress_figures(c.received, c.size, &last);
    EXPECT_EQ(last, c.received);
    EXPECT_EQ(f.received, c.got) << c.received;
    EXPECT_EQ(f.remaining, c.left) << c.received;
    EXPECT_EQ(f.rate, c.rate) << c.received;
  }
}

TEST(ProgressFigures, UnknownSizePulsesAndCountsDown) {
  int64_t last = 0;
  ProgressFigures f = progress_figures(3 * 1048576, 0, &last);
  EXPECT_FALSE(f.known_size);
  EXPECT_EQ(f.percent, "");
  EXPECT_EQ(f.received, "3 MB");
  EXPECT_EQ(f.remaining, "-3 MB");
  EXPECT_EQ(f.rate, "3072 KBPS");
}

}  // namespace
