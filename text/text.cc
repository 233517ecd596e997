#include "text/text.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <vector>

bool text_equals(std::string_view a, std::string_view b) { return a == b; }

bool text_equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string split_field(std::string_view text, int32_t index, std::string_view delimiter) {
  if (index < 1) return std::string();
  if (delimiter.empty()) return index == 1 ? std::string(text) : std::string();
  size_t start = 0;
  for (int32_t field = 1; field < index; ++field) {
    size_t found = text.find(delimiter, start);
    if (found == std::string_view::npos) return std::string();
    start = found + delimiter.size();
  }
  size_t end = text.find(delimiter, start);
  if (end == std::string_view::npos) end = text.size();
  return std::string(text.substr(start, end - start));
}

int32_t count_occurrences(std::string_view text, std::string_view pattern) {
  if (text.empty() || pattern.empty()) return 0;
  int32_t count = 0;
  for (size_t at = text.find(pattern); at != std::string_view::npos;
       at = text.find(pattern, at + pattern.size())) {
    ++count;
  }
  return count;
}

namespace {

int digit_value(char c, unsigned base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

}  // namespace

int64_t parse_integer(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  uint64_t value = 0;  // unsigned, so that overflow wraps as intended
  for (; i < text.size(); ++i) {
    int digit = digit_value(text[i], base);
    if (digit < 0) break;
    value = value * base + static_cast<unsigned>(digit);
  }
  if (negative) value = ~value + 1;
  return static_cast<int64_t>(value);
}

std::string format_integer(int64_t value) {
  // Work on the unsigned magnitude so that the minimum needs no special case.
  uint64_t magnitude = static_cast<uint64_t>(value);
  if (value < 0) magnitude = ~magnitude + 1;
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string text = value < 0 ? "-" : "";
  while (n > 0) text += digits[--n];
  return text;
}

std::string format_decimal(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Infinity" : "-Infinity";
  if (value == 0) value = 0.0;  // drops the sign of -0.0
  int length = std::snprintf(nullptr, 0, "%.10f", value);
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  std::snprintf(buffer.data(), buffer.size(), "%.10f", value);
  std::string text(buffer.data(), static_cast<size_t>(length));
  if (text.back() == '0') {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

double round_to_nearest(double x) { return x > 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5); }

namespace {

// Double to float, nearest with ties to even, without the undefined
// behaviour of converting a value beyond the float range.
float to_single(double x) {
  // Half a unit in the last place above FLT_MAX: from there on (the tie
  // included, FLT_MAX being odd) the nearest single is infinity.
  const double overflow = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
  if (x >= overflow) return HUGE_VALF;
  if (x <= -overflow) return -HUGE_VALF;
  if (x > FLT_MAX) return FLT_MAX;
  if (x < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(x);
}

}  // namespace

float round_to_nearest_single(double x) {
  // Every whole number that the rounding gives from a single is itself a
  // single, so the narrowing back is exact.
  return static_cast<float>(round_to_nearest(to_single(x)));
}

int64_t to_integer(double x, int width_bits) {
  const int64_t minimum = width_bits == 32 ? INT32_MIN : INT64_MIN;
  // Bounds as exact powers of two: rounded values in [low, high) fit.
  const double high = width_bits == 32 ? 2147483648.0 : 9223372036854775808.0;
  if (std::isnan(x)) return minimum;
  double rounded = std::nearbyint(x);  // default mode: nearest, ties to even
  if (rounded < -high || rounded >= high) return minimum;
  return static_cast<int64_t>(rounded);
}

std::string text_from_bytes(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::string text;
  text.reserve(bytes.size());
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(bytes[at]); };
  size_t i = 0;
  while (i < bytes.size()) {
    unsigned char lead = byte(i);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    }
    // Count the valid prefix; an invalid one is replaced as a whole (the
    // maximal subpart), and scanning resumes at the first byte that broke it.
    size_t valid = length == 0 ? 0 : 1;
    while (valid > 0 && valid < length && i + valid < bytes.size()) {
      unsigned char next = byte(i + valid);
      unsigned char lo = valid == 1 ? low : 0x80, hi = valid == 1 ? high : 0xBF;
      if (next < lo || next > hi) break;
      ++valid;
    }
    if (length != 0 && valid == length) {
      text.append(bytes.substr(i, length));
    } else {
      text += "\xEF\xBF\xBD";
    }
    i += valid == 0 ? 1 : valid;
  }
  return text;
}
