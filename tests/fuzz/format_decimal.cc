// Properties of format_decimal.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "text/text.h"

namespace {

// "%.10f", then the zeros at the end of the fraction and a point left
// without digits dropped; the special values spelled out.
std::string reference_format(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return std::signbit(value) ? "-Infinity" : "+Infinity";
  if (value == 0) return "0";
  char printed[512];  // the largest double has 309 digits before the point
  const int length = std::snprintf(printed, sizeof printed, "%.10f", value);
  FUZZ_CHECK(length > 0 && static_cast<size_t>(length) < sizeof printed);
  std::string text(printed, static_cast<size_t>(length));
  const size_t point = text.find('.');
  FUZZ_CHECK(point != std::string::npos);
  size_t end = text.size();
  while (end > point + 1 && text[end - 1] == '0') --end;
  if (end == point + 1) end = point;
  return text.substr(0, end);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

void check(double value) {
  const std::string text = format_decimal(value);
  const std::string context = "value " + fuzz_show(value);
  FUZZ_CHECK_EQ(text, reference_format(value), context);
  if (!std::isfinite(value)) return;

  // The shape: an optional minus, digits, then optionally a point and at
  // most ten digits, the last of them not 0.
  size_t at = text[0] == '-' ? 1 : 0;
  const size_t integer_start = at;
  while (at < text.size() && is_digit(text[at])) ++at;
  FUZZ_CHECK_EQ(at > integer_start, true, context + " text " + fuzz_show(text));
  if (at < text.size()) {
    FUZZ_CHECK_EQ(text[at] == '.', true, context + " text " + fuzz_show(text));
    const size_t fraction_start = ++at;
    while (at < text.size() && is_digit(text[at])) ++at;
    FUZZ_CHECK_EQ(
        at == text.size() && at > fraction_start && at - fraction_start <= 10 && text.back() != '0',
        true, context + " text " + fuzz_show(text));
  }
  // Read back, the text is within half of 10^-10 of the value (plus the
  // rounding of the read-back itself).
  const double read_back = std::strtod(text.c_str(), nullptr);
  const double tolerance = 0.5e-10 * (1 + 1e-9) + std::fabs(value) * 0x1p-52;
  FUZZ_CHECK_EQ(std::fabs(read_back - value) <= tolerance, true,
                context + " text " + fuzz_show(text));
  // Both zeros print as "0".
  if (value == 0) FUZZ_CHECK_EQ(text, std::string("0"), context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (double value : fuzz_doubles(data, size)) {
    check(value);
    check(-value);
  }
  return 0;
}
