// Properties of round_to_nearest: a whole number, half away from zero, with
// the half added in double precision.
#include <cmath>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "text/text.h"

namespace {

void check(double x) {
  const double rounded = round_to_nearest(x);
  const std::string context = "x " + fuzz_show(x) + " gave " + fuzz_show(rounded);
  if (std::isnan(x)) {
    FUZZ_CHECK_EQ(std::isnan(rounded), true, context);
    return;
  }
  if (std::isinf(x)) {
    FUZZ_CHECK_EQ(rounded, x, context);
    return;
  }
  FUZZ_CHECK_EQ(std::floor(rounded) == rounded, true, context);
  // The half is added in double precision. Where that sum is exact, the
  // result is the C library's half-away-from-zero rounding (up to the sign
  // of a zero); where the sum itself rounds (0.49999999999999994, odd
  // numbers beyond 2^52), the rounded sum decides, as documented.
  const double sum = x > 0 ? x + 0.5 : x - 0.5;
  const bool exact = (x > 0 ? sum - 0.5 : sum + 0.5) == x;
  if (exact) {
    FUZZ_CHECK_EQ(rounded, std::round(x), context);
    const double distance = std::fabs(x - rounded);
    FUZZ_CHECK_EQ(distance <= 0.5, true, context);
    if (distance == 0.5) FUZZ_CHECK_EQ(std::fabs(rounded) > std::fabs(x), true, context);
  } else {
    FUZZ_CHECK_EQ(rounded, x > 0 ? std::floor(sum) : std::ceil(sum), context);
    FUZZ_CHECK_EQ(std::fabs(x - rounded) <= 1.0, true, context);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (double value : fuzz_doubles(data, size)) {
    check(value);
    check(-value);
  }
  return 0;
}
