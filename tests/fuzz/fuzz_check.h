// Shared by the fuzz targets: a property check that reports the violated
// property with the values involved, then aborts so that libFuzzer keeps the
// input as a crash file.
#ifndef UPDATER_TESTS_FUZZ_FUZZ_CHECK_H_
#define UPDATER_TESTS_FUZZ_FUZZ_CHECK_H_

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// A text with every byte outside printable ASCII (and the quote and the
// backslash) escaped, so that a report shows exactly which bytes differ.
inline std::string fuzz_show(std::string_view text) {
  std::string shown = "\"";
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    }
  }
  return shown + "\"";
}

inline std::string fuzz_show(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g (%a)", value, value);
  return text;
}

inline std::string fuzz_show(int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  return text;
}

inline std::string fuzz_show(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
  return text;
}

inline std::string fuzz_show(int32_t value) { return fuzz_show(static_cast<int64_t>(value)); }

inline std::string fuzz_show(bool value) { return value ? "true" : "false"; }

inline std::string fuzz_show(const std::vector<std::string>& list) {
  std::string shown = "[";
  for (size_t i = 0; i < list.size(); ++i) shown += (i ? ", " : "") + fuzz_show(list[i]);
  return shown + "]";
}

[[noreturn]] inline void fuzz_fail(const char* file, int line, const char* what,
                                   const std::string& details) {
  std::fprintf(stderr, "%s:%d: property violated: %s\n%s\n", file, line, what, details.c_str());
  std::fflush(stderr);
  std::abort();
}

// FUZZ_CHECK(condition): aborts when the condition is false.
#define FUZZ_CHECK(condition)                                                   \
  do {                                                                          \
    if (!(condition)) fuzz_fail(__FILE__, __LINE__, #condition, std::string()); \
  } while (0)

// FUZZ_CHECK_EQ(actual, expected, context): aborts when they differ, showing
// both and a context text (the input, typically).
#define FUZZ_CHECK_EQ(actual, expected, context)                                          \
  do {                                                                                    \
    const auto& fuzz_actual_ = (actual);                                                  \
    const auto& fuzz_expected_ = (expected);                                              \
    if (!(fuzz_actual_ == fuzz_expected_)) {                                              \
      fuzz_fail(__FILE__, __LINE__, #actual " == " #expected,                             \
                "  actual:   " + fuzz_show(fuzz_actual_) + "\n  expected: " +             \
                    fuzz_show(fuzz_expected_) + "\n  context:  " + std::string(context)); \
    }                                                                                     \
  } while (0)

// The floating values a target checks for one input: the input read as a
// decimal text (so that seeds can be written as "2.5" or "nan"), its first
// eight bytes as the bits of a double, and two values built from an integer
// in those bytes: a decimal fraction and a binary fraction (the latter hits
// exact halves and ties).
inline std::vector<double> fuzz_doubles(const uint8_t* data, size_t size) {
  std::vector<double> values;
  std::string text(reinterpret_cast<const char*>(data), size);
  values.push_back(std::strtod(text.c_str(), nullptr));
  if (size >= 8) {
    double bits;
    std::memcpy(&bits, data, sizeof bits);
    values.push_back(bits);
  }
  if (size >= 9) {
    int64_t whole;
    std::memcpy(&whole, data, sizeof whole);
    static const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    values.push_back(static_cast<double>(whole) / kPowersOfTen[data[8] % 23]);
    values.push_back(std::ldexp(static_cast<double>(whole), -(data[8] % 80)));
  }
  return values;
}

#endif  // UPDATER_TESTS_FUZZ_FUZZ_CHECK_H_
