// Properties of split_field, count_occurrences and the two text comparisons.
//
// Input: the first byte modulo 4 is the delimiter's length (0: the empty
// delimiter), the next bytes are the delimiter, the rest is the text. A
// printable first byte works: "1" gives a one-byte delimiter, "2" two
// bytes, "4" the empty one.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "text/text.h"

namespace {

// The fields, found by comparing the delimiter at every position with
// memcmp and jumping past each match, so matches never overlap.
std::vector<std::string> reference_fields(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> fields;
  std::string field;
  size_t i = 0;
  while (i < text.size()) {
    if (!delimiter.empty() && text.size() - i >= delimiter.size() &&
        std::memcmp(text.data() + i, delimiter.data(), delimiter.size()) == 0) {
      fields.push_back(field);
      field.clear();
      i += delimiter.size();
    } else {
      field += text[i];
      ++i;
    }
  }
  fields.push_back(field);
  return fields;
}

std::string ascii_lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (std::strchr("ABCDEFGHIJKLMNOPQRSTUVWXYZ", c) != nullptr && c != '\0') c ^= 0x20;
  }
  return lower;
}

std::string ascii_upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (std::strchr("abcdefghijklmnopqrstuvwxyz", c) != nullptr && c != '\0') c ^= 0x20;
  }
  return upper;
}

void check_comparisons(const std::string& a, const std::string& b) {
  const std::string context = fuzz_show(a) + " vs " + fuzz_show(b);
  FUZZ_CHECK_EQ(text_equals(a, b), a == b, context);
  FUZZ_CHECK_EQ(text_equals_ignoring_case(a, b), ascii_lower(a) == ascii_lower(b), context);
  FUZZ_CHECK_EQ(text_equals_ignoring_case(b, a), text_equals_ignoring_case(a, b), context);
  FUZZ_CHECK(text_equals(a, a));
  FUZZ_CHECK(text_equals_ignoring_case(a, ascii_upper(a)));
  FUZZ_CHECK(text_equals_ignoring_case(ascii_lower(a), a));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t delimiter_size = std::min<size_t>(data[0] % 4, size - 1);
  const std::string delimiter(reinterpret_cast<const char*>(data + 1), delimiter_size);
  const std::string text(reinterpret_cast<const char*>(data + 1 + delimiter_size),
                         size - 1 - delimiter_size);
  const std::string context = "text " + fuzz_show(text) + " delimiter " + fuzz_show(delimiter);

  const std::vector<std::string> fields = reference_fields(text, delimiter);
  const int32_t count = count_occurrences(text, delimiter);
  // Occurrences and fields: one field more than occurrences, always.
  FUZZ_CHECK_EQ(count, static_cast<int32_t>(fields.size()) - 1, context);

  // Each field by index; a long list is checked at its two ends and at a
  // stride, so that one input stays fast.
  const int32_t last = count + 1;
  const bool every_field = last <= 512;
  std::string joined;
  for (int32_t index = 1; index <= last; ++index) {
    if (!every_field && index > 64 && index < last - 64 && index % 61 != 0) continue;
    const std::string field = split_field(text, index, delimiter);
    FUZZ_CHECK_EQ(field, fields[static_cast<size_t>(index - 1)],
                  context + " index " + fuzz_show(index));
    if (index > 1) joined += delimiter;
    joined += field;
  }
  // The fields joined with the delimiter give the text back.
  if (every_field) FUZZ_CHECK_EQ(joined, text, context);
  // The last field is what follows the last occurrence.
  if (!delimiter.empty() && count > 0) {
    size_t after = 0;
    for (int32_t n = 0; n < count; ++n) after = text.find(delimiter, after) + delimiter.size();
    FUZZ_CHECK_EQ(split_field(text, last, delimiter), text.substr(after), context);
  }
  // Past the last field, and below 1: nothing.
  for (int32_t index : {last + 1, last + 2, 0, -1, INT32_MIN, INT32_MAX}) {
    FUZZ_CHECK_EQ(split_field(text, index, delimiter), std::string(),
                  context + " index " + fuzz_show(index));
  }
  // Counting the delimiter in itself, and in an empty text.
  FUZZ_CHECK_EQ(count_occurrences(delimiter, delimiter), delimiter.empty() ? 0 : 1, context);
  FUZZ_CHECK_EQ(count_occurrences("", delimiter), 0, context);

  check_comparisons(fields.front(), fields.back());
  check_comparisons(text, delimiter);
  return 0;
}
