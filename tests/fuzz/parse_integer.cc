// Properties of parse_integer and format_integer.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "text/text.h"

namespace {

// The number rule: blanks and tabs, an optional sign, "$" (hexadecimal) or
// "%" (binary) or nothing (decimal), then the longest run of digits of that
// base. The digits are first collected, then summed from the last one with
// a growing power of the base; unsigned arithmetic keeps everything modulo
// 2^64, and the sign negates modulo 2^64 as well.
int64_t reference_parse(std::string_view text) {
  size_t at = text.find_first_not_of(" \t");
  if (at == std::string_view::npos) return 0;
  bool negative = false;
  if (text[at] == '+' || text[at] == '-') negative = text[at++] == '-';
  std::string_view digit_set = "0123456789";
  uint64_t base = 10;
  if (at < text.size() && text[at] == '$') {
    digit_set = "0123456789abcdefABCDEF";
    base = 16;
    ++at;
  } else if (at < text.size() && text[at] == '%') {
    digit_set = "01";
    base = 2;
    ++at;
  }
  const size_t end = std::min(text.find_first_not_of(digit_set, at), text.size());
  uint64_t value = 0, power = 1;
  for (size_t i = end; i > at; --i) {
    const char c = text[i - 1];
    uint64_t digit;
    if (c >= 'a') {
      digit = static_cast<uint64_t>(c - 'a') + 10;
    } else if (c >= 'A') {
      digit = static_cast<uint64_t>(c - 'A') + 10;
    } else {
      digit = static_cast<uint64_t>(c - '0');
    }
    value += digit * power;
    power *= base;
  }
  if (negative) value = 0 - value;
  int64_t result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK_EQ(parse_integer(text), reference_parse(text), "text " + fuzz_show(text));

  // Every eight-byte window of the input as an integer: formatted as the C
  // library does, and parsed back to itself.
  for (size_t at = 0; at + 8 <= size || (at == 0 && size > 0); at += 8) {
    uint8_t bytes[8] = {};
    std::memcpy(bytes, data + at, std::min<size_t>(8, size - at));
    int64_t value;
    std::memcpy(&value, bytes, sizeof value);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%" PRId64, value);
    const std::string formatted = format_integer(value);
    FUZZ_CHECK_EQ(formatted, std::string(expected), "value " + fuzz_show(value));
    FUZZ_CHECK_EQ(parse_integer(formatted), value, "formatted " + fuzz_show(formatted));
    // Leading blanks and tabs and a plus sign change nothing.
    FUZZ_CHECK_EQ(parse_integer(" \t " + formatted), value, "formatted " + fuzz_show(formatted));
    if (value >= 0) {
      FUZZ_CHECK_EQ(parse_integer("+" + formatted), value, "formatted " + fuzz_show(formatted));
    }
    // The same value in hexadecimal and in binary, unsigned (two's
    // complement bits), parse back to it.
    const uint64_t bits = static_cast<uint64_t>(value);
    char hex[32];
    std::snprintf(hex, sizeof hex, "$%" PRIX64, bits);
    FUZZ_CHECK_EQ(parse_integer(hex), value, "hex " + fuzz_show(std::string(hex)));
    std::string binary = "%";
    for (int bit = 63; bit >= 0; --bit) binary += (bits >> bit) & 1 ? '1' : '0';
    FUZZ_CHECK_EQ(parse_integer(binary), value, "binary " + fuzz_show(binary));
  }
  return 0;
}
