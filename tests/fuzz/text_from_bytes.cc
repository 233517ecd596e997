// Properties of text_from_bytes: valid UTF-8 out, cut at the first NUL,
// valid input kept as it is, and each invalid stretch replaced by one
// U+FFFD per maximal subpart (Unicode's recommended practice).
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_check.h"
#include "text/text.h"

namespace {

// Validation by decoding: the lead byte gives the length and the first
// bits, continuation bytes add six bits each, and the code point must be
// the shortest form, no surrogate and at most U+10FFFF.
bool is_valid_utf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned lead = static_cast<unsigned char>(text[i]);
    size_t length;
    uint32_t code;
    uint32_t smallest;
    if ((lead & 0x80) == 0) {
      length = 1, code = lead, smallest = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, code = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, code = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, code = lead & 0x07, smallest = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// The well-formed byte sequences, as Unicode tabulates them: a lead byte
// range, then the allowed range of each following byte.
struct Row {
  unsigned char lead_low, lead_high;
  int length;
  unsigned char low[3], high[3];
};
const Row kRows[] = {
    {0x00, 0x7F, 1, {}, {}},
    {0xC2, 0xDF, 2, {0x80}, {0xBF}},
    {0xE0, 0xE0, 3, {0xA0, 0x80}, {0xBF, 0xBF}},
    {0xE1, 0xEC, 3, {0x80, 0x80}, {0xBF, 0xBF}},
    {0xED, 0xED, 3, {0x80, 0x80}, {0x9F, 0xBF}},
    {0xEE, 0xEF, 3, {0x80, 0x80}, {0xBF, 0xBF}},
    {0xF0, 0xF0, 4, {0x90, 0x80, 0x80}, {0xBF, 0xBF, 0xBF}},
    {0xF1, 0xF3, 4, {0x80, 0x80, 0x80}, {0xBF, 0xBF, 0xBF}},
    {0xF4, 0xF4, 4, {0x80, 0x80, 0x80}, {0x8F, 0xBF, 0xBF}},
};

// Cut at the first NUL; then at each position the longest prefix of a
// well-formed sequence: copied when complete, else one U+FFFD for it (or
// for the single byte when no sequence starts with it).
std::string reference_text(std::string_view bytes) {
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  std::string text;
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    const Row* row = nullptr;
    for (const Row& candidate : kRows) {
      if (lead >= candidate.lead_low && lead <= candidate.lead_high) row = &candidate;
    }
    if (row == nullptr) {
      text += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    int matched = 1;
    while (matched < row->length && i + static_cast<size_t>(matched) < bytes.size()) {
      const unsigned char next =
          static_cast<unsigned char>(bytes[i + static_cast<size_t>(matched)]);
      if (next < row->low[matched - 1] || next > row->high[matched - 1]) break;
      ++matched;
    }
    if (matched == row->length) {
      text.append(bytes.substr(i, static_cast<size_t>(matched)));
    } else {
      text += "\xEF\xBF\xBD";
    }
    i += static_cast<size_t>(matched);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = text_from_bytes(bytes);
  const std::string context = "bytes " + fuzz_show(bytes) + " gave " + fuzz_show(text);

  FUZZ_CHECK_EQ(is_valid_utf8(text), true, context);
  FUZZ_CHECK_EQ(text.find('\0'), std::string::npos, context);
  const std::string before_nul = bytes.substr(0, bytes.find('\0'));
  if (is_valid_utf8(before_nul)) FUZZ_CHECK_EQ(text, before_nul, context);
  FUZZ_CHECK_EQ(text, reference_text(bytes), context);
  // Each byte gives at most three out, and the text is its own display form.
  FUZZ_CHECK_EQ(text.size() <= 3 * before_nul.size(), true, context);
  FUZZ_CHECK_EQ(text_from_bytes(text), text, context);
  return 0;
}
