// Properties of to_integer and round_to_nearest_single.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "text/text.h"

namespace {

// Nearest with ties to even, decided from the fraction left by floor (the
// subtraction is exact), then a range check in long double, which holds
// every bound of both widths exactly.
int64_t reference_to_integer(double x, int width_bits) {
  const int64_t minimum = width_bits == 32 ? INT32_MIN : INT64_MIN;
  if (!std::isfinite(x)) return minimum;
  const double below = std::floor(x);
  const double fraction = x - below;
  double nearest = below;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0)) nearest = below + 1;
  const long double low = -std::ldexp(1.0L, width_bits - 1);
  const long double high = std::ldexp(1.0L, width_bits - 1) - 1;
  const long double wide = nearest;
  if (wide < low || wide > high) return minimum;
  return static_cast<int64_t>(wide);
}

// x taken to single precision, nearest with ties to even, beyond the single
// range as well: up to half a unit past FLT_MAX (2^128 - 2^104, a unit of
// 2^104 there) x stays at FLT_MAX, from the tie on (FLT_MAX's last bit being
// odd) it becomes infinite.
float reference_to_single(double x) {
  const double overflow = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
  if (std::isnan(x)) return NAN;
  if (std::fabs(x) <= FLT_MAX) return static_cast<float>(x);
  if (std::fabs(x) < overflow) return std::signbit(x) ? -FLT_MAX : FLT_MAX;
  return std::signbit(x) ? -INFINITY : INFINITY;
}

bool same_float(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b;
}

void check(double x) {
  const std::string context = "x " + fuzz_show(x);
  for (int width : {32, 64}) {
    const int64_t result = to_integer(x, width);
    FUZZ_CHECK_EQ(result, reference_to_integer(x, width),
                  context + " width " + fuzz_show(static_cast<int64_t>(width)));
    if (width == 32) FUZZ_CHECK_EQ(result >= INT32_MIN && result <= INT32_MAX, true, context);
  }

  const float single = round_to_nearest_single(x);
  // The single rounding, then round_to_nearest on it.
  if (std::fabs(x) <= FLT_MAX) {
    FUZZ_CHECK_EQ(same_float(single, round_to_nearest(static_cast<double>(static_cast<float>(x)))),
                  true, context + " gave " + fuzz_show(static_cast<double>(single)));
  }
  // And the result is that single rounded half away from zero (every single
  // is far enough from the doubles' limits for std::round to be the rule).
  const float taken = reference_to_single(x);
  FUZZ_CHECK_EQ(same_float(single, std::round(static_cast<double>(taken))), true,
                context + " gave " + fuzz_show(static_cast<double>(single)) + " single " +
                    fuzz_show(static_cast<double>(taken)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (double value : fuzz_doubles(data, size)) {
    check(value);
    check(-value);
    check(std::nextafter(value, 0.0));
    check(value + 0.5);
  }
  return 0;
}
